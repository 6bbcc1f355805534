#!/usr/bin/env python3
"""A minimal velkaron-vault client (Python 3, standard library only).

Starts the host on a vault file and runs a short session: create the vault (or unlock it if
it exists), store a login with a generated password, look it up for autofill, list the
logins, lock.

    VELKARON_PASSWORD='master password' python3 client.py [--host-binary PATH] VAULT_PATH

The host binary is --host-binary, else $VELKARON_VAULT_BIN, else velkaron-vault on the PATH.
Without $VELKARON_PASSWORD the master password is asked for on the terminal.
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


def run_session(host, master_password):
    status = host.request("status")
    if status["exists"]:
        opened = host.request("unlock", password=master_password)
        print(f"unlocked vault with {opened['entries']} entries")
    else:
        created = host.request("create", password=master_password)
        print(f"created vault; recovery code (write it down): {created['recoveryCode']}")

    new_password = host.request("generate", length=24)["password"]
    stored = host.request("put", host="example.org", username="erika",
                          password=new_password, title="Beispiel")
    print(f"stored login {stored['id']} with a generated password of {len(new_password)} characters")

    matches = host.request("for-host", host="www.example.org", secure=True)
    filled = ", ".join(f"{m['username']}@{m['host']}" for m in matches)
    print(f"for-host www.example.org: {len(matches)} login(s): {filled}")
    if not any(m["password"] == new_password for m in matches):
        raise HostError("autofill did not return the password just stored")

    summaries = host.request("list")
    print(f"list: {len(summaries)} login(s)")
    for summary in summaries:
        print(f"  {summary['host']}  {summary['username']}  {summary['title']}  id {summary['id']}")

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
