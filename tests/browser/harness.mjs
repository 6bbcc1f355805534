// Starts what the browser tests need: login pages over HTTPS (self-signed, made here with
// openssl) and HTTP, and a real headless Chromium with a fresh profile that has the extension
// loaded and velkaron-native registered for a temporary vault.
import { execFileSync, spawn } from "node:child_process";
import { mkdtempSync, readFileSync, readdirSync, rmSync } from "node:fs";
import http from "node:http";
import https from "node:https";
import { tmpdir } from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";
import { after, before } from "node:test";
import { chromium } from "playwright-core";

const HERE = path.dirname(fileURLToPath(import.meta.url));
export const EXTENSION_DIR = path.resolve(HERE, "../../extension");
export const EXTENSION_ID = readFileSync(
  path.join(EXTENSION_DIR, "extension-id.txt"),
  "utf8",
).trim();
const CHROMIUM = "/usr/lib/chromium/chromium";

// Set by ctest (tests/CMakeLists.txt) to the binaries of the build under test.
export function binary(variable) {
  const file = process.env[variable];
  if (!file) throw new Error(`${variable} is not set; run these tests through ctest`);
  return file;
}

const newTempDir = (prefix) => mkdtempSync(path.join(tmpdir(), `velkaron-${prefix}-`));
const removeDir = (dir) => rmSync(dir, { recursive: true, force: true });

export function tempDir(t, prefix) {
  const dir = newTempDir(prefix);
  t.after(() => removeDir(dir));
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

// A fresh profile and XDG folders; velkaron-native registers itself in the profile the way a
// user registers it for their own browser. With `extension: false` the browser runs without
// the extension, for the bench's comparison; then there is no `worker`.
export async function launchBrowser(t, { vault, extension = true } = {}) {
  const dir = newTempDir("browser");
  const profile = path.join(dir, "profile");
  const env = {
    ...process.env,
    XDG_CONFIG_HOME: path.join(dir, "config"),
    XDG_DATA_HOME: path.join(dir, "data"),
  };
  const vaultPath = vault ?? path.join(dir, "tresor.json");
  registerHost(
    ["--browser", "chromium", "--manifest-dir", path.join(profile, "NativeMessagingHosts")],
    vaultPath,
    env,
  );

  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    ignoreHTTPSErrors: true,
    env,
    args: [
      ...(process.getuid() === 0 ? ["--no-sandbox"] : []),
      ...(extension
        ? [`--disable-extensions-except=${EXTENSION_DIR}`, `--load-extension=${EXTENSION_DIR}`]
        : []),
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
      "--no-first-run",
      "--disable-gpu",
      "--disable-quic",
      "--host-resolver-rules=MAP * 127.0.0.1",
    ],
  });
  t.after(async () => {
    await context.close();
    removeDir(dir);
  });
  if (!extension) return { context };
  const worker = context.serviceWorkers()[0] ?? (await context.waitForEvent("serviceworker"));
  // Chromium derived the id from the manifest's key; velkaron-native allows only that one.
  if (!worker.url().startsWith(`chrome-extension://${EXTENSION_ID}/`)) {
    throw new Error(`the extension runs as ${worker.url()}, not as ${EXTENSION_ID}`);
  }
  return { context, worker, vaultPath, configHome: env.XDG_CONFIG_HOME };
}

// The browser's tab id of a Playwright page.
export async function tabIdOf(worker, page) {
  const url = page.url();
  const id = await worker.evaluate(async (wanted) => {
    const tabs = await chrome.tabs.query({});
    return tabs.find((tab) => tab.url === wanted)?.id;
  }, url);
  if (id === undefined) throw new Error(`no tab shows ${url}`);
  return id;
}

// The popup page, opened as a tab that acts on `targetTabId`.
export async function openPopup(context, targetTabId) {
  const page = await context.newPage();
  const query = targetTabId === undefined ? "" : `?tab=${targetTabId}`;
  await page.goto(`chrome-extension://${EXTENSION_ID}/popup/popup.html${query}`);
  await page.locator("#state[data-state]").waitFor();
  return page;
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

export async function waitForState(popup, state) {
  await popup.locator(`#state[data-state="${state}"]`).waitFor();
}

// Unlocks through the popup's form, unless the vault is unlocked already.
export async function unlock(popup, password = MASTER) {
  await popup.locator("#state[data-state]").waitFor();
  if ((await popup.locator("#state").getAttribute("data-state")) === "unlocked") return;
  await popup.fill("#unlock-form [name=password]", password);
  await popup.click("#unlock-form button[type=submit]");
  await waitForState(popup, "unlocked");
}

// Runs the keyboard command's handler for a tab, as Chromium would on the key press (a test
// hook, docs/browser.md#test-hooks); resolves with the fill's result.
export function pressFillCommand(worker, tabId) {
  return worker.evaluate(
    async (id) => self.velkaron.onCommand("fill-login", await chrome.tabs.get(id)),
    tabId,
  );
}

// Runs `expression` (the source of an async function of no arguments) in the isolated world
// of the extension's content scripts in the page's top frame, through the DevTools protocol,
// as a content script would run it; resolves with its result.
export async function inContentScript(context, page, expression) {
  const cdp = await context.newCDPSession(page);
  try {
    const contexts = [];
    cdp.on("Runtime.executionContextCreated", ({ context: created }) => contexts.push(created));
    await cdp.send("Runtime.enable");
    const world =
      contexts.find(
        (c) => c.auxData?.type === "isolated" && c.origin === `chrome-extension://${EXTENSION_ID}`,
      ) ?? contexts.find((c) => c.auxData?.type === "isolated" && c.name === "Velkaron Tresor");
    if (!world) throw new Error("no content script world in the page");
    const { result, exceptionDetails } = await cdp.send("Runtime.evaluate", {
      expression: `(${expression})()`,
      contextId: world.id,
      awaitPromise: true,
      returnByValue: true,
    });
    if (exceptionDetails) throw new Error(exceptionDetails.exception?.description);
    return result.value;
  } finally {
    await cdp.detach();
  }
}

// Types `text` into the field `selector` of a page or frame as a person would: the browser
// reports it as trusted input of the kind insertText.
export const typeInto = (scope, selector, text) => scope.locator(selector).fill(text);

// What the extension's button shows for a tab: [badge text, title].
export const buttonOf = (worker, tabId) =>
  worker.evaluate(
    async (id) => [
      await chrome.action.getBadgeText({ tabId: id }),
      await chrome.action.getTitle({ tabId: id }),
    ],
    tabId,
  );

// Waits until the button of the tab shows `text` (condition polled in the worker).
export const waitForButton = (worker, tabId, text) =>
  worker.evaluate(
    async ([id, wanted]) => {
      while ((await chrome.action.getBadgeText({ tabId: id })) !== wanted) {
        await new Promise((resolve) => setTimeout(resolve, 20));
      }
    },
    [tabId, text],
  );

// How many reports of a sent form the worker has looked at (a test hook,
// docs/browser.md#test-hooks), and a wait until it has looked at `count` in all.
export const sendingsHandled = (worker) => worker.evaluate(() => self.velkaron.sendingsHandled());
export const waitForSendings = (worker, count) =>
  worker.evaluate(async (wanted) => {
    while (self.velkaron.sendingsHandled() < wanted) {
      await new Promise((resolve) => setTimeout(resolve, 20));
    }
  }, count);

// Takes the clean-ups that a test's `t.after` would take, for a browser that the tests of one
// file share; `close` runs them, the last first.
export function sharedScope() {
  const jobs = [];
  return {
    after: (job) => jobs.push(job),
    close: async () => {
      while (jobs.length > 0) await jobs.pop()();
    },
  };
}

// For the tests of one file: one browser on a vault made with `logins`, a tab showing the
// site's login page and a popup acting on it, unlocked when asked. The object is filled in
// before the first test.
export function sharedSite(logins, { unlocked = false } = {}) {
  const scope = sharedScope();
  const shared = {};
  before(async () => {
    const sites = await startSites(scope);
    const vault = await makeVault(scope, logins);
    const browser = await launchBrowser(scope, { vault: vault.vaultPath });
    const site = await browser.context.newPage();
    await site.goto(`${sites.https}/login.html`);
    const siteTab = await tabIdOf(browser.worker, site);
    const popup = await openPopup(browser.context, siteTab);
    if (unlocked) await unlock(popup);
    Object.assign(shared, browser, vault, { sites, site, siteTab, popup });
  });
  after(() => scope.close());
  return shared;
}
