#!/usr/bin/env node
// A minimal velkaron-vault client (Node.js 18 or later, no dependencies), in the shape a
// browser-extension bridge needs: requests are promises matched to responses by id, so
// several may be in flight at once.
//
// Starts the host on a vault file and runs a short session: create the vault (or unlock it
// if it exists), store a login with a generated password, look it up for autofill, list the
// logins, lock.
//
//     VELKARON_PASSWORD='master password' node client.mjs [--host-binary PATH] VAULT_PATH
//
// The host binary is --host-binary, else $VELKARON_VAULT_BIN, else velkaron-vault on the PATH.

import { spawn } from "node:child_process";
import { createInterface } from "node:readline";

class HostError extends Error {}

class VaultHost {
  #child;
  #pending = new Map(); // request id -> { resolve, reject }
  #nextId = 1;
  #ended;

  constructor(binary, vaultPath) {
    this.#child = spawn(binary, [vaultPath], { stdio: ["pipe", "pipe", "inherit"] });
    this.#ended = new Promise((resolve, reject) => {
      this.#child.on("error", reject); // could not be started
      this.#child.on("close", (code, signal) => resolve(code ?? `signal ${signal}`));
    });
    this.#ended.catch(() => {}); // reported by close()
    // A write after the host has gone fails with EPIPE; the pending request is failed below.
    this.#child.stdin.on("error", () => {});

    const lines = createInterface({ input: this.#child.stdout, crlfDelay: Infinity });
    lines.on("line", (line) => {
      const response = JSON.parse(line);
      const waiting = this.#pending.get(response.id);
      if (!waiting) {
        // id 0: the host could not read a line at all; fail the oldest request.
        const [oldestId, oldest] = this.#pending.entries().next().value ?? [];
        if (oldest) {
          this.#pending.delete(oldestId);
          oldest.reject(new HostError(response.error));
        }
        return;
      }
      this.#pending.delete(response.id);
      if (response.ok) waiting.resolve(response.data);
      else waiting.reject(new HostError(response.error));
    });
    lines.on("close", () => {
      for (const { reject } of this.#pending.values()) {
        reject(new HostError("host ended without answering"));
      }
      this.#pending.clear();
    });
  }

  request(op, members = {}) {
    const id = this.#nextId++;
    return new Promise((resolve, reject) => {
      this.#pending.set(id, { resolve, reject });
      // JSON.stringify writes compact JSON with raw UTF-8, as the host expects.
      this.#child.stdin.write(JSON.stringify({ id, op, ...members }) + "\n");
    });
  }

  // Ends the session: the host wipes its key and exits; resolves to its exit status.
  close() {
    this.#child.stdin.end();
    return this.#ended;
  }
}

async function runSession(host, masterPassword) {
  const status = await host.request("status");
  if (status.exists) {
    const opened = await host.request("unlock", { password: masterPassword });
    console.log(`unlocked vault with ${opened.entries} entries`);
  } else {
    const created = await host.request("create", { password: masterPassword });
    console.log(`created vault; recovery code (write it down): ${created.recoveryCode}`);
  }

  const { password: newPassword } = await host.request("generate", { length: 24 });
  const stored = await host.request("put", {
    host: "example.org",
    username: "erika",
    password: newPassword,
    title: "Beispiel",
  });
  console.log(`stored login ${stored.id} with a generated password of ${newPassword.length} characters`);

  // Two requests in flight at once; the responses are matched by id.
  const [matches, summaries] = await Promise.all([
    host.request("for-host", { host: "www.example.org", secure: true }),
    host.request("list"),
  ]);
  const filled = matches.map((m) => `${m.username}@${m.host}`).join(", ");
  console.log(`for-host www.example.org: ${matches.length} login(s): ${filled}`);
  if (!matches.some((m) => m.password === newPassword)) {
    throw new HostError("autofill did not return the password just stored");
  }
  console.log(`list: ${summaries.length} login(s)`);
  for (const s of summaries) {
    console.log(`  ${s.host}  ${s.username}  ${s.title}  id ${s.id}`);
  }

  await host.request("lock");
  console.log("locked");
}

function parseArguments(argv) {
  let binary = process.env.VELKARON_VAULT_BIN || "velkaron-vault";
  const rest = [];
  for (let i = 0; i < argv.length; i++) {
    if (argv[i] === "--host-binary" && i + 1 < argv.length) binary = argv[++i];
    else rest.push(argv[i]);
  }
  if (rest.length !== 1) {
    console.error("usage: node client.mjs [--host-binary PATH] VAULT_PATH");
    process.exit(2);
  }
  return { binary, vaultPath: rest[0] };
}

async function main() {
  const { binary, vaultPath } = parseArguments(process.argv.slice(2));
  const masterPassword = process.env.VELKARON_PASSWORD;
  if (!masterPassword) {
    console.error("error: set VELKARON_PASSWORD to the master password");
    return 2;
  }
  const host = new VaultHost(binary, vaultPath);
  try {
    await runSession(host, masterPassword);
  } catch (error) {
    let reason = error.message;
    try {
      await host.close();
    } catch (startError) {
      reason = `cannot start ${binary}: ${startError.message}`;
    }
    console.error(`error: ${reason}`);
    return 1;
  }
  const status = await host.close();
  console.log(`host exited with status ${status}`);
  return status === 0 ? 0 : 1;
}

process.exitCode = await main();
