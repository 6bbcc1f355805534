#!/usr/bin/env node
// A minimal velkaron-vault client (Node.js 18 or later, no dependencies), in the shape a
// browser-extension bridge needs: requests are promises matched to responses by id, so
// several may be in flight at once.
//
// Starts the host on a vault file and runs a short session: create the vault (or unlock it
// if it exists), store a demo login with a generated password unless it is there already,
// look it up for autofill, count the logins, lock.
//
//     node client.mjs [--host-binary PATH] VAULT_PATH
//
// Safe to run against a real vault: the only login it ever stores is its own, clearly marked
// demo login (user name "demo" on the host "velkaron-demo.example"), and it changes no login
// that is already stored, that one included. Delete the demo login when done with it.
//
// The host binary is --host-binary, else $VELKARON_VAULT_BIN, else velkaron-vault on the PATH.
// The master password is $VELKARON_PASSWORD when set, else asked for on the terminal without
// echo (or read from standard input when no terminal is attached).

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

// The demo login: a reserved example domain, so that it can never be a real site's login.
const DEMO_HOST = "velkaron-demo.example";
const DEMO_USERNAME = "demo";
const DEMO_TITLE = "Demo of the velkaron-vault example clients (safe to delete)";

async function runSession(host, masterPassword) {
  const status = await host.request("status");
  if (status.exists) {
    const opened = await host.request("unlock", { password: masterPassword });
    console.log(`unlocked vault with ${opened.entries} entries`);
  } else {
    const created = await host.request("create", { password: masterPassword });
    console.log(`created vault; recovery code (write it down): ${created.recoveryCode}`);
  }

  // put replaces a stored login with the same host and user name, so store only when there is
  // none: a login already in the vault is never changed.
  const summaries = await host.request("list");
  const demo = summaries.find((s) => s.host === DEMO_HOST && s.username === DEMO_USERNAME);
  let demoId;
  if (demo === undefined) {
    const { password: newPassword } = await host.request("generate", { length: 24 });
    const stored = await host.request("put", {
      host: DEMO_HOST,
      username: DEMO_USERNAME,
      password: newPassword,
      title: DEMO_TITLE,
    });
    demoId = stored.id;
    console.log(`stored demo login ${demoId} with a generated password of ${newPassword.length} characters`);
  } else {
    demoId = demo.id;
    console.log(`demo login ${demoId} is stored already; left unchanged`);
  }

  // Two requests in flight at once; the responses are matched by id.
  const [matches, all] = await Promise.all([
    host.request("for-host", { host: `www.${DEMO_HOST}`, secure: true }),
    host.request("list"),
  ]);
  const filled = matches.map((m) => `${m.username}@${m.host}`).join(", ");
  console.log(`for-host www.${DEMO_HOST}: ${matches.length} login(s): ${filled}`);
  if (!matches.some((m) => m.id === demoId)) {
    throw new HostError("autofill did not return the demo login");
  }
  console.log(`list: ${all.length} login(s)`);

  await host.request("lock");
  console.log("locked");
}

// Reads the master password like Python's getpass: without echo from a terminal, else the
// first line of standard input. The prompt goes to standard error.
async function askPassword(prompt) {
  const input = process.stdin;
  if (!input.isTTY) {
    process.stderr.write(prompt);
    const lines = createInterface({ input, crlfDelay: Infinity });
    for await (const line of lines) return line;
    return "";
  }
  // Echo goes off before the prompt shows, so that nothing typed after it can be echoed.
  input.setRawMode(true);
  process.stderr.write(prompt);
  input.setEncoding("utf8");
  let password = "";
  try {
    for await (const chunk of input) {
      for (const c of chunk) {
        if (c === "\r" || c === "\n" || c === "\u0004") return password;
        if (c === "\u0003") {
          // Ctrl-C: raw mode turns it into a character.
          input.setRawMode(false);
          process.stderr.write("\n");
          process.exit(130);
        }
        if (c === "\u007f" || c === "\b") password = Array.from(password).slice(0, -1).join("");
        else password += c;
      }
    }
    return password;
  } finally {
    input.setRawMode(false);
    process.stderr.write("\n");
  }
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
  const masterPassword = process.env.VELKARON_PASSWORD || (await askPassword("Master-Passwort: "));
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
