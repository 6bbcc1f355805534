// The extension and velkaron-native in a real headless Chromium or Firefox, driven by
// puppeteer-core (CDP for Chromium, WebDriver BiDi for Firefox), so that a test is written
// once and runs in both. The browser comes from VELKARON_BROWSER ("chromium", the default, or
// "firefox"), which ctest sets per entry.
import { mkdirSync, mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import path from "node:path";
import { after, before } from "node:test";
import puppeteer from "puppeteer-core";
import {
  EXTENSION_DIR,
  EXTENSION_ID,
  MASTER,
  makeVault,
  registerHost,
  startSites,
} from "./fixtures.mjs";

export const BROWSER = process.env.VELKARON_BROWSER ?? "chromium";

const GECKO_ID = JSON.parse(readFileSync(path.join(EXTENSION_DIR, "manifest.json"), "utf8"))
  .browser_specific_settings.gecko.id;
// Firefox gives each installation a random address unless the profile fixes it.
const FIREFOX_EXTENSION_UUID = "5e1c7a0e-3b9d-4f2a-8c61-0d4b7e9f2a13";

// Conditions are polled on a timer: a page in a tab behind another gets no animation frames.
const POLLING = { polling: 50 };

const EXECUTABLES = {
  chromium: "/usr/lib/chromium/chromium",
  firefox: "/usr/lib/firefox-esr/firefox-esr",
};

async function launchChromium(dir, env, vaultPath, downloadBehavior, extension) {
  const profile = path.join(dir, "profile");
  // In the profile's own folder, the way a user registers it for their own browser.
  registerHost(
    ["--browser", "chromium", "--manifest-dir", path.join(profile, "NativeMessagingHosts")],
    vaultPath,
    env,
  );
  const browser = await puppeteer.launch({
    browser: "chrome",
    executablePath: EXECUTABLES.chromium,
    headless: true,
    acceptInsecureCerts: true,
    userDataDir: profile,
    env,
    downloadBehavior,
    ignoreDefaultArgs: ["--disable-extensions"],
    args: [
      ...(process.getuid() === 0 ? ["--no-sandbox"] : []),
      ...(extension
        ? [`--disable-extensions-except=${EXTENSION_DIR}`, `--load-extension=${EXTENSION_DIR}`]
        : []),
      "--disable-gpu",
      "--disable-quic",
      "--host-resolver-rules=MAP * 127.0.0.1",
    ],
  });
  if (!extension) return { browser };
  const base = `chrome-extension://${EXTENSION_ID}/`;
  // Chromium derived the id from the manifest's key; velkaron-native allows only that one.
  const target = await browser.waitForTarget(
    (t) => t.type() === "service_worker" && t.url().startsWith(base),
  );
  const worker = await target.worker();
  return {
    browser,
    base,
    hostArguments: [base],
    openPage: async (page, url) => {
      await page.goto(url);
    },
    evaluateInBackground: (source) => worker.evaluate(`(${source})(self)`),
    allowClipboardRead: (origin) =>
      browser.defaultBrowserContext().overridePermissions(origin, ["clipboard-read"]),
  };
}

async function launchFirefox(env, vaultPath, downloadBehavior, prefs) {
  // Where Firefox looks first: ~/.mozilla/native-messaging-hosts/, under a HOME of the test's.
  registerHost(["--browser", "firefox"], vaultPath, env);
  const browser = await puppeteer.launch({
    browser: "firefox",
    executablePath: EXECUTABLES.firefox,
    headless: true,
    acceptInsecureCerts: true,
    downloadBehavior,
    // WebDriver navigates to an extension's pages only when allowed to reach privileged ones.
    env: { ...env, MOZ_REMOTE_ALLOW_SYSTEM_ACCESS: "1" },
    extraPrefsFirefox: {
      "extensions.webextensions.uuids": JSON.stringify({ [GECKO_ID]: FIREFOX_EXTENSION_UUID }),
      // A page may read the clipboard without a paste prompt, as the tests need.
      "dom.events.testing.asyncClipboard": true,
      // Every host name is the test server, as Chromium's --host-resolver-rules makes it.
      "network.dns.forceResolve": "127.0.0.1",
      ...prefs,
    },
  });
  const installed = await browser.installExtension(EXTENSION_DIR);
  if (installed !== GECKO_ID) throw new Error(`the extension runs as ${installed}`);
  const base = `moz-extension://${FIREFOX_EXTENSION_UUID}/`;
  // Firefox reports no load of an extension page over WebDriver BiDi: navigate without
  // waiting, then wait for the document.
  const openPage = async (page, url) => {
    await page.mainFrame().browsingContext.navigate(url, "none");
    await page.waitForFunction(
      (wanted) => location.href === wanted && document.readyState === "complete",
      POLLING,
      url,
    );
  };
  // The event page is reached from a page of the extension's own.
  const backgroundDoor = await browser.newPage();
  await openPage(backgroundDoor, `${base}offscreen/clipboard.html`);
  return {
    browser,
    base,
    hostArguments: [
      path.join(env.HOME, ".mozilla/native-messaging-hosts/velkaron.vault.json"),
      GECKO_ID,
    ],
    openPage,
    evaluateInBackground: (source) =>
      backgroundDoor.evaluate(
        `chrome.runtime.getBackgroundPage().then((background) => (${source})(background))`,
      ),
    allowClipboardRead: async () => {},
    // Firefox stops an idle event page: the door keeps a reference to the running one, which
    // turns dead once it has been stopped (asking for it again would start a new one).
    watchBackground: () =>
      backgroundDoor.evaluate(async () => {
        const background = await chrome.runtime.getBackgroundPage();
        window.backgroundStopped = () => {
          try {
            return background.closed;
          } catch {
            return true; // "can't access dead object"
          }
        };
      }),
    watchedBackgroundStopped: () => backgroundDoor.evaluate(() => window.backgroundStopped()),
    waitForWatchedBackgroundStop: () =>
      backgroundDoor.waitForFunction(() => window.backgroundStopped(), POLLING),
  };
}

// Launches the browser with a fresh profile and XDG folders, the extension loaded and
// velkaron-native registered for a temporary vault (or `vault`). `prefs` are Firefox's; with
// `extension: false`, Chromium runs without the extension (the bench's comparison), and only
// the session's `browser` and `newPage` are of use.
export async function launchExtension(t, { vault, prefs = {}, extension = true } = {}) {
  const dir = mkdtempSync(path.join(tmpdir(), `velkaron-${BROWSER}-`));
  const env = {
    ...process.env,
    HOME: path.join(dir, "home"),
    XDG_CONFIG_HOME: path.join(dir, "config"),
    XDG_DATA_HOME: path.join(dir, "data"),
  };
  const vaultPath = vault ?? path.join(dir, "tresor.json");
  const downloads = path.join(dir, "downloads");
  mkdirSync(downloads);
  const downloadBehavior = { policy: "allow", downloadPath: downloads };
  const launched =
    BROWSER === "firefox"
      ? await launchFirefox(env, vaultPath, downloadBehavior, prefs)
      : await launchChromium(dir, env, vaultPath, downloadBehavior, extension);
  const { browser, base } = launched;
  let closed = false;
  const session = {
    browser,
    vaultPath,
    configHome: env.XDG_CONFIG_HOME,
    // Where the browser saves downloads.
    downloads,
    // What the browser is to start velkaron-native with, after the program's path.
    hostArguments: launched.hostArguments,
    extensionUrl: (file) => base + file,
    // Runs `fn(background)` in the background's global (the service worker's `self`, or the
    // event page's window); `fn` travels as source, so it sees nothing of the test's scope
    // but the JSON `arg` it is given.
    inBackground: (fn, arg) =>
      launched.evaluateInBackground(`(background) => (${fn})(background, ${JSON.stringify(arg)})`),
    // Firefox only: see launchFirefox.
    watchBackground: launched.watchBackground,
    watchedBackgroundStopped: launched.watchedBackgroundStopped,
    waitForWatchedBackgroundStop: launched.waitForWatchedBackgroundStop,
    async newPage(url) {
      const page = await browser.newPage();
      if (url) await page.goto(url);
      return page;
    },
    // A page of the extension (`file` under extension/) in a new tab.
    async openExtensionPage(file) {
      const page = await browser.newPage();
      await launched.openPage(page, base + file);
      return page;
    },
    // The popup page, opened as a tab that acts on `targetTabId`.
    async openPopup(targetTabId) {
      const query = targetTabId === undefined ? "" : `?tab=${targetTabId}`;
      const page = await session.openExtensionPage(`popup/popup.html${query}`);
      await page.waitForSelector("#state[data-state]");
      return page;
    },
    // The browser's tab id of a page.
    async tabIdOf(page) {
      const id = await session.inBackground(async (background, url) => {
        const tabs = await background.chrome.tabs.query({});
        return tabs.find((tab) => tab.url === url)?.id ?? null;
      }, page.url());
      if (id === null) throw new Error(`no tab shows ${page.url()}`);
      return id;
    },
    // What the clipboard holds, read by `page` (of `origin`).
    async readClipboard(page, origin) {
      await launched.allowClipboardRead(origin);
      await page.bringToFront(); // Chromium reads it only for the focused document
      return page.evaluate(() => navigator.clipboard.readText());
    },
    async close() {
      if (closed) return;
      closed = true;
      await browser.close();
    },
  };
  t.after(async () => {
    await session.close();
    rmSync(dir, { recursive: true, force: true });
  });
  return session;
}

// Waits until an element matching `selector` has text matching `pattern` (a RegExp).
export function waitForText(page, selector, pattern) {
  return page.waitForFunction(
    (sel, source, flags) =>
      [...document.querySelectorAll(sel)].some((element) =>
        new RegExp(source, flags).test(element.textContent),
      ),
    POLLING,
    selector,
    pattern.source,
    pattern.flags,
  );
}

// Clicks the button whose text is `label` inside the element matching `scope`.
export async function clickButton(page, scope, label) {
  await page.waitForFunction(
    (sel, text) =>
      [...document.querySelectorAll(`${sel} button`)].some((b) => b.textContent === text),
    POLLING,
    scope,
    label,
  );
  const handle = await page.evaluateHandle(
    (sel, text) =>
      [...document.querySelectorAll(`${sel} button`)].find((b) => b.textContent === text),
    scope,
    label,
  );
  await toFront(page);
  await handle.asElement().click();
}

// The values of the login page's fields (site/login.html), in the page or in one of its frames.
export function loginFields(pageOrFrame) {
  return pageOrFrame.$$eval("input", (inputs) =>
    Object.fromEntries(inputs.map((input) => [input.id, input.value])),
  );
}

export const EMPTY_LOGIN_PAGE = {
  username: "",
  password: "",
  "decoy-hidden": "",
  "decoy-invisible": "",
  "decoy-transparent": "",
  "decoy-offscreen": "",
  "decoy-tiny": "",
};

// Runs the keyboard command's handler for a tab, as the browser would on the key press (a test
// hook, docs/browser.md#test-hooks); resolves with the fill's result.
export function pressFillCommand(session, tabId) {
  return session.inBackground(
    async (background, id) =>
      background.velkaron.onCommand("fill-login", await background.chrome.tabs.get(id)),
    tabId,
  );
}

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

// The site's login page in a new tab, and a popup acting on it: `shared` gains `site`,
// `siteTab` and `popup`.
export async function openSite(shared) {
  const { session, sites } = shared;
  const site = await session.newPage(`${sites.https}/login.html`);
  const siteTab = await session.tabIdOf(site);
  Object.assign(shared, { site, siteTab, popup: await session.openPopup(siteTab) });
}

// For the tests of one file: one browser, on a vault made with `logins` (without them, on no
// vault yet), and unless `site` is false, openSite's pages, the popup unlocked when asked.
// The object is filled in before the first test.
export function sharedSession({ logins, unlocked = false, site = true, prefs } = {}) {
  const scope = sharedScope();
  const shared = {};
  before(async () => {
    const sites = await startSites(scope);
    const vault = logins ? await makeVault(scope, logins) : {};
    const session = await launchExtension(scope, { vault: vault.vaultPath, prefs });
    Object.assign(shared, vault, { session, sites });
    if (site) await openSite(shared);
    if (unlocked) await unlock(shared.popup);
  });
  after(() => scope.close());
  return shared;
}

// Puppeteer's clicks and typing wait for the page to render, which a tab behind another does
// not: the page (or the frame's page) comes to the front first, as for a person.
const toFront = (scope) => (scope.mainFrame ? scope : scope.page()).bringToFront();

// Clicks `selector` in a page or frame as a person would.
export async function click(scope, selector, options) {
  await toFront(scope);
  await scope.click(selector, options);
}

// Types `text` into the field `selector` of a page or frame as a person would: the browser
// reports it as trusted input of the kind insertText.
export async function typeInto(scope, selector, text) {
  await toFront(scope);
  await scope.locator(selector).fill(text);
}

// Waits until the element `selector` is hidden (or shown) by its `hidden` attribute.
export const waitForHidden = (page, selector, hidden = true) =>
  page.waitForFunction(
    (sel, wanted) => document.querySelector(sel)?.hidden === wanted,
    POLLING,
    selector,
    hidden,
  );

export const valueOf = (scope, selector) => scope.$eval(selector, (field) => field.value);

// The document of the frame element `#id` in a page or frame, once it holds `ready`.
export async function frameOf(scope, id, ready = "#password") {
  const frame = await (await scope.waitForSelector(`#${id}`)).contentFrame();
  await frame.waitForSelector(ready);
  return frame;
}

// Loads the page anew and waits for the new document (an extension page's load is not
// reported in Firefox).
export async function reload(page) {
  await page.evaluate(() => {
    window.replaced = true;
    setTimeout(() => location.reload());
  });
  await page.waitForFunction(() => !window.replaced && document.readyState === "complete", POLLING);
}

// Waits until the page's address matches `pattern`, across navigations.
export const waitForUrl = (page, pattern) =>
  page.waitForFunction((source) => new RegExp(source).test(location.href), POLLING, pattern.source);

export const waitForState = (popup, state) =>
  popup.waitForSelector(`#state[data-state="${state}"]`);

// Unlocks through the popup's form, unless the vault is unlocked already.
export async function unlock(popup, password = MASTER) {
  await popup.waitForSelector("#state[data-state]");
  if ((await popup.$eval("#state", (state) => state.dataset.state)) === "unlocked") return;
  await typeInto(popup, "#unlock-form [name=password]", password);
  await click(popup, "#unlock-form button[type=submit]");
  await waitForState(popup, "unlocked");
}

// One request to the host as the extension's pages send it; resolves with the answer.
export const ask = (page, op, members = {}) =>
  page.evaluate(
    (operation, fields) =>
      chrome.runtime.sendMessage({ type: "velkaron:request", op: operation, members: fields }),
    op,
    members,
  );

// What the extension's button shows for a tab: [badge text, title].
export const buttonOf = (session, tabId) =>
  session.inBackground(
    async (background, id) => [
      await background.chrome.action.getBadgeText({ tabId: id }),
      await background.chrome.action.getTitle({ tabId: id }),
    ],
    tabId,
  );

// Waits until the button of the tab shows `text` (condition polled in the background).
export const waitForButton = (session, tabId, text) =>
  session.inBackground(
    async (background, [id, wanted]) => {
      while ((await background.chrome.action.getBadgeText({ tabId: id })) !== wanted) {
        await new Promise((resolve) => setTimeout(resolve, 20));
      }
    },
    [tabId, text],
  );

// How many reports of a sent form the background has looked at (a test hook,
// docs/browser.md#test-hooks), and a wait until it has looked at `count` in all.
export const sendingsHandled = (session) =>
  session.inBackground((background) => background.velkaron.sendingsHandled());
export const waitForSendings = (session, count) =>
  session.inBackground(async (background, wanted) => {
    while (background.velkaron.sendingsHandled() < wanted) {
      await new Promise((resolve) => setTimeout(resolve, 20));
    }
  }, count);

// Chromium only: Firefox offers no protocol to reach a content script's world.
export const CHROMIUM_ONLY =
  BROWSER !== "chromium" && "only Chromium's DevTools protocol reaches a content script's world";

// Runs `expression` (the source of an async function of no arguments) in the isolated world
// of the extension's content scripts in the page's top frame, through the DevTools protocol,
// as a content script would run it; resolves with its result.
export async function inContentScript(page, expression) {
  const cdp = await page.createCDPSession();
  try {
    const contexts = [];
    cdp.on("Runtime.executionContextCreated", ({ context }) => contexts.push(context));
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
