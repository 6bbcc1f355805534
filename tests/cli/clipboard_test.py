"""clip under a real X server (Xvfb) with xclip: copied, emptied after the time, left alone
when the user copied something else; and no secret in the command line or environment of the
client, the host, the clipboard tool or the clearing process."""

import os
import subprocess
import unittest

from support import MASTER, VELKARON, Vault, wait_for

PASSWORD = "geheim-im-clip-1"


def parent_of(pid):
    with open(f"/proc/{pid}/stat") as f:
        return int(f.read().rsplit(")", 1)[1].split()[1])


def processes():
    """pid -> (command line, environment) of every process we may read."""
    found = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                cmdline = f.read()
            with open(f"/proc/{pid}/environ", "rb") as f:
                environ = f.read()
        except OSError:
            continue
        found[int(pid)] = (cmdline, environ)
    return found


class Clipboard(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-nolisten", "tcp"],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        cls.display = ":" + cls.xvfb.stdout.readline().decode().strip()

    @classmethod
    def tearDownClass(cls):
        cls.xvfb.terminate()
        cls.xvfb.wait()

    def setUp(self):
        self.vault = Vault()
        self.addCleanup(self.vault.close)
        self.vault.env["DISPLAY"] = self.display
        self.vault.init()
        status, _, err = self.vault.run("add", "example.org", "erika", lines=[MASTER, PASSWORD])
        self.assertEqual(status, 0, err)

    def clipboard(self):
        done = subprocess.run(["xclip", "-selection", "clipboard", "-o"], capture_output=True,
                              env=self.vault.env, timeout=10)
        return done.stdout.decode() if done.returncode == 0 else None

    def clearers(self):
        marker = f"DISPLAY={self.display}".encode()
        return [pid for pid, (cmdline, environ) in processes().items()
                if b"__clear-clipboard" in cmdline and marker in environ.split(b"\0")]

    def test_copied_then_emptied_after_the_time(self):
        status, out, err = self.vault.run("clip", "example.org", "--clear", "2", lines=[MASTER])
        self.assertEqual(status, 0, err)
        self.assertEqual(out["clear_after"], 2)
        self.assertNotIn(PASSWORD, str(out) + err)
        self.assertEqual(self.clipboard(), PASSWORD)
        wait_for(lambda: self.clipboard() == "", "the clipboard emptied")

    def test_something_else_copied_meanwhile_stays(self):
        status, _, err = self.vault.run("clip", "example.org", "--clear", "2", lines=[MASTER])
        self.assertEqual(status, 0, err)
        self.assertEqual(self.clipboard(), PASSWORD)
        self.assertTrue(self.clearers())
        subprocess.run(["xclip", "-selection", "clipboard"], input=b"vom Nutzer", env=self.vault.env,
                       check=True)
        wait_for(lambda: not self.clearers(), "the clearing process to end")
        self.assertEqual(self.clipboard(), "vom Nutzer")

    def test_no_secret_in_command_lines_or_environments(self):
        # The client waits for the login password after unlocking: the master password has gone
        # through it and its host. Then a clip leaves xclip and the clearing process behind.
        client = subprocess.Popen([VELKARON, "--password-stdin", "add", "example.net", "max"],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, env=self.vault.env)
        client.stdin.write((MASTER + "\n").encode())
        client.stdin.flush()

        def host_of_client():
            return [pid for pid, (cmdline, _) in processes().items()
                    if cmdline.startswith(b"/") and b"velkaron-vault\0" in cmdline
                    and self.vault.path.encode() in cmdline
                    and parent_of(pid) == client.pid]

        host = wait_for(host_of_client, "the client's host")[0]
        status, _, _ = self.vault.run("clip", "example.org", "--clear", "30", lines=[MASTER])
        self.assertEqual(status, 0)
        def snapshot_with_xclip():
            # One snapshot for all: an xclip seen in one may be gone from the next (the copy's
            # first xclip ends once its child serves the selection).
            table = processes()
            xclips = [pid for pid, (cmdline, environ) in table.items()
                      if cmdline.startswith(b"xclip") or b"/xclip\0" in cmdline
                      if f"DISPLAY={self.display}".encode() in environ.split(b"\0")]
            return (table, xclips) if xclips else None

        table, xclips = wait_for(snapshot_with_xclip, "xclip serving the selection")
        watched = [client.pid, host] + xclips + self.clearers()
        self.assertGreaterEqual(len(watched), 4, watched)
        for pid in watched:
            cmdline, environ = table[pid]
            for secret in (MASTER, PASSWORD):
                with self.subTest(pid=pid, secret=secret):
                    self.assertNotIn(secret.encode(), cmdline)
                    self.assertNotIn(secret.encode(), environ)
        client.stdin.write(b"neu-und-geheim\n")
        client.stdin.close()
        self.assertEqual(client.wait(timeout=60), 0, client.stderr.read())
        client.stdout.close()
        client.stderr.close()


if __name__ == "__main__":
    unittest.main()
