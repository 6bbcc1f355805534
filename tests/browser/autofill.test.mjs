// The popup's list and the vault's life around the fill, in the browser VELKARON_BROWSER names,
// against the real velkaron-native: logins edited and deleted, the master password changed, and
// the locks the browser causes (idle, screen lock, last window, a host that has gone, closing).
import assert from "node:assert/strict";
import { test } from "node:test";
import {
  BROWSER,
  click,
  clickButton,
  sharedSession,
  typeInto,
  unlock,
  valueOf,
  waitForState,
  waitForText,
} from "./browsers.mjs";
import { askLineHost, binary, isRunning, MASTER, nativeHostPids } from "./fixtures.mjs";

const LOGIN = {
  host: "localhost",
  title: "Testseite",
  username: "erika@example.org",
  password: "Pferd-Batterie-42",
};
const NEW_MASTER = "ganz-neues-passwort";

const shared = sharedSession({ logins: [LOGIN], unlocked: true });
const hostPids = () => nativeHostPids(binary("VELKARON_NATIVE"), shared.session.configHome);

test("another login is edited and deleted; the list follows", async () => {
  const { popup } = shared;
  await typeInto(popup, "#editor-form [name=host]", "konto.example.org");
  await typeInto(popup, "#editor-form [name=username]", "erika");
  await typeInto(popup, "#editor-form [name=password]", "altes-passwort");
  await click(popup, "#editor-form button[type=submit]");
  await waitForText(popup, "#list-count", /^2$/);
  await clickButton(popup, "#list-rows li:first-child", "Bearbeiten");
  await waitForText(popup, "#editor-heading", /^Anmeldung bearbeiten$/);
  assert.equal(await valueOf(popup, "#editor-form [name=password]"), "altes-passwort");
  await typeInto(popup, "#editor-form [name=username]", "erika.m");
  await typeInto(popup, "#editor-form [name=password]", "neues-passwort");
  await click(popup, "#editor-form button[type=submit]");
  await waitForText(popup, "#notice", /^Anmeldung geändert\.$/);
  // Changed in place: still two logins, the edited one under its new user name.
  await waitForText(popup, "#list-rows li:first-child", /erika\.m · konto\.example\.org/);
  assert.equal(await popup.$eval("#list-count", (count) => count.textContent), "2");
  await clickButton(popup, "#list-rows li:first-child", "Anzeigen");
  await waitForText(popup, "#list-rows li:first-child code", /^neues-passwort$/);

  await clickButton(popup, "#list-rows li:first-child", "Löschen");
  await clickButton(popup, "#list-rows li:first-child", "Wirklich löschen?");
  await waitForText(popup, "#notice", /^Anmeldung gelöscht\.$/);
  await waitForText(popup, "#list-count", /^1$/);
  assert.equal((await popup.$$("#list-rows li")).length, 1);
});

test("the browser's idle or locked report locks the vault", async () => {
  const { popup, session } = shared;
  for (const state of ["idle", "locked"]) {
    await unlock(popup);
    await session.inBackground((background) => background.velkaron.onIdleStateChanged("active"));
    await session.inBackground(
      (background, reported) => background.velkaron.onIdleStateChanged(reported),
      state,
    );
    await waitForState(popup, "locked");
  }
  await unlock(popup);
});

test("a host that has gone is replaced, and the popup shows the vault locked", async () => {
  const { popup } = shared;
  const [pid] = hostPids();
  process.kill(pid, "SIGKILL");
  await waitForState(popup, "locked");
  const [replacement] = hostPids();
  assert.notEqual(replacement, pid);
  await unlock(popup);
});

test(
  "closing the last window locks the vault",
  // Firefox quits with its last window.
  { skip: BROWSER === "firefox" && "Firefox quits with its last window" },
  async () => {
    const { session } = shared;
    for (const page of await session.browser.pages()) await page.close();
    // The browser runs the handler by itself; running it once more here, after the last window
    // has gone, orders its lock before the next popup's first request.
    await session.inBackground(async (background) => {
      while ((await background.chrome.windows.getAll()).length > 0)
        await new Promise((resolve) => setTimeout(resolve));
      await background.velkaron.onWindowRemoved();
    });
    shared.popup = await session.openPopup();
    await waitForState(shared.popup, "locked");
    await unlock(shared.popup);
  },
);

test("the master password changes; the old one no longer unlocks", async () => {
  const { popup } = shared;
  await click(popup, "#account-view summary");
  await typeInto(popup, "#change-form [name=password]", MASTER);
  await typeInto(popup, "#change-form [name=new_password]", NEW_MASTER);
  await typeInto(popup, "#change-form [name=repeat]", NEW_MASTER);
  await click(popup, "#change-form button[type=submit]");
  await waitForText(popup, "#notice", /^Master-Passwort geändert\.$/);
  await click(popup, "#lock");
  await waitForState(popup, "locked");
  await typeInto(popup, "#unlock-form [name=password]", MASTER);
  await click(popup, "#unlock-form button[type=submit]");
  await waitForText(popup, "#notice", /Falsches Master-Passwort/);
  await unlock(popup, NEW_MASTER);
});

test("closing the browser ends the host by itself and leaves the vault intact", async (t) => {
  const pids = hostPids();
  assert.equal(pids.length, 1, "one host process while the browser runs");
  const started = Date.now();
  await shared.session.close();
  // Chromium kills a host that has not ended about two seconds after closing its port.
  while (isRunning(pids[0])) {
    assert.ok(Date.now() - started < 1500, "the host ended within 1.5 s of closing the browser");
    await new Promise((resolve) => setImmediate(resolve));
  }
  t.diagnostic(`host ended ${Date.now() - started} ms after the browser was told to close`);

  const { status, responses } = await askLineHost(shared.vaultPath, [
    { id: 1, op: "unlock", password: NEW_MASTER },
    { id: 2, op: "for-host", host: "localhost", secure: true },
  ]);
  assert.equal(status, 0);
  assert.deepEqual(responses, [
    { id: 1, ok: true, data: { entries: 1, unlocked: true } },
    { id: 2, ok: true, data: [{ ...LOGIN, id: responses[1].data[0].id }] },
  ]);
});
