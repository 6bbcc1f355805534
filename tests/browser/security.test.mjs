// Where a fill must not happen, in the browser VELKARON_BROWSER names: pages over http, frames
// of another origin or sandboxed, fields nobody sees, and anything a page does by itself.
import assert from "node:assert/strict";
import { test } from "node:test";
import {
  BROWSER,
  EMPTY_LOGIN_PAGE,
  launchExtension,
  loginFields,
  pressFillCommand,
  waitForText,
} from "./browsers.mjs";
import { startSites } from "./harness.mjs";

const MASTER = "korrekt-pferd-batterie";
const LOGIN = { host: "localhost", username: "erika@example.org", password: "Xq7!pW2#vL9$mR4&" };
const FILLED = { ...EMPTY_LOGIN_PAGE, username: LOGIN.username, password: LOGIN.password };

// One request to the host as the popup sends it.
function ask(popup, op, members = {}) {
  return popup.evaluate(
    (type, operation, fields) =>
      chrome.runtime.sendMessage({ type, op: operation, members: fields }),
    "velkaron:request",
    op,
    members,
  );
}

async function frameOf(page, id) {
  return (await page.waitForSelector(`#${id}`)).contentFrame();
}

test(`no fill where it does not belong, in ${BROWSER}`, async (t) => {
  const sites = await startSites(t);
  const session = await launchExtension(t);
  const site = await session.newPage(`${sites.https}/login.html`);
  const siteTab = await session.tabIdOf(site);
  const popup = await session.openPopup(siteTab);
  assert.equal((await ask(popup, "create", { password: MASTER })).ok, true);
  assert.equal((await ask(popup, "put", LOGIN)).ok, true);

  await t.test("the keyboard command fills the visible fields, never the traps", async () => {
    assert.deepEqual(await pressFillCommand(session, siteTab), { filled: true });
    assert.deepEqual(await loginFields(site), FILLED);
  });

  await t.test("what the page does by itself fills nothing", async () => {
    // Not a reload: Firefox would put back what the fields held.
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

  await t.test("a page over http is not filled, not even when asked by entry id", async () => {
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
    assert.deepEqual([refused.data.filled, refused.data.reason], [false, "not-https"]);
    assert.equal((await pressFillCommand(session, siteTab)).filled, false);
    assert.deepEqual(await loginFields(site), EMPTY_LOGIN_PAGE);
    await plainPopup.close();
  });

  await t.test(
    "only the same-origin frame is filled, not a cross-origin or sandboxed one",
    async () => {
      await site.goto(`${sites.https}/frames.html`);
      const frames = {};
      for (const id of ["same-origin", "cross-origin", "sandboxed"]) {
        frames[id] = await frameOf(site, id);
        await frames[id].waitForSelector("#password");
      }
      assert.deepEqual(await pressFillCommand(session, siteTab), { filled: true });
      assert.deepEqual(await loginFields(frames["same-origin"]), FILLED);
      assert.deepEqual(await loginFields(frames["cross-origin"]), EMPTY_LOGIN_PAGE);
      assert.deepEqual(await loginFields(frames.sandboxed), EMPTY_LOGIN_PAGE);
    },
  );
});
