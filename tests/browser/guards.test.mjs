// The guards between a page and the vault, each tried the way a page or a content script would
// get past it: the popup's messages, the clipboard writer, a frame of this site framed by
// another, a second request for the login; and that the lock policy's listeners are really
// registered with the browser and that a lock reaches every open page.
import assert from "node:assert/strict";
import { test } from "node:test";
import {
  buttonOf,
  inContentScript,
  openPopup,
  pressFillCommand,
  sharedSite,
  unlock,
  waitForButton,
  waitForState,
} from "./harness.mjs";

const PASSWORD = "Pferd-Batterie-42";

const shared = sharedSite([{ host: "localhost", username: "erika", password: PASSWORD }]);

// Sends `message` from the content scripts' world of the site's page; resolves with the answer,
// or "no answer" when nothing answered.
function fromContentScript(message) {
  const { context, site } = shared;
  return inContentScript(
    context,
    site,
    `async () => chrome.runtime.sendMessage(${JSON.stringify(message)}).then(
      (answer) => answer ?? "no answer", () => "no answer")`,
  );
}

test("a content script gets no answer to the popup's messages", async () => {
  await unlock(shared.popup);
  await shared.site.goto(`${shared.sites.https}/login.html`);
  for (const message of [
    { type: "velkaron:request", op: "list", members: {} },
    { type: "velkaron:logins-for-tab", tabId: shared.siteTab },
    { type: "velkaron:fill", tabId: shared.siteTab, entryId: null },
    { type: "velkaron:copy-password", entryId: "x" },
  ]) {
    assert.equal(await fromContentScript(message), "no answer", message.type);
  }
  assert.equal(await shared.site.inputValue("#password"), "");
});

test("the clipboard writer takes text from the worker only", async () => {
  const { context, popup, site, sites } = shared;
  await unlock(popup);
  await site.goto(`${sites.https}/login.html`);
  await context.grantPermissions(["clipboard-read", "clipboard-write"], { origin: sites.https });
  await popup.locator("#list-rows li").getByRole("button", { name: "Kopieren" }).click();
  await popup.locator("#notice", { hasText: "Passwort kopiert" }).waitFor();
  const clipboard = () => site.evaluate(() => navigator.clipboard.readText());
  assert.equal(await clipboard(), PASSWORD);
  const write = { type: "velkaron:clipboard-write", text: "von der Seite" };
  await fromContentScript(write);
  await popup.evaluate((message) => chrome.runtime.sendMessage(message).catch(() => {}), write);
  assert.equal(await clipboard(), PASSWORD);
  await shared.worker.evaluate(() => self.velkaron.clearClipboard());
});

test("a frame of this site inside a foreign frame stays empty", async () => {
  const { site, sites, siteTab, worker } = shared;
  await unlock(shared.popup);
  await site.goto(`${sites.https}/nested.html`);
  const inner = site.frameLocator("#outer").frameLocator("#inner");
  await inner.locator("#password").waitFor();
  assert.equal((await pressFillCommand(worker, siteTab)).filled, false);
  assert.equal(await inner.locator("#password").inputValue(), "");
  assert.equal(await inner.locator("#username").inputValue(), "");
});

test("after a fill, the same document asking for the login again gets nothing", async () => {
  const { site, sites, siteTab, worker } = shared;
  await unlock(shared.popup);
  await site.goto(`${sites.https}/login.html`);
  assert.deepEqual(await pressFillCommand(worker, siteTab), { filled: true });
  assert.equal(await fromContentScript({ type: "velkaron:login-for-frame" }), "no answer");
});

// Marks or measures of the extension's own would tell a page that it is installed.
test("a page finds no performance entries of the extension, also after a fill", async () => {
  const { site, sites, siteTab, worker } = shared;
  await unlock(shared.popup);
  await site.goto(`${sites.https}/login.html`);
  assert.deepEqual(await pressFillCommand(worker, siteTab), { filled: true });
  const names = await site.evaluate(() => performance.getEntries().map((entry) => entry.name));
  assert.deepEqual(
    names.filter((name) => /velkaron/i.test(name)),
    [],
  );
});

test("the lock policy's and the command's listeners are registered with the browser", async () => {
  const registered = await shared.worker.evaluate(() => ({
    idle: chrome.idle.onStateChanged.hasListener(self.velkaron.onIdleStateChanged),
    windows: chrome.windows.onRemoved.hasListener(self.velkaron.onWindowRemoved),
    command: chrome.commands.onCommand.hasListener(self.velkaron.onCommand),
  }));
  assert.deepEqual(registered, { idle: true, windows: true, command: true });
});

test("a lock from one page reaches every other open page of the extension", async () => {
  const { context, popup } = shared;
  await unlock(popup);
  const other = await openPopup(context, shared.siteTab);
  await waitForState(other, "unlocked");
  await popup.click("#lock");
  await waitForState(other, "locked");
  assert.equal(await other.locator("#site-logins li").count(), 0);
  await other.close();
});

test("the keyboard command's reason stays on the button for a while, then goes", async () => {
  const { popup, site, sites, siteTab, worker } = shared;
  await site.goto(`${sites.https}/login.html`);
  await popup.evaluate(() =>
    chrome.runtime.sendMessage({ type: "velkaron:request", op: "lock", members: {} }),
  );
  await waitForState(popup, "locked");
  assert.deepEqual(await pressFillCommand(worker, siteTab), {
    filled: false,
    reason: "locked",
    host: "localhost",
  });
  const [text, title] = await buttonOf(worker, siteTab);
  assert.equal(text, "!");
  assert.match(title, /^Der Tresor ist gesperrt\./);
  // The worker's own timer clears it; waited for, not slept through.
  await waitForButton(worker, siteTab, "");
  assert.deepEqual(await buttonOf(worker, siteTab), ["", "Velkaron Tresor"]);
});
