// The extension and velkaron-native in a real headless Chromium or Firefox, driven by
// puppeteer-core (CDP for Chromium, WebDriver BiDi for Firefox), so that a test is written
// once and runs in both. The browser comes from VELKARON_BROWSER ("chromium", the default, or
// "firefox"), which ctest sets per entry.
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import path from "node:path";
import puppeteer from "puppeteer-core";
import { EXTENSION_DIR, EXTENSION_ID, registerHost } from "./harness.mjs";

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

async function launchChromium(dir, env, vaultPath) {
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
    ignoreDefaultArgs: ["--disable-extensions"],
    args: [
      ...(process.getuid() === 0 ? ["--no-sandbox"] : []),
      `--disable-extensions-except=${EXTENSION_DIR}`,
      `--load-extension=${EXTENSION_DIR}`,
      "--disable-gpu",
      "--disable-quic",
    ],
  });
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

async function launchFirefox(dir, env, vaultPath, prefs) {
  // Where Firefox looks first: ~/.mozilla/native-messaging-hosts/, under a HOME of the test's.
  registerHost(["--browser", "firefox"], vaultPath, env);
  const browser = await puppeteer.launch({
    browser: "firefox",
    executablePath: EXECUTABLES.firefox,
    headless: true,
    acceptInsecureCerts: true,
    // WebDriver navigates to an extension's pages only when allowed to reach privileged ones.
    env: { ...env, MOZ_REMOTE_ALLOW_SYSTEM_ACCESS: "1" },
    extraPrefsFirefox: {
      "extensions.webextensions.uuids": JSON.stringify({ [GECKO_ID]: FIREFOX_EXTENSION_UUID }),
      // A page may read the clipboard without a paste prompt, as the tests need.
      "dom.events.testing.asyncClipboard": true,
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
// velkaron-native registered for a temporary vault (or `vault`). `prefs` are Firefox's.
export async function launchExtension(t, { vault, prefs = {} } = {}) {
  const dir = mkdtempSync(path.join(tmpdir(), `velkaron-${BROWSER}-`));
  const env = {
    ...process.env,
    HOME: path.join(dir, "home"),
    XDG_CONFIG_HOME: path.join(dir, "config"),
    XDG_DATA_HOME: path.join(dir, "data"),
  };
  const vaultPath = vault ?? path.join(dir, "tresor.json");
  const launched =
    BROWSER === "firefox"
      ? await launchFirefox(dir, env, vaultPath, prefs)
      : await launchChromium(dir, env, vaultPath);
  const { browser, base } = launched;
  let closed = false;
  const session = {
    browser,
    vaultPath,
    configHome: env.XDG_CONFIG_HOME,
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
    // The popup page, opened as a tab that acts on `targetTabId`.
    async openPopup(targetTabId) {
      const page = await browser.newPage();
      const query = targetTabId === undefined ? "" : `?tab=${targetTabId}`;
      await launched.openPage(page, `${base}popup/popup.html${query}`);
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

// Runs the keyboard command's handler for a tab, as the browser would on the key press.
export function pressFillCommand(session, tabId) {
  return session.inBackground(
    async (background, id) =>
      background.velkaron.onCommand("fill-login", await background.chrome.tabs.get(id)),
    tabId,
  );
}
