// A user's road through the extension, in the browser VELKARON_BROWSER names, against the real
// velkaron-native: create a vault, save a login, copy it, fill it, lock and unlock.
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { test } from "node:test";
import {
  BROWSER,
  EMPTY_LOGIN_PAGE,
  clickButton,
  launchExtension,
  loginFields,
  pressFillCommand,
  waitForText,
} from "./browsers.mjs";
import { binary, nativeHostPids, startSites } from "./harness.mjs";

const MASTER = "korrekt-pferd-batterie";
const USERNAME = "erika@example.org";
const CLEAR_ALARM = "velkaron:clear-clipboard";
// Firefox stops an event page idle for this long; short, so that the whole road runs under it.
const IDLE_MS = 1500;
const FIREFOX_ONLY =
  BROWSER !== "firefox" &&
  "Firefox stops idle event pages; Chromium's service worker has no idle time to shorten";

async function typeInto(page, selector, text) {
  await page.locator(selector).fill(text);
}

async function waitForState(popup, state) {
  await popup.waitForSelector(`#state[data-state="${state}"]`);
}

test(`the extension in ${BROWSER}`, async (t) => {
  const sites = await startSites(t);
  const session = await launchExtension(t, {
    prefs: { "extensions.background.idle.timeout": IDLE_MS },
  });
  let stopAfterMs; // how long an idle event page ran before Firefox stopped it

  await t.test(
    "without a port to the host, an idle event page is stopped",
    { skip: FIREFOX_ONLY },
    async () => {
      await session.watchBackground();
      const started = Date.now();
      await session.waitForWatchedBackgroundStop();
      stopAfterMs = Date.now() - started;
      t.diagnostic(`Firefox stopped the idle event page after ${stopAfterMs} ms`);
    },
  );

  const site = await session.newPage(`${sites.https}/login.html`);
  const siteTab = await session.tabIdOf(site);
  const popup = await session.openPopup(siteTab);
  let password;

  await t.test("creating a vault shows the recovery code, then the unlocked vault", async () => {
    await waitForState(popup, "none");
    await typeInto(popup, "#create-form [name=password]", MASTER);
    await typeInto(popup, "#create-form [name=repeat]", MASTER);
    await popup.click("#create-form button[type=submit]");
    await waitForText(popup, "#recovery-code", /^[A-HJ-NP-Z2-9]{4}(-[A-HJ-NP-Z2-9]{4}){4}$/);
    await popup.click("#recovery-done");
    await waitForState(popup, "unlocked");
    await waitForText(popup, "#state", /^Tresor entsperrt · 0 Anmeldungen$/);
  });

  await t.test("a login for the page's host is saved with a generated password", async () => {
    await waitForText(popup, "#site-reason", /^Keine gespeicherte Anmeldung für localhost\.$/);
    await typeInto(popup, "#editor-form [name=username]", USERNAME);
    await popup.click("#generate");
    await popup.waitForSelector('#editor-form [name=password][type="text"]');
    password = await popup.$eval("#editor-form [name=password]", (field) => field.value);
    assert.equal(password.length, 20);
    await popup.click("#editor-form button[type=submit]");
    await waitForText(popup, "#site-logins li", new RegExp(USERNAME));
    await waitForText(popup, "#state", /^Tresor entsperrt · 1 Anmeldung$/);
  });

  await t.test("a copied password is cleared by an alarm 30 seconds later", async () => {
    await clickButton(popup, "#list-rows li", "Kopieren");
    await waitForText(popup, "#notice", /in 30 Sekunden geleert/);
    assert.equal(await session.readClipboard(site, sites.https), password);
    const alarm = await session.inBackground(
      (background, name) => background.chrome.alarms.get(name),
      CLEAR_ALARM,
    );
    const due = alarm.scheduledTime - Date.now();
    assert.ok(due > 25_000 && due <= 30_000, `the clipboard is cleared in ${due} ms`);
    // What the alarm runs, without waiting half a minute.
    await session.inBackground((background) => background.velkaron.clearClipboard());
    assert.equal(await session.readClipboard(site, sites.https), "");
    assert.equal(
      await session.inBackground(
        async (background, name) => (await background.chrome.alarms.get(name)) ?? null,
        CLEAR_ALARM,
      ),
      null,
    );
    await popup.bringToFront(); // reading the clipboard put the page in front
  });

  await t.test("the popup's fill puts exactly the stored login into the page", async () => {
    await clickButton(popup, "#site-logins li", "Einfüllen");
    await waitForText(popup, "#notice", /^Eingefüllt\.$/);
    assert.deepEqual(await loginFields(site), {
      ...EMPTY_LOGIN_PAGE,
      username: USERNAME,
      password,
    });
    assert.deepEqual(await site.evaluate(() => window.seen), {
      input: ["username", "password"],
      change: ["username", "password"],
    });
  });

  await t.test("lock, a wrong password, unlock", async () => {
    await popup.click("#lock");
    await waitForState(popup, "locked");
    await typeInto(popup, "#unlock-form [name=password]", "falsches-passwort");
    await popup.click("#unlock-form button[type=submit]");
    await waitForText(popup, "#notice", /Falsches Master-Passwort/);
    await typeInto(popup, "#unlock-form [name=password]", MASTER);
    await popup.click("#unlock-form button[type=submit]");
    await waitForState(popup, "unlocked");
  });

  await t.test(
    "while the port to the host is open, the event page and the unlocked vault stay",
    { skip: FIREFOX_ONLY },
    async () => {
      await waitForState(popup, "unlocked");
      const [host] = nativeHostPids(binary("VELKARON_NATIVE"), session.configHome);
      await session.watchBackground();
      // Three times as long as an idle page lived above: nothing happening is what is checked.
      const until = Date.now() + 3 * Math.max(stopAfterMs, IDLE_MS);
      while (Date.now() < until) {
        assert.equal(await session.watchedBackgroundStopped(), false);
        await new Promise((resolve) => setTimeout(resolve, 100));
      }
      assert.deepEqual(nativeHostPids(binary("VELKARON_NATIVE"), session.configHome), [host]);
      const again = await session.openPopup(siteTab);
      await waitForState(again, "unlocked");
      await again.close();
    },
  );

  await t.test("the system's idle report locks the vault; then nothing is filled", async () => {
    await session.inBackground((background) => background.velkaron.onIdleStateChanged("idle"));
    await waitForState(popup, "locked");
    // Not a reload: Firefox would put back what the fields held.
    await site.goto(`${sites.https}/login.html`);
    assert.equal((await pressFillCommand(session, siteTab)).filled, false);
    assert.deepEqual(await loginFields(site), EMPTY_LOGIN_PAGE);
  });

  await t.test("one host process served it all, started with the browser's arguments", () => {
    const pids = nativeHostPids(binary("VELKARON_NATIVE"), session.configHome);
    assert.equal(pids.length, 1);
    const argv = readFileSync(`/proc/${pids[0]}/cmdline`, "utf8").split("\0").slice(1, -1);
    assert.deepEqual(argv, session.hostArguments);
  });
});
