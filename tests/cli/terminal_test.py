"""velkaron at a real terminal, in tmux: prompts without echo, the echo back after Ctrl+C and
Ctrl+Z at a prompt, and the shell's completion, history and idle lock."""

import os
import shlex
import subprocess
import unittest
import uuid

from support import MASTER, VELKARON, Vault, wait_for


class Tmux:
    """One tmux server of its own, with one window running `command`."""

    def __init__(self, command, env):
        self.socket = f"velkaron-test-{uuid.uuid4().hex[:8]}"
        exports = " ".join(f"{k}={shlex.quote(v)}" for k, v in env.items()
                           if k in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "PATH", "LANG"))
        self.tmux("new-session", "-d", "-x", "160", "-y", "40", "-s", "t",
                  f"env -i {exports} TERM=xterm LC_ALL=C.UTF-8 {command}")

    def tmux(self, *args):
        return subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null", *args],
                              capture_output=True, text=True, check=True).stdout

    def screen(self):
        return self.tmux("capture-pane", "-p", "-t", "t")

    def keys(self, *keys):
        self.tmux("send-keys", "-t", "t", *keys)

    def type(self, text):
        self.tmux("send-keys", "-t", "t", "-l", text)

    def wait_screen(self, text, what=None):
        # The captured screen has no trailing blanks: nor has what is looked for.
        return wait_for(lambda: text.rstrip() in self.screen(), what or repr(text))

    def close(self):
        subprocess.run(["tmux", "-L", self.socket, "kill-server"], capture_output=True)


class TerminalTest(unittest.TestCase):
    def setUp(self):
        self.vault = Vault()
        self.addCleanup(self.vault.close)

    def start(self, command):
        term = Tmux(command, self.vault.env)
        self.addCleanup(term.close)
        return term

    def velkaron(self, *args):
        return " ".join(shlex.quote(a) for a in [VELKARON, "--vault", self.vault.path, *args])

    def test_init_asks_twice_without_echo(self):
        term = self.start(self.velkaron("init") + "; echo ENDE:$?; sleep 600")
        term.wait_screen("Neues Master-Passwort: ")
        term.type(MASTER)
        term.keys("Enter")
        term.wait_screen("Neues Master-Passwort wiederholen: ")
        term.type(MASTER)
        term.keys("Enter")
        term.wait_screen("ENDE:0")
        screen = term.screen()
        self.assertIn("Wiederherstellungscode: ", screen)
        self.assertNotIn(MASTER, screen)

    def test_echo_is_back_after_ctrl_c_and_ctrl_z_at_the_prompt(self):
        self.vault.init()
        term = self.start("bash --norc --noprofile")
        term.type("PS1='bereit> '; unset HISTFILE")
        term.keys("Enter")
        check_echo = "stty -a | tr -s ' ;' '\\n\\n' | grep -qx echo && echo ECHO-AN-$((++n))"
        for key, count in (("C-c", 1), ("C-z", 2)):
            with self.subTest(key=key):
                term.type(self.velkaron("ls"))
                term.keys("Enter")
                term.wait_screen("Master-Passwort: ")
                term.keys(key)
                term.wait_screen("bereit> ", "the shell's prompt")
                term.type(check_echo)
                term.keys("Enter")
                term.wait_screen(f"ECHO-AN-{count}", "the echo switched back on")
        # The stopped client goes on with its prompt after fg, still without echo.
        term.type("fg")
        term.keys("Enter")
        term.type("unsichtbar")
        term.keys("Enter")
        term.wait_screen("Falsches Master-Passwort")
        self.assertNotIn("unsichtbar", term.screen())

    def test_shell_completes_keeps_no_bad_lines_and_locks_when_idle(self):
        v = self.vault
        v.init()
        self.assertEqual(v.run("add", "example.org", "erika", lines=[MASTER, "geheim-1"])[0], 0)
        term = self.start(self.velkaron("shell", "--idle", "0.05") + "; echo ENDE:$?; sleep 600")
        term.wait_screen("Master-Passwort: ")
        term.type(MASTER)
        term.keys("Enter")
        term.wait_screen("velkaron> ")
        term.type("cl")
        term.keys("Tab")
        term.wait_screen("velkaron> clip ", "the command completed")
        term.type("exa")
        term.keys("Tab")
        term.wait_screen("velkaron> clip example.org ", "the host completed")
        term.keys("C-u")
        term.type("ls")
        term.keys("Enter")
        term.wait_screen("erika")
        term.type("geheim-vertippt")
        term.keys("Enter")
        term.wait_screen("Eingabe nicht verstanden")
        # Up brings back the last line that was a command, not the mistyped one.
        term.keys("Up")
        wait_for(lambda: term.screen().rstrip().endswith("velkaron> ls"), "ls from the history")
        term.keys("C-u")
        term.wait_screen("Gesperrt nach 3 s ohne Eingabe", "the idle lock")
        term.type("ls")
        term.keys("Enter")
        wait_for(lambda: term.screen().rstrip().endswith("Master-Passwort:"), "a new unlock")
        term.type(MASTER)
        term.keys("Enter")
        wait_for(lambda: term.screen().count("erika") == 2, "the list after unlocking again")
        term.keys("C-d")
        term.wait_screen("ENDE:0")
        self.assertNotIn(MASTER, term.screen())


if __name__ == "__main__":
    unittest.main()
