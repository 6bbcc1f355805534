// What the browser tests need beside the browser (browsers.mjs): login pages over HTTPS
// (self-signed, made here with openssl) and HTTP, vaults made through the line host, and the
// velkaron-native processes the browser started.
import { execFileSync, spawn } from "node:child_process";
import { mkdtempSync, readFileSync, readdirSync, rmSync } from "node:fs";
import http from "node:http";
import https from "node:https";
import { tmpdir } from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";

const HERE = path.dirname(fileURLToPath(import.meta.url));
export const EXTENSION_DIR = path.resolve(HERE, "../../extension");
export const EXTENSION_ID = readFileSync(
  path.join(EXTENSION_DIR, "extension-id.txt"),
  "utf8",
).trim();

// Set by ctest (tests/CMakeLists.txt) to the binaries of the build under test.
export function binary(variable) {
  const file = process.env[variable];
  if (!file) throw new Error(`${variable} is not set; run these tests through ctest`);
  return file;
}

export function tempDir(t, prefix) {
  const dir = mkdtempSync(path.join(tmpdir(), `velkaron-${prefix}-`));
  t.after(() => rmSync(dir, { recursive: true, force: true }));
  return dir;
}

function selfSignedCertificate(dir) {
  const key = path.join(dir, "key.pem");
  const cert = path.join(dir, "cert.pem");
  execFileSync(
    "openssl",
    [
      "req",
      "-x509",
      "-newkey",
      "rsa:2048",
      "-nodes",
      "-days",
      "1",
      "-subj",
      "/CN=localhost",
      "-addext",
      "subjectAltName=DNS:localhost",
      "-keyout",
      key,
      "-out",
      cert,
    ],
    { stdio: "ignore" },
  );
  return { key: readFileSync(key), cert: readFileSync(cert) };
}

function listen(server) {
  return new Promise((resolve) =>
    server.listen(0, "127.0.0.1", () => resolve(server.address().port)),
  );
}

// What every page made by `pageUrl` records of its fields: the value of each input and change
// event, so that a test sees whether the page could have read a password.
const RECORDER = `<script>
  window.seen = [];
  for (const type of ["input", "change"]) {
    addEventListener(type, (event) => window.seen.push(event.target.value), true);
  }
</script>`;

// A page over HTTPS whose body is `markup`, on the server of `sites` (any host name: the
// browser resolves every name to this machine).
export function pageUrl(sites, markup, host = "localhost") {
  return `https://${host}:${sites.port}/page?markup=${encodeURIComponent(markup)}`;
}

function render(url) {
  if (url.pathname !== "/page") return null;
  return `<!doctype html><html lang="de"><head><meta charset="utf-8"><title>Seite</title>
${RECORDER}</head><body>${url.searchParams.get("markup")}</body></html>`;
}

// Serves site/: the same pages at https://localhost:A, at https://localhost:B (another origin
// with the same host name, for the cross-origin frame) and at http://localhost:C; and the pages
// of pageUrl.
export async function startSites(t) {
  const tls = selfSignedCertificate(tempDir(t, "tls"));
  const urls = {};
  const handler = (request, response) => {
    const url = new URL(request.url, "http://x");
    const file = path.join(HERE, "site", path.basename(url.pathname));
    let body = render(url);
    try {
      body ??= readFileSync(file, "utf8")
        .replaceAll("CROSS_ORIGIN", urls.crossOrigin)
        .replaceAll("MAIN_ORIGIN", urls.https);
    } catch {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { "content-type": "text/html; charset=utf-8" }).end(body);
  };
  const servers = [
    https.createServer(tls, handler),
    https.createServer(tls, handler),
    http.createServer(handler),
  ];
  const [secure, crossOrigin, plain] = await Promise.all(servers.map(listen));
  urls.port = secure;
  urls.https = `https://localhost:${secure}`;
  urls.crossOrigin = `https://localhost:${crossOrigin}`;
  urls.http = `http://localhost:${plain}`;
  t.after(() =>
    Promise.all(
      servers.map(
        (server) =>
          new Promise((done) => {
            server.close(done);
            server.closeAllConnections(); // the browser keeps connections open
          }),
      ),
    ),
  );
  return urls;
}

// Registers velkaron-native for a browser (`args`: install's options) with the vault, as its
// user would, in the environment the browser will run in.
export function registerHost(args, vaultPath, env) {
  execFileSync(binary("VELKARON_NATIVE"), ["install", ...args, "--vault", vaultPath], {
    env,
    stdio: ["ignore", "ignore", "inherit"],
  });
}

// The pids of the velkaron-native processes started for the browser with this XDG config
// folder, found through /proc.
export function nativeHostPids(nativeBinary, configHome) {
  const pids = [];
  for (const entry of readdirSync("/proc")) {
    if (!/^\d+$/.test(entry)) continue;
    try {
      const argv0 = readFileSync(`/proc/${entry}/cmdline`, "utf8").split("\0")[0];
      if (path.basename(argv0) !== path.basename(nativeBinary)) continue;
      const environ = readFileSync(`/proc/${entry}/environ`, "utf8").split("\0");
      if (environ.includes(`XDG_CONFIG_HOME=${configHome}`)) pids.push(Number(entry));
    } catch {
      // the process ended while being looked at
    }
  }
  return pids;
}

export function isRunning(pid) {
  try {
    // A zombie has ended; only its parent has not yet collected its status.
    return !readFileSync(`/proc/${pid}/stat`, "utf8").split(") ")[1].startsWith("Z");
  } catch {
    return false;
  }
}

// Runs the line host on a vault and answers the given request lines.
export function askLineHost(vaultPath, requests) {
  return new Promise((resolve, reject) => {
    const host = spawn(binary("VELKARON_VAULT"), [vaultPath], {
      stdio: ["pipe", "pipe", "inherit"],
    });
    let output = "";
    host.stdout.on("data", (chunk) => (output += chunk));
    host.on("error", reject);
    host.on("close", (status) => {
      const responses = output
        .split("\n")
        .filter(Boolean)
        .map((line) => JSON.parse(line));
      resolve({ status, responses });
    });
    host.stdin.end(requests.map((request) => JSON.stringify(request) + "\n").join(""));
  });
}

export const MASTER = "korrekt-pferd-batterie";

// A vault made through the line host with the given logins ({ host, username, password,
// title }); resolves with its path, its master password and its recovery code.
export async function makeVault(t, logins) {
  const vaultPath = path.join(tempDir(t, "vault"), "tresor.json");
  const { status, responses } = await askLineHost(vaultPath, [
    { id: 1, op: "create", password: MASTER },
    ...logins.map((login, i) => ({ id: i + 2, op: "put", title: "", ...login })),
  ]);
  const failed = responses.find((response) => !response.ok);
  if (status !== 0 || failed) throw new Error(`vault not made: ${JSON.stringify(failed)}`);
  return { vaultPath, password: MASTER, recoveryCode: responses[0].data.recoveryCode };
}
