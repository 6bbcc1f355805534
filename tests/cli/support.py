"""Shared by velkaron's tests: the binaries, a fresh vault folder, and waiting on conditions."""

import json
import os
import subprocess
import tempfile
import time

VELKARON = os.environ["VELKARON"]
HOST = os.environ["VELKARON_HOST"]
MASTER = "Korrekt Pferd Batterie"


def wait_for(condition, what, timeout=30.0):
    """Polls `condition` until it gives a true value; fails naming `what` after `timeout`."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.05)


class Vault:
    """A temporary folder with a vault path and an environment that points nowhere else."""

    def __init__(self):
        self.dir = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.dir.name, "tresor.json")
        self.env = {k: v for k, v in os.environ.items() if not k.startswith("VELKARON")}
        self.env.update(HOME=self.dir.name, XDG_CONFIG_HOME=os.path.join(self.dir.name, "config"),
                        XDG_DATA_HOME=os.path.join(self.dir.name, "data"), VELKARON_VAULT=self.path)
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)

    def run(self, *args, lines=(), json_out=True, env=None):
        """velkaron with --password-stdin, the secrets one per line; gives (status, out, err)."""
        argv = [VELKARON, "--password-stdin"] + (["--json"] if json_out else []) + list(args)
        done = subprocess.run(argv, input="".join(line + "\n" for line in lines), text=True,
                              capture_output=True, env=env or self.env, timeout=120)
        out = done.stdout
        if json_out and done.returncode == 0 and out.strip():
            out = json.loads(out)
        return done.returncode, out, done.stderr

    def init(self):
        status, out, err = self.run("init", lines=[MASTER])
        assert status == 0, err
        return out["recoveryCode"]

    def close(self):
        self.dir.cleanup()
