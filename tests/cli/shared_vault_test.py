"""velkaron and a running velkaron-native on one vault: by default the client uses the vault the
native host is configured for, and each sees the other's saved changes."""

import json
import os
import struct
import subprocess
import unittest

from support import MASTER, Vault

NATIVE = os.environ["VELKARON_NATIVE"]
EXTENSION_ID = os.environ["VELKARON_EXTENSION_ID"]
NEW_MASTER = "Heftklammer 2024"


class NativeHost:
    def __init__(self, env):
        self.process = subprocess.Popen([NATIVE, f"chrome-extension://{EXTENSION_ID}/"],
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env)
        self.next_id = 1

    def ask(self, **request):
        request["id"] = self.next_id
        self.next_id += 1
        body = json.dumps(request).encode()
        self.process.stdin.write(struct.pack("=I", len(body)) + body)
        self.process.stdin.flush()
        length = struct.unpack("=I", self.process.stdout.read(4))[0]
        return json.loads(self.process.stdout.read(length))

    def close(self):
        self.process.stdin.close()
        self.process.wait(timeout=30)
        self.process.stdout.close()


class SharedWithNative(unittest.TestCase):
    def test_terminal_and_browser_share_the_configured_vault(self):
        v = Vault()
        self.addCleanup(v.close)
        del v.env["VELKARON_VAULT"]
        path = os.path.join(v.dir.name, "geteilt.json")
        os.makedirs(os.path.join(v.dir.name, "config", "velkaron"))
        with open(os.path.join(v.dir.name, "config", "velkaron", "native-host.json"), "w") as f:
            json.dump({"vault": path}, f)

        self.assertEqual(v.run("where")[1]["path"], path)
        v.init()
        native = NativeHost(v.env)
        self.addCleanup(native.close)
        self.assertTrue(native.ask(op="unlock", password=MASTER)["ok"])

        self.assertEqual(v.run("add", "example.org", "erika", lines=[MASTER, "geheim-1"])[0], 0)
        listed = native.ask(op="list")["data"]
        self.assertEqual([(e["host"], e["username"]) for e in listed], [("example.org", "erika")])

        self.assertTrue(native.ask(op="put", host="example.net", username="max", password="geheim-2")["ok"])
        status, rows, _ = v.run("ls", lines=[MASTER])
        self.assertEqual((status, [r["host"] for r in rows]), (0, ["example.net", "example.org"]))

        # A password changed through the terminal holds for the browser's host, which keeps its key.
        self.assertEqual(v.run("passwd", lines=[MASTER, NEW_MASTER])[0], 0)
        self.assertEqual(len(native.ask(op="list")["data"]), 2)
        self.assertEqual(native.ask(op="change-password", password=MASTER, new_password="x" * 8)["error"],
                         "Falsches Master-Passwort")
        native.ask(op="lock")
        self.assertTrue(native.ask(op="unlock", password=NEW_MASTER)["ok"])
        status, shown, _ = v.run("show", "example.net", "--password", lines=[NEW_MASTER])
        self.assertEqual((status, shown["password"]), (0, "geheim-2"))


if __name__ == "__main__":
    unittest.main()
