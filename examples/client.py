#!/usr/bin/env python3
"""A minimal velkaron-vault client (Python 3, standard library only).

Starts the host on a vault file and runs a short session: create the vault (or unlock it if
it exists), store a demo login with a generated password unless it is there already, look it
up for autofill, count the logins, lock.

    python3 client.py [--host-binary PATH] VAULT_PATH

Safe to run against a real vault: the only login it ever stores is its own, clearly marked
demo login (user name "demo" on the host "velkaron-demo.example"), and it changes no login
that is already stored, that one included. Delete the demo login when done with it.

The host binary is --host-binary, else $VELKARON_VAULT_BIN, else velkaron-vault on the PATH.
The master password is $VELKARON_PASSWORD when set, else asked for on the terminal without
echo (or read from standard input when no terminal is attached).
"""

import argparse
import getpass
import json
import os
import subprocess
import sys


class HostError(Exception):
    """An error answer of the host (its German message), or the host going away."""


class VaultHost:
    """One host process; request() sends one line and waits for its one response line."""

    def __init__(self, binary, vault_path):
        self._process = subprocess.Popen(
            [binary, vault_path],
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            encoding="utf-8",  # the host reads and writes UTF-8 only
            errors="strict",
        )
        self._next_id = 1

    def request(self, op, **members):
        request_id = self._next_id
        self._next_id += 1
        # Compact, raw UTF-8; None members may be left in: null counts as absent.
        line = json.dumps({"id": request_id, "op": op, **members},
                          ensure_ascii=False, separators=(",", ":"))
        try:
            self._process.stdin.write(line + "\n")
            self._process.stdin.flush()
        except BrokenPipeError:
            raise HostError(f"host has ended (exit status {self._process.wait()})") from None
        reply = self._process.stdout.readline()
        if not reply:
            raise HostError(f"host ended without answering (exit status {self._process.wait()})")
        response = json.loads(reply)
        if response["id"] != request_id:  # id 0: the host could not read the line at all
            raise HostError(response.get("error", f"answer for request {response['id']}"))
        if not response["ok"]:
            raise HostError(response["error"])
        return response["data"]

    def close(self):
        """Ends the session: the host wipes its key and exits; returns its exit status."""
        self._process.stdin.close()
        status = self._process.wait()
        self._process.stdout.close()
        return status


# The demo login: a reserved example domain, so that it can never be a real site's login.
DEMO_HOST = "velkaron-demo.example"
DEMO_USERNAME = "demo"
DEMO_TITLE = "Demo of the velkaron-vault example clients (safe to delete)"


def run_session(host, master_password):
    status = host.request("status")
    if status["exists"]:
        opened = host.request("unlock", password=master_password)
        print(f"unlocked vault with {opened['entries']} entries")
    else:
        created = host.request("create", password=master_password)
        print(f"created vault; recovery code (write it down): {created['recoveryCode']}")

    # put replaces a stored login with the same host and user name, so store only when there
    # is none: a login already in the vault is never changed.
    summaries = host.request("list")
    demo = next((s for s in summaries
                 if s["host"] == DEMO_HOST and s["username"] == DEMO_USERNAME), None)
    if demo is None:
        new_password = host.request("generate", length=24)["password"]
        stored = host.request("put", host=DEMO_HOST, username=DEMO_USERNAME,
                              password=new_password, title=DEMO_TITLE)
        demo_id = stored["id"]
        print(f"stored demo login {demo_id} with a generated password of {len(new_password)} characters")
    else:
        demo_id = demo["id"]
        print(f"demo login {demo_id} is stored already; left unchanged")

    matches = host.request("for-host", host="www." + DEMO_HOST, secure=True)
    filled = ", ".join(f"{m['username']}@{m['host']}" for m in matches)
    print(f"for-host www.{DEMO_HOST}: {len(matches)} login(s): {filled}")
    if not any(m["id"] == demo_id for m in matches):
        raise HostError("autofill did not return the demo login")

    print(f"list: {len(host.request('list'))} login(s)")

    host.request("lock")
    print("locked")


def main():
    parser = argparse.ArgumentParser(description="Run a short session against a vault file.")
    parser.add_argument("vault_path")
    parser.add_argument("--host-binary", default=os.environ.get("VELKARON_VAULT_BIN", "velkaron-vault"))
    args = parser.parse_args()

    master_password = os.environ.get("VELKARON_PASSWORD") or getpass.getpass("Master-Passwort: ")
    try:
        host = VaultHost(args.host_binary, args.vault_path)
    except OSError as error:
        print(f"error: cannot start {args.host_binary}: {error.strerror}", file=sys.stderr)
        return 1
    try:
        run_session(host, master_password)
    except HostError as error:
        print(f"error: {error}", file=sys.stderr)
        host.close()
        return 1
    status = host.close()
    print(f"host exited with status {status}")
    return 0 if status == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
