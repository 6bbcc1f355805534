// Where a fill must not happen, in the browser VELKARON_BROWSER names: pages over http, frames
// of another origin or sandboxed, or inside a foreign one, fields nobody sees, a locked vault,
// and anything a page does by itself.
import assert from "node:assert/strict";
import { test } from "node:test";
import {
  ask,
  click,
  EMPTY_LOGIN_PAGE,
  frameOf,
  loginFields,
  pressFillCommand,
  sharedSession,
  unlock,
  valueOf,
  waitForState,
  waitForText,
} from "./browsers.mjs";

const LOGIN = { host: "localhost", username: "erika@example.org", password: "Xq7!pW2#vL9$mR4&" };
const FILLED = { ...EMPTY_LOGIN_PAGE, username: LOGIN.username, password: LOGIN.password };

const shared = sharedSession({ logins: [LOGIN], unlocked: true });

// The site's tab showing `page` of the HTTPS site (not a reload: Firefox would put back what
// the fields held), and the keyboard command pressed there.
async function commandOn(page) {
  const { session, site, sites, siteTab } = shared;
  await site.goto(`${sites.https}/${page}`);
  return pressFillCommand(session, siteTab);
}

test("the keyboard command fills the visible fields, never the traps", async () => {
  assert.deepEqual(await commandOn("login.html"), { filled: true });
  assert.deepEqual(await loginFields(shared.site), FILLED);
});

test("what the page does by itself fills nothing", async () => {
  const { session, site, sites, siteTab } = shared;
  await site.goto(`${sites.https}/login.html`);
  await site.evaluate(() => {
    for (const type of ["keydown", "keyup"]) {
      const key = { key: "L", code: "KeyL", ctrlKey: true, shiftKey: true, bubbles: true };
      document.dispatchEvent(new KeyboardEvent(type, key));
    }
    document.querySelector("#password").focus();
  });
  // The command's own path still works afterwards, so the empty fields were not a fluke.
  assert.deepEqual(await loginFields(site), EMPTY_LOGIN_PAGE);
  assert.deepEqual(await pressFillCommand(session, siteTab), { filled: true });
});

test("fields added after load, outside a form, are found; a new-password field is not filled", async () => {
  const { site } = shared;
  await site.goto(`${shared.sites.https}/late.html`);
  await site.waitForSelector("#password");
  assert.deepEqual(await pressFillCommand(shared.session, shared.siteTab), { filled: true });
  assert.equal(await valueOf(site, "#username"), LOGIN.username);
  assert.equal(await valueOf(site, "#password"), LOGIN.password);
  assert.equal(await valueOf(site, "#new-password"), "");
});

test("a page over http is not filled, not even when asked by entry id", async () => {
  const { session, site, sites, siteTab } = shared;
  await site.goto(`${sites.http}/login.html`);
  const plainPopup = await session.openPopup(siteTab);
  await waitForText(plainPopup, "#site-reason", /nicht über HTTPS/);
  assert.equal((await plainPopup.$$("#site-logins li")).length, 0);
  const entryId = (await ask(plainPopup, "list")).data[0].id;
  const refused = await plainPopup.evaluate(
    (tabId, id) => chrome.runtime.sendMessage({ type: "velkaron:fill", tabId, entryId: id }),
    siteTab,
    entryId,
  );
  assert.deepEqual(refused, {
    ok: true,
    data: { filled: false, reason: "not-https", host: "localhost" },
  });
  assert.equal((await pressFillCommand(session, siteTab)).reason, "not-https");
  assert.deepEqual(await loginFields(site), EMPTY_LOGIN_PAGE);
  await plainPopup.close();
});

test("only the same-origin frame is filled, not a cross-origin or sandboxed one", async () => {
  const { session, site, sites, siteTab } = shared;
  await site.goto(`${sites.https}/frames.html`);
  const frames = {};
  for (const id of ["same-origin", "cross-origin", "sandboxed"]) {
    frames[id] = await frameOf(site, id);
  }
  assert.deepEqual(await pressFillCommand(session, siteTab), { filled: true });
  assert.deepEqual(await loginFields(frames["same-origin"]), FILLED);
  assert.deepEqual(await loginFields(frames["cross-origin"]), EMPTY_LOGIN_PAGE);
  assert.deepEqual(await loginFields(frames.sandboxed), EMPTY_LOGIN_PAGE);
});

test("a frame of this site inside a foreign frame stays empty", async () => {
  const { session, site, sites, siteTab } = shared;
  await site.goto(`${sites.https}/nested.html`);
  const inner = await frameOf(await frameOf(site, "outer", "#inner"), "inner");
  assert.equal((await pressFillCommand(session, siteTab)).filled, false);
  assert.deepEqual(await loginFields(inner), EMPTY_LOGIN_PAGE);
});

test("after lock nothing is filled", async () => {
  const { popup } = shared;
  await click(popup, "#lock");
  await waitForState(popup, "locked");
  assert.equal((await commandOn("login.html")).reason, "locked");
  assert.deepEqual(await loginFields(shared.site), EMPTY_LOGIN_PAGE);
  await unlock(popup);
});
