// A user's road through the extension, in the browser VELKARON_BROWSER names, against the real
// velkaron-native: create a vault, save a login, copy it, fill it, lock and unlock, recover
// with the code to a new master password.
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { test } from "node:test";
import {
  BROWSER,
  click,
  clickButton,
  EMPTY_LOGIN_PAGE,
  loginFields,
  openSite,
  pressFillCommand,
  sharedSession,
  typeInto,
  unlock,
  valueOf,
  waitForState,
  waitForText,
} from "./browsers.mjs";
import { binary, MASTER, nativeHostPids } from "./fixtures.mjs";

const USERNAME = "erika@example.org";
const CLEAR_ALARM = "velkaron:clear-clipboard";
// Firefox stops an event page idle for this long; short, so that the whole road runs under it.
const IDLE_MS = 1500;
const FIREFOX_ONLY =
  BROWSER !== "firefox" &&
  "Firefox stops idle event pages; Chromium's service worker has no idle time to shorten";

// On no vault yet, and no page: a popup would open the port to the host.
const shared = sharedSession({
  site: false,
  prefs: { "extensions.background.idle.timeout": IDLE_MS },
});
let stopAfterMs; // how long an idle event page ran before Firefox stopped it
let recoveryCode;
let password;

test(
  "without a port to the host, an idle event page is stopped",
  { skip: FIREFOX_ONLY },
  async (t) => {
    const { session } = shared;
    await session.watchBackground();
    const started = Date.now();
    await session.waitForWatchedBackgroundStop();
    stopAfterMs = Date.now() - started;
    t.diagnostic(`Firefox stopped the idle event page after ${stopAfterMs} ms`);
  },
);

test("creating a vault shows the recovery code once, then the unlocked vault", async () => {
  await openSite(shared);
  const { popup, session, site, sites } = shared;
  await waitForText(popup, "#state", /^Noch kein Tresor angelegt$/);
  await typeInto(popup, "#create-form [name=password]", MASTER);
  await typeInto(popup, "#create-form [name=repeat]", MASTER + "x");
  await click(popup, "#create-form button[type=submit]");
  await waitForText(popup, "#notice", /stimmen nicht überein/);
  await typeInto(popup, "#create-form [name=password]", MASTER);
  await typeInto(popup, "#create-form [name=repeat]", MASTER);
  await click(popup, "#create-form button[type=submit]");
  await waitForText(popup, "#recovery-code", /^[A-HJ-NP-Z2-9]{4}(-[A-HJ-NP-Z2-9]{4}){4}$/);
  recoveryCode = await popup.$eval("#recovery-code", (code) => code.textContent);
  await waitForText(popup, "#recovery-view .warning", /nur dieses eine Mal/);
  await click(popup, "#copy-recovery");
  await waitForText(popup, "#notice", /^Code kopiert/);
  assert.equal(await session.readClipboard(site, sites.https), recoveryCode);
  await popup.bringToFront(); // reading the clipboard put the page in front
  await click(popup, "#recovery-done");
  await waitForState(popup, "unlocked");
  assert.equal(await popup.$eval("#recovery-code", (code) => code.textContent), "");
  await waitForText(popup, "#state", /^Tresor entsperrt · 0 Anmeldungen$/);
});

test("a login for the page's host is saved with a generated password", async () => {
  const { popup } = shared;
  await waitForText(popup, "#site-reason", /^Keine gespeicherte Anmeldung für localhost\.$/);
  assert.equal(await valueOf(popup, "#editor-form [name=host]"), "localhost");
  await typeInto(popup, "#editor-form [name=title]", "Testseite");
  await typeInto(popup, "#editor-form [name=username]", USERNAME);
  await click(popup, "#generate");
  await popup.waitForSelector('#editor-form [name=password][type="text"]');
  password = await valueOf(popup, "#editor-form [name=password]");
  assert.equal(password.length, 20);
  await click(popup, "#editor-form button[type=submit]");
  await waitForText(popup, "#site-logins li", new RegExp(`^Testseite – ${USERNAME}`));
  await waitForText(popup, "#state", /^Tresor entsperrt · 1 Anmeldung$/);
  await waitForText(popup, "#list-count", /^1$/);
});

test("a copied password is cleared by an alarm 30 seconds later", async () => {
  const { popup, session, site, sites } = shared;
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
  await popup.bringToFront();
});

test("the popup's fill puts exactly the stored login into the page", async () => {
  const { popup, site } = shared;
  await clickButton(popup, "#site-logins li", "Einfüllen");
  await waitForText(popup, "#notice", /^Eingefüllt\.$/);
  assert.deepEqual(await loginFields(site), { ...EMPTY_LOGIN_PAGE, username: USERNAME, password });
  // The page's own scripts saw the values arrive as if typed, both set before either event.
  assert.deepEqual(await site.evaluate(() => window.seen), {
    input: ["username", "password"],
    change: ["username", "password"],
  });
});

test("lock, a wrong password, unlock", async () => {
  const { popup } = shared;
  await click(popup, "#lock");
  await waitForState(popup, "locked");
  await waitForText(popup, "#site-reason", /gesperrt/);
  assert.equal((await popup.$$("#list-rows li")).length, 0);
  await typeInto(popup, "#unlock-form [name=password]", "falsches-passwort");
  await click(popup, "#unlock-form button[type=submit]");
  await waitForText(popup, "#notice", /Falsches Master-Passwort/);
  await unlock(popup);
});

test(
  "while the port to the host is open, the event page and the unlocked vault stay",
  { skip: FIREFOX_ONLY },
  async () => {
    const { popup, session, siteTab } = shared;
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

test("the recovery code unlocks and ends in a new master password, which then unlocks", async () => {
  const { popup } = shared;
  await click(popup, "#lock");
  await waitForState(popup, "locked");
  await click(popup, "#unlock-view summary");
  await typeInto(popup, "#recovery-form [name=code]", recoveryCode.toLowerCase());
  await click(popup, "#recovery-form button[type=submit]");
  await waitForText(popup, "#notice", /^Mit dem Wiederherstellungscode entsperrt\./);
  await typeInto(popup, "#reset-form [name=new_password]", "ganz-neues-passwort");
  await typeInto(popup, "#reset-form [name=repeat]", "ganz-anderes-passwort");
  await click(popup, "#reset-form button[type=submit]");
  await waitForText(popup, "#notice", /^Die beiden Passwörter stimmen nicht überein$/);
  await typeInto(popup, "#reset-form [name=new_password]", "ganz-neues-passwort");
  await typeInto(popup, "#reset-form [name=repeat]", "ganz-neues-passwort");
  await click(popup, "#reset-form button[type=submit]");
  await waitForText(popup, "#notice", /^Neues Master-Passwort gesetzt\.$/);
  await waitForState(popup, "unlocked");
  await click(popup, "#lock");
  await waitForState(popup, "locked");
  await typeInto(popup, "#unlock-form [name=password]", MASTER);
  await click(popup, "#unlock-form button[type=submit]");
  await waitForText(popup, "#notice", /Falsches Master-Passwort/);
  await unlock(popup, "ganz-neues-passwort");
});

test("the system's idle report locks the vault; then nothing is filled", async () => {
  const { popup, session, site, sites, siteTab } = shared;
  await session.inBackground((background) => background.velkaron.onIdleStateChanged("idle"));
  await waitForState(popup, "locked");
  // Not a reload: Firefox would put back what the fields held.
  await site.goto(`${sites.https}/login.html`);
  assert.deepEqual(await pressFillCommand(session, siteTab), {
    filled: false,
    reason: "locked",
    host: "localhost",
  });
  assert.deepEqual(await loginFields(site), EMPTY_LOGIN_PAGE);
});

test("one host process served it all, started with the browser's arguments", () => {
  const { session } = shared;
  const pids = nativeHostPids(binary("VELKARON_NATIVE"), session.configHome);
  assert.equal(pids.length, 1);
  const argv = readFileSync(`/proc/${pids[0]}/cmdline`, "utf8").split("\0").slice(1, -1);
  assert.deepEqual(argv, session.hostArguments);
});
