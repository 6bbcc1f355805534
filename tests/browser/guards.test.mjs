// The guards between a page and the vault, each tried the way a page or a content script would
// get past it: the popup's messages, the clipboard writer, a frame's own request for the
// login; and that the lock policy's listeners are really registered with the browser, that a
// lock reaches every open page and that the keyboard command's reason shows on the button for
// a while.
import assert from "node:assert/strict";
import { test } from "node:test";
import {
  ask,
  buttonOf,
  CHROMIUM_ONLY,
  click,
  clickButton,
  inContentScript,
  pressFillCommand,
  sharedSession,
  unlock,
  valueOf,
  waitForButton,
  waitForState,
  waitForText,
} from "./browsers.mjs";

const PASSWORD = "Pferd-Batterie-42";

const shared = sharedSession({
  logins: [{ host: "localhost", username: "erika", password: PASSWORD }],
  unlocked: true,
});

// Sends `message` from the content scripts' world of the site's page; resolves with the answer,
// or "no answer" when nothing answered.
const fromContentScript = (message) =>
  inContentScript(
    shared.site,
    `async () => chrome.runtime.sendMessage(${JSON.stringify(message)}).then(
      (answer) => answer ?? "no answer", () => "no answer")`,
  );

test(
  "a content script gets no answer to the popup's messages",
  { skip: CHROMIUM_ONLY },
  async () => {
    const { site, siteTab } = shared;
    for (const message of [
      { type: "velkaron:request", op: "list", members: {} },
      { type: "velkaron:logins-for-tab", tabId: siteTab },
      { type: "velkaron:fill", tabId: siteTab, entryId: null },
      { type: "velkaron:copy-password", entryId: "x" },
      { type: "velkaron:clipboard-write", text: "von der Seite" },
    ]) {
      assert.equal(await fromContentScript(message), "no answer", message.type);
    }
    assert.equal(await valueOf(site, "#password"), "");
  },
);

test(
  "a document just filled gets nothing when it asks for the login itself",
  { skip: CHROMIUM_ONLY },
  async () => {
    const { session, site, sites, siteTab } = shared;
    await site.goto(`${sites.https}/login.html`);
    assert.deepEqual(await pressFillCommand(session, siteTab), { filled: true });
    assert.equal(await fromContentScript({ type: "velkaron:login-for-frame" }), "no answer");
  },
);

test("the clipboard writer takes text from the background only", async () => {
  const { popup, session, site, sites } = shared;
  await clickButton(popup, "#list-rows li", "Kopieren");
  await waitForText(popup, "#notice", /^Passwort kopiert/);
  assert.equal(await session.readClipboard(site, sites.https), PASSWORD);
  // An extension page's message: the offscreen document is the background's alone.
  await popup.evaluate(() =>
    chrome.runtime
      .sendMessage({ type: "velkaron:clipboard-write", text: "von der Seite" })
      .catch(() => {}),
  );
  assert.equal(await session.readClipboard(site, sites.https), PASSWORD);
  await session.inBackground((background) => background.velkaron.clearClipboard());
  await popup.bringToFront();
});

// Marks or measures of the extension's own would tell a page that it is installed.
test("a page finds no performance entries of the extension, also after a fill", async () => {
  const { session, site, sites, siteTab } = shared;
  await unlock(shared.popup);
  await site.goto(`${sites.https}/login.html`);
  assert.deepEqual(await pressFillCommand(session, siteTab), { filled: true });
  const names = await site.evaluate(() => performance.getEntries().map((entry) => entry.name));
  assert.deepEqual(
    names.filter((name) => /velkaron/i.test(name)),
    [],
  );
});

test("the lock policy's and the command's listeners are registered with the browser", async () => {
  const registered = await shared.session.inBackground(({ chrome, velkaron }) => ({
    idle: chrome.idle.onStateChanged.hasListener(velkaron.onIdleStateChanged),
    windows: chrome.windows.onRemoved.hasListener(velkaron.onWindowRemoved),
    command: chrome.commands.onCommand.hasListener(velkaron.onCommand),
  }));
  assert.deepEqual(registered, { idle: true, windows: true, command: true });
});

test("a lock from one page reaches every other open page of the extension", async () => {
  const { popup, session, siteTab } = shared;
  await unlock(popup);
  const other = await session.openPopup(siteTab);
  await waitForState(other, "unlocked");
  await click(popup, "#lock");
  await waitForState(other, "locked");
  assert.equal((await other.$$("#site-logins li")).length, 0);
  await other.close();
});

test("the keyboard command's reason stays on the button for a while, then goes", async () => {
  const { popup, session, site, sites, siteTab } = shared;
  await site.goto(`${sites.https}/login.html`);
  await ask(popup, "lock");
  await waitForState(popup, "locked");
  assert.deepEqual(await pressFillCommand(session, siteTab), {
    filled: false,
    reason: "locked",
    host: "localhost",
  });
  const [text, title] = await buttonOf(session, siteTab);
  assert.equal(text, "!");
  assert.match(title, /^Der Tresor ist gesperrt\./);
  // The background's own timer clears it; waited for, not slept through.
  await waitForButton(session, siteTab, "");
  assert.deepEqual(await buttonOf(session, siteTab), ["", "Velkaron Tresor"]);
});
