"""velkaron's subcommands on the real binaries, through --password-stdin and --json: one table
that walks a vault from init to recover, then the exit statuses of the failures."""

import json
import os
import re
import stat
import subprocess
import unittest

from support import HOST, MASTER, VELKARON, Vault

NEW_MASTER = "Heftklammer 2024"
THIRD_MASTER = "Dritter Versuch 77"
ID = re.compile(r"^[0-9a-f-]{36}$")


def fields(*names):
    """A check that the JSON report has exactly these members."""
    return lambda test, out: test.assertEqual(sorted(out), sorted(names), out)


class SubcommandTable(unittest.TestCase):
    def setUp(self):
        self.vault = Vault()
        self.addCleanup(self.vault.close)

    def test_a_vault_from_init_to_recover(self):
        v = self.vault
        code = None

        def remember_code(test, out):
            nonlocal code
            code = out["recoveryCode"]
            test.assertRegex(code, r"^([A-HJ-NP-Z2-9]{4}-){4}[A-HJ-NP-Z2-9]{4}$")
            test.assertIn("nur dieses eine Mal", out["warning"])
            test.assertEqual(out["path"], v.path)

        def erika(test, out):
            test.assertEqual((out["host"], out["username"], out["title"]),
                             ("example.org", "erika", "Beispiel"))
            test.assertRegex(out["id"], ID)

        def listed(*pairs):
            return lambda test, out: test.assertEqual(
                [(row["host"], row["username"]) for row in out], list(pairs))

        cases = [
            # (arguments, secret lines, exit status, check of the JSON report or the message)
            (["init"], [MASTER], 0, remember_code),
            (["init"], [MASTER], 1, "Tresor existiert bereits"),
            (["add", "example.org", "erika", "--title", "Beispiel"], [MASTER, "geheim-1"], 0,
             lambda t, o: (erika(t, o), t.assertNotIn("password", o))),
            (["add", "example.org", "erika"], [MASTER, "anders"], 1,
             "Eintrag für example.org erika gibt es schon; ändern mit velkaron edit"),
            (["add", "Example.ORG", "max", "--generate", "32", "--show"], [MASTER], 0,
             lambda t, o: (t.assertEqual(len(o["password"]), 32), t.assertFalse(o["copied"]))),
            (["add", "mail.example.net", "--generate"], [MASTER], 0,
             lambda t, o: t.assertNotIn("password", o)),
            (["ls"], [MASTER], 0,
             listed(("Example.ORG", "max"), ("example.org", "erika"), ("mail.example.net", ""))),
            (["ls", "BEISP"], [MASTER], 0, listed(("example.org", "erika"))),
            (["show", "example.org", "erika"], [MASTER], 0,
             lambda t, o: (erika(t, o), t.assertNotIn("password", o))),
            (["show", "EXAMPLE.org", "erika", "--password"], [MASTER], 0,
             lambda t, o: t.assertEqual(o["password"], "geheim-1")),
            (["show", "example.org"], [MASTER], 3,
             "mehrere Einträge für example.org; bitte mit Benutzername oder Id wählen"),
            (["show", "example.com"], [MASTER], 3, "kein Eintrag für example.com"),
            (["show", "example.org", "erika"], ["falsch"], 1, "Falsches Master-Passwort"),
            (["edit", "example.org", "erika"], [MASTER, "geheim-2"], 0, erika),
            (["show", "example.org", "erika", "--password"], [MASTER], 0,
             lambda t, o: (t.assertEqual(o["password"], "geheim-2"), t.assertEqual(o["title"], "Beispiel"))),
            (["edit", "mail.example.net", "--title", "Post", "--generate", "12", "--show"], [MASTER], 0,
             lambda t, o: (t.assertEqual(o["title"], "Post"), t.assertEqual(len(o["password"]), 12))),
            (["rm", "example.org", "max"], [MASTER], 2,
             "rm fragt vor dem Löschen nach; ohne Terminal bitte --yes angeben"),
            (["rm", "example.org", "max", "--yes"], [MASTER], 0,
             lambda t, o: t.assertEqual((o["deleted"], o["username"]), (True, "max"))),
            (["gen", "9"], [], 0, lambda t, o: t.assertEqual(len(o["password"]), 9)),
            (["gen"], [], 0, lambda t, o: t.assertEqual(len(o["password"]), 20)),
            (["where"], [], 0, lambda t, o: t.assertEqual(
                o, {"path": v.path, "reason": "Umgebungsvariable VELKARON_VAULT"})),
            (["passwd"], ["falsch", NEW_MASTER], 1, "Falsches Master-Passwort"),
            (["passwd"], [MASTER, "kurz"], 1, "Master-Passwort braucht mindestens 8 Zeichen"),
            (["passwd"], [MASTER, NEW_MASTER], 0, fields("changed")),
            (["ls"], [MASTER], 1, "Falsches Master-Passwort"),
            (["recover"], ["AAAA-BBBB-CCCC-DDDD-EEEE", THIRD_MASTER], 1,
             "Wiederherstellungscode stimmt nicht"),
            (["recover"], [lambda: code.lower().replace("-", " "), THIRD_MASTER], 0, fields("changed")),
            (["ls"], [NEW_MASTER], 1, "Falsches Master-Passwort"),
            (["ls"], [THIRD_MASTER], 0, listed(("example.org", "erika"), ("mail.example.net", ""))),
            (["recover"], [lambda: code, MASTER], 0, fields("changed")),  # the code stays valid
            (["ls"], [], 2, "zu wenige Zeilen auf der Standardeingabe"),
            (["bogus"], [], 2, None),
            (["show"], [MASTER], 2, None),
        ]
        for args, lines, status, check in cases:
            lines = [line() if callable(line) else line for line in lines]
            with self.subTest(args=args):
                got, out, err = v.run(*args, lines=lines)
                self.assertEqual(got, status, (out, err))
                if isinstance(check, str):
                    self.assertEqual(err, f"velkaron: {check}\n")
                elif check is not None:
                    check(self, out)
                for secret in (MASTER, NEW_MASTER, THIRD_MASTER, "geheim-1", "geheim-2"):
                    self.assertNotIn(secret, err)

    def test_short_id_and_plain_output(self):
        v = self.vault
        v.init()
        status, added, _ = v.run("add", "example.org", "erika", lines=[MASTER, "geheim-1"])
        self.assertEqual(status, 0)
        status, table, _ = v.run("ls", lines=[MASTER], json_out=False)
        self.assertEqual(status, 0)
        self.assertEqual(table.splitlines()[0].split(), ["HOST", "BENUTZER", "TITEL", "ID"])
        self.assertEqual(table.splitlines()[1].split(), ["example.org", "erika", added["id"][:8]])
        status, shown, _ = v.run("show", added["id"][:8], "--password", lines=[MASTER], json_out=False)
        self.assertEqual(status, 0)
        self.assertIn("Passwort: geheim-1\n", shown)
        status, shown, _ = v.run("show", added["id"][:8], lines=[MASTER], json_out=False)
        self.assertNotIn("geheim-1", shown)


class ExitStatuses(unittest.TestCase):
    def setUp(self):
        self.vault = Vault()
        self.addCleanup(self.vault.close)

    def test_host_that_cannot_start_or_ends_early(self):
        status, _, err = self.vault.run("--host-binary", "/nonexistent/velkaron-vault", "gen")
        self.assertEqual(status, 4)
        self.assertTrue(err.startswith("velkaron: velkaron-vault nicht startbar: "), err)
        status, _, err = self.vault.run("--host-binary", "/bin/true", "gen")
        self.assertEqual(status, 4)
        self.assertEqual(err, "velkaron: velkaron-vault hat vorzeitig beendet\n")

    def test_host_found_on_the_path_when_not_beside(self):
        # A copy of velkaron alone in a folder finds the host only through PATH.
        alone = os.path.join(self.vault.dir.name, "bin")
        os.mkdir(alone)
        copy = os.path.join(alone, "velkaron")
        with open(VELKARON, "rb") as src, open(copy, "wb") as dst:
            dst.write(src.read())
        os.chmod(copy, 0o755)
        env = dict(self.vault.env, PATH="/nonexistent")
        done = subprocess.run([copy, "--json", "gen"], capture_output=True, text=True, env=env)
        self.assertEqual(done.returncode, 4)
        self.assertEqual(done.stderr,
                         "velkaron: velkaron-vault nicht gefunden (weder neben velkaron noch im PATH)\n")
        env["PATH"] = os.path.dirname(HOST)
        done = subprocess.run([copy, "--json", "gen"], capture_output=True, text=True, env=env)
        self.assertEqual(done.returncode, 0, done.stderr)

    def test_vault_choice_order(self):
        v = self.vault
        env = dict(v.env)
        del env["VELKARON_VAULT"]
        status, out, _ = v.run("where", env=env)
        self.assertEqual(out, {"path": os.path.join(v.dir.name, "data", "velkaron", "tresor.json"),
                               "reason": "Standard von velkaron-native"})
        config = os.path.join(v.dir.name, "config", "velkaron")
        os.makedirs(config)
        with open(os.path.join(config, "native-host.json"), "w") as f:
            json.dump({"vault": "/srv/tresor.json"}, f)
        status, out, _ = v.run("where", env=env)
        self.assertEqual(out["path"], "/srv/tresor.json")
        self.assertTrue(out["reason"].startswith("Konfiguration von velkaron-native"), out)
        status, out, _ = v.run("--vault", "/tmp/anders.json", "where", env=env)
        self.assertEqual(out, {"path": "/tmp/anders.json", "reason": "--vault"})


class MovingInAndOut(unittest.TestCase):
    """import of a browser export, then export: a file of mode 0600, never over another file
    unless --force, that imports into a fresh vault as the same logins."""

    def write(self, name, text):
        path = os.path.join(self.dir, name)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path

    def test_import_then_export_round_trip(self):
        v = Vault()
        self.addCleanup(v.close)
        self.dir = v.dir.name
        v.init()
        browser_export = self.write("browser.csv", (
            "name,url,username,password,note\r\n"
            "Bank,https://bank.example/login,erika,\"ge,heim\"\"1\",\r\n"
            "Post,https://mail.example/,erika,zwei,eine Notiz\r\n"
            "App,android://abc@com.example/,erika,drei,\r\n"))
        status, out, err = v.run("import", browser_export, lines=[MASTER])
        self.assertEqual(status, 0, err)
        self.assertEqual((out["added"], out["notes_dropped"], [s["line"] for s in out["skipped"]]),
                         (2, [3], [4]))
        status, out, err = v.run("import", browser_export, lines=[MASTER], json_out=False)
        self.assertEqual((status, out.splitlines()[0]), (0, "0 hinzugefügt, 2 unverändert, 0 ersetzt"))

        target = self.write("logins.csv", "schon da")
        status, _, err = v.run("export", target, lines=[MASTER])
        self.assertEqual((status, err), (1, f"velkaron: {target} gibt es schon; überschreiben mit --force\n"))
        with open(target) as f:
            self.assertEqual(f.read(), "schon da")
        status, out, err = v.run("export", target, "--force", lines=[MASTER])
        self.assertEqual((status, out), (0, {"file": target}), err)
        self.assertIn("unverschlüsselt", err)
        self.assertEqual(stat.S_IMODE(os.stat(target).st_mode), 0o600)
        with open(target, encoding="utf-8") as f:
            self.assertEqual(f.readline().rstrip("\r\n"), "name,url,username,password,note")

        fresh = Vault()
        self.addCleanup(fresh.close)
        fresh.init()
        status, out, err = fresh.run("import", target, lines=[MASTER])
        self.assertEqual((status, out["added"], out["skipped"]), (0, 2, []), err)
        status, out, _ = fresh.run("show", "bank.example", "erika", "--password", lines=[MASTER])
        self.assertEqual((status, out["password"], out["title"]), (0, 'ge,heim"1', "Bank"))


if __name__ == "__main__":
    unittest.main()
