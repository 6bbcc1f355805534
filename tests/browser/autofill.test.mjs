// A user's road through the extension in a real headless Chromium, against the real
// velkaron-native: create a vault, save a login, lock, unlock, fill it into an HTTPS page;
// and every place where a fill must not happen. Each test sets up what it needs, so that one
// failure does not hide the others; most share one browser on a vault made beforehand.
import assert from "node:assert/strict";
import { test } from "node:test";
import {
  askLineHost,
  binary,
  isRunning,
  launchBrowser,
  makeVault,
  MASTER,
  nativeHostPids,
  openPopup,
  pressFillCommand,
  sharedSite,
  startSites,
  tabIdOf,
  unlock,
  waitForState,
} from "./harness.mjs";

const USERNAME = "erika@example.org";
const PASSWORD = "Pferd-Batterie-42";
const LOGIN = { host: "localhost", title: "Testseite", username: USERNAME, password: PASSWORD };

// What the page's fields hold, in the top frame or in the iframe with the given id.
async function fields(page, frameId) {
  const scope = frameId ? page.frameLocator(`#${frameId}`) : page;
  const values = {};
  for (const id of [
    "username",
    "password",
    "decoy-hidden",
    "decoy-invisible",
    "decoy-transparent",
    "decoy-offscreen",
    "decoy-tiny",
  ]) {
    const field = scope.locator(`#${id}`);
    if ((await field.count()) > 0) values[id] = await field.inputValue();
  }
  return values;
}

const EMPTY_LOGIN_PAGE = {
  username: "",
  password: "",
  "decoy-hidden": "",
  "decoy-invisible": "",
  "decoy-transparent": "",
  "decoy-offscreen": "",
  "decoy-tiny": "",
};
const FILLED_LOGIN_PAGE = { ...EMPTY_LOGIN_PAGE, username: USERNAME, password: PASSWORD };

// One browser on a vault holding LOGIN, with a tab for the site and a popup acting on it.
const shared = sharedSite([LOGIN]);

// The shared popup, unlocked, and the site tab showing `page`.
async function unlockedOn(page) {
  await unlock(shared.popup);
  await shared.site.goto(`${shared.sites.https}/${page}`);
  return shared;
}

test("creating a vault shows the recovery code once; the first login is saved", async (t) => {
  const sites = await startSites(t);
  const { context } = await launchBrowser(t);
  const site = await context.newPage();
  await site.goto(`${sites.https}/login.html`);
  const popup = await openPopup(context, await tabIdOf(context.serviceWorkers()[0], site));
  await context.grantPermissions(["clipboard-read", "clipboard-write"], { origin: sites.https });

  assert.equal(await popup.locator("#state").textContent(), "Noch kein Tresor angelegt");
  await popup.fill("#create-form [name=password]", MASTER);
  await popup.fill("#create-form [name=repeat]", MASTER + "x");
  await popup.click("#create-form button[type=submit]");
  await popup.locator("#notice", { hasText: "stimmen nicht überein" }).waitFor();

  await popup.fill("#create-form [name=password]", MASTER);
  await popup.fill("#create-form [name=repeat]", MASTER);
  await popup.click("#create-form button[type=submit]");
  const code = popup.locator("#recovery-code");
  await code.waitFor();
  const recoveryCode = await code.textContent();
  assert.match(recoveryCode, /^[A-HJ-NP-Z2-9]{4}(-[A-HJ-NP-Z2-9]{4}){4}$/);
  assert.match(await popup.locator("#recovery-view .warning").textContent(), /nur dieses eine Mal/);
  await popup.click("#copy-recovery");
  await popup.locator("#notice", { hasText: "Code kopiert" }).waitFor();
  assert.equal(await site.evaluate(() => navigator.clipboard.readText()), recoveryCode);
  await popup.click("#recovery-done");
  await waitForState(popup, "unlocked");
  assert.equal(await code.textContent(), "");
  assert.equal(await popup.locator("#state").textContent(), "Tresor entsperrt · 0 Anmeldungen");

  await popup
    .locator("#site-reason", { hasText: /^Keine gespeicherte Anmeldung für localhost\.$/ })
    .waitFor();
  assert.equal(await popup.inputValue("#editor-form [name=host]"), "localhost");
  await popup.fill("#editor-form [name=title]", "Testseite");
  await popup.fill("#editor-form [name=username]", USERNAME);
  await popup.click("#generate");
  await popup.locator('#editor-form [name=password][type="text"]').waitFor();
  assert.equal((await popup.inputValue("#editor-form [name=password]")).length, 20);
  await popup.click("#editor-form button[type=submit]");
  await popup.locator("#site-logins li", { hasText: `Testseite – ${USERNAME}` }).waitFor();
  assert.equal(await popup.locator("#state").textContent(), "Tresor entsperrt · 1 Anmeldung");
  assert.equal(await popup.locator("#list-count").textContent(), "1");
});

test("a copied password stays on the clipboard until it is cleared", async () => {
  const { context, popup, site, sites, worker } = await unlockedOn("login.html");
  await context.grantPermissions(["clipboard-read", "clipboard-write"], { origin: sites.https });
  const clipboard = () => site.evaluate(() => navigator.clipboard.readText());
  const row = popup.locator("#list-rows li", { hasText: USERNAME });
  await row.getByRole("button", { name: "Kopieren" }).click();
  await popup.locator("#notice", { hasText: "in 30 Sekunden geleert" }).waitFor();
  assert.equal(await clipboard(), PASSWORD);
  await worker.evaluate(() => self.velkaron.clearClipboard());
  assert.equal(await clipboard(), "");
});

test("lock, a wrong password, unlock", async () => {
  const { popup } = await unlockedOn("login.html");
  await popup.click("#lock");
  await waitForState(popup, "locked");
  await popup.locator("#site-reason", { hasText: "gesperrt" }).waitFor();
  assert.equal(await popup.locator("#list-rows li").count(), 0);
  await popup.fill("#unlock-form [name=password]", "falsches-passwort");
  await popup.click("#unlock-form button[type=submit]");
  await popup.locator("#notice", { hasText: "Falsches Master-Passwort" }).waitFor();
  await unlock(popup);
  await popup.locator("#site-logins li", { hasText: USERNAME }).waitFor();
});

test("another login is edited and deleted; the list follows", async () => {
  const { popup } = await unlockedOn("login.html");
  await popup.fill("#editor-form [name=host]", "konto.example.org");
  await popup.fill("#editor-form [name=username]", "erika");
  await popup.fill("#editor-form [name=password]", "altes-passwort");
  await popup.click("#editor-form button[type=submit]");
  const row = popup.locator("#list-rows li", { hasText: "konto.example.org" });
  await row.getByRole("button", { name: "Bearbeiten" }).click();
  await popup.locator("#editor-heading", { hasText: "Anmeldung bearbeiten" }).waitFor();
  assert.equal(await popup.inputValue("#editor-form [name=password]"), "altes-passwort");
  await popup.fill("#editor-form [name=username]", "erika.m");
  await popup.fill("#editor-form [name=password]", "neues-passwort");
  await popup.click("#editor-form button[type=submit]");
  await popup.locator("#notice", { hasText: "Anmeldung geändert." }).waitFor();
  // Changed in place: still two logins, the edited one under its new user name.
  await row.filter({ hasText: "erika.m" }).waitFor();
  assert.equal(await popup.locator("#list-count").textContent(), "2");
  await row.getByRole("button", { name: "Anzeigen" }).click();
  await row.locator("code", { hasText: "neues-passwort" }).waitFor();

  await row.getByRole("button", { name: "Löschen" }).click();
  await row.getByRole("button", { name: "Wirklich löschen?" }).click();
  await popup.locator("#notice", { hasText: "Anmeldung gelöscht." }).waitFor();
  await popup.locator("#list-count", { hasText: /^1$/ }).waitFor();
  assert.equal(await row.count(), 0);
});

test("the master password changes; the recovery code still unlocks", async (t) => {
  const { vaultPath, recoveryCode } = await makeVault(t, [LOGIN]);
  const { context } = await launchBrowser(t, { vault: vaultPath });
  const popup = await openPopup(context);
  await unlock(popup);
  await popup.locator("#account-view summary", { hasText: "Master-Passwort ändern" }).click();
  await popup.fill("#change-form [name=password]", MASTER);
  await popup.fill("#change-form [name=new_password]", "ganz-neues-passwort");
  await popup.fill("#change-form [name=repeat]", "ganz-neues-passwort");
  await popup.click("#change-form button[type=submit]");
  await popup.locator("#notice", { hasText: "Master-Passwort geändert." }).waitFor();
  await popup.click("#lock");
  await waitForState(popup, "locked");
  await popup.locator("summary", { hasText: "Master-Passwort vergessen?" }).click();
  await popup.fill("#recovery-form [name=code]", recoveryCode.toLowerCase());
  await popup.click("#recovery-form button[type=submit]");
  await waitForState(popup, "unlocked");
  await popup.click("#lock");
  await waitForState(popup, "locked");
  await unlock(popup, "ganz-neues-passwort");
});

test("the popup's fill puts exactly the stored login into the HTTPS page", async () => {
  const { popup, site } = await unlockedOn("login.html");
  await popup.reload();
  await popup.locator("#site-logins li button").click();
  await popup.locator("#notice", { hasText: "Eingefüllt." }).waitFor();
  assert.deepEqual(await fields(site), FILLED_LOGIN_PAGE);
  // The page's own scripts saw the values arrive as if typed, both set before either event.
  assert.deepEqual(await site.evaluate(() => window.seen), {
    input: ["username", "password"],
    change: ["username", "password"],
  });
});

test("the keyboard command fills the first matching login", async () => {
  const { site, siteTab, worker } = await unlockedOn("login.html");
  assert.deepEqual(await fields(site), EMPTY_LOGIN_PAGE);
  assert.deepEqual(await pressFillCommand(worker, siteTab), { filled: true });
  assert.deepEqual(await fields(site), FILLED_LOGIN_PAGE);
});

test("fields added after load, outside a form, are found; a new-password field is not filled", async () => {
  const { site, siteTab, worker } = await unlockedOn("late.html");
  await site.locator("#password").waitFor();
  assert.deepEqual(await pressFillCommand(worker, siteTab), { filled: true });
  assert.equal(await site.inputValue("#username"), USERNAME);
  assert.equal(await site.inputValue("#password"), PASSWORD);
  assert.equal(await site.inputValue("#new-password"), "");
});

test("a page over http is not filled", async () => {
  const { context, site, sites, siteTab, worker } = await unlockedOn("login.html");
  await site.goto(`${sites.http}/login.html`);
  const plainPopup = await openPopup(context, siteTab);
  await plainPopup.locator("#site-reason", { hasText: "nicht über HTTPS" }).waitFor();
  assert.equal(await plainPopup.locator("#site-logins li").count(), 0);
  // Not even when the popup asks for the stored login by its id.
  const entryId = await plainPopup.evaluate(async () => {
    const answer = await chrome.runtime.sendMessage({
      type: "velkaron:request",
      op: "list",
      members: {},
    });
    return answer.data[0].id;
  });
  const refused = await plainPopup.evaluate(
    ([tabId, id]) => chrome.runtime.sendMessage({ type: "velkaron:fill", tabId, entryId: id }),
    [siteTab, entryId],
  );
  assert.deepEqual(refused, {
    ok: true,
    data: { filled: false, reason: "not-https", host: "localhost" },
  });
  assert.equal((await pressFillCommand(worker, siteTab)).reason, "not-https");
  assert.deepEqual(await fields(site), EMPTY_LOGIN_PAGE);
  await plainPopup.close();
});

test("only the same-origin frame is filled, not a cross-origin or a sandboxed one", async () => {
  const { site, siteTab, worker } = await unlockedOn("frames.html");
  for (const frame of ["same-origin", "cross-origin", "sandboxed"]) {
    await site.frameLocator(`#${frame}`).locator("#password").waitFor();
  }
  assert.deepEqual(await pressFillCommand(worker, siteTab), { filled: true });
  assert.deepEqual(await fields(site, "same-origin"), FILLED_LOGIN_PAGE);
  assert.deepEqual(await fields(site, "cross-origin"), EMPTY_LOGIN_PAGE);
  assert.deepEqual(await fields(site, "sandboxed"), EMPTY_LOGIN_PAGE);
});

test("after lock nothing is filled", async () => {
  const { popup, site, siteTab, worker } = await unlockedOn("login.html");
  await popup.click("#lock");
  await waitForState(popup, "locked");
  assert.equal((await pressFillCommand(worker, siteTab)).reason, "locked");
  assert.deepEqual(await fields(site), EMPTY_LOGIN_PAGE);
});

test("the browser's idle or locked report locks the vault", async () => {
  const { popup, worker } = shared;
  for (const state of ["idle", "locked"]) {
    await unlock(popup);
    await worker.evaluate(() => self.velkaron.onIdleStateChanged("active"));
    await popup.reload();
    await waitForState(popup, "unlocked");
    await worker.evaluate((reported) => self.velkaron.onIdleStateChanged(reported), state);
    await waitForState(popup, "locked");
  }
});

test("closing the last window locks the vault", async (t) => {
  const { vaultPath } = await makeVault(t, [LOGIN]);
  const { context } = await launchBrowser(t, { vault: vaultPath });
  await unlock(await openPopup(context));
  for (const page of context.pages()) await page.close();
  // The browser runs the handler by itself; running it once more here, after the last window
  // has gone, orders its lock before the next popup's first request.
  await context.serviceWorkers()[0].evaluate(async () => {
    while ((await chrome.windows.getAll()).length > 0)
      await new Promise((resolve) => setTimeout(resolve));
    await self.velkaron.onWindowRemoved();
  });
  await waitForState(await openPopup(context), "locked");
});

test("a host that has gone is replaced, and the popup shows the vault locked", async () => {
  const { popup, configHome } = await unlockedOn("login.html");
  const [pid] = nativeHostPids(binary("VELKARON_NATIVE"), configHome);
  process.kill(pid, "SIGKILL");
  await waitForState(popup, "locked");
  const [replacement] = nativeHostPids(binary("VELKARON_NATIVE"), configHome);
  assert.notEqual(replacement, pid);
});

test("closing the browser ends the host by itself and leaves the vault intact", async (t) => {
  const { vaultPath } = await makeVault(t, [LOGIN]);
  const { context, configHome } = await launchBrowser(t, { vault: vaultPath });
  await unlock(await openPopup(context));
  const pids = nativeHostPids(binary("VELKARON_NATIVE"), configHome);
  assert.equal(pids.length, 1, "one host process while the browser runs");
  const started = Date.now();
  await context.close();
  // Chromium kills a host that has not ended about two seconds after closing its port.
  while (isRunning(pids[0])) {
    assert.ok(Date.now() - started < 1500, "the host ended within 1.5 s of closing the browser");
    await new Promise((resolve) => setImmediate(resolve));
  }
  t.diagnostic(`host ended ${Date.now() - started} ms after the browser was told to close`);

  const { status, responses } = await askLineHost(vaultPath, [
    { id: 1, op: "unlock", password: MASTER },
    { id: 2, op: "for-host", host: "localhost", secure: true },
  ]);
  assert.equal(status, 0);
  assert.deepEqual(responses, [
    { id: 1, ok: true, data: { entries: 1, unlocked: true } },
    { id: 2, ok: true, data: [{ ...LOGIN, id: responses[1].data[0].id }] },
  ]);
});
