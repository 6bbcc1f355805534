// A vault of 10,000 logins, written by the load driver's code, in the popup of the browser
// VELKARON_BROWSER names: its `list` is larger than one native message and reaches the
// extension in pieces; the list and its search stay usable because only the rows in sight are
// rendered.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import path from "node:path";
import { test } from "node:test";
import { BROWSER, click, clickButton, launchExtension, waitForText } from "./browsers.mjs";
import { binary, tempDir } from "./fixtures.mjs";

const COUNT = 10_000;

test(`a vault of 10,000 logins lists and searches in the popup of ${BROWSER}`, async (t) => {
  const vault = path.join(tempDir(t, "large"), "tresor.json");
  const opens = JSON.parse(
    execFileSync(binary("VELKARON_PREPARED_VAULT"), [vault, String(COUNT)], { encoding: "utf8" }),
  );
  const session = await launchExtension(t, { vault });
  const popup = await session.openPopup();
  await popup.locator("#unlock-form [name=password]").fill(opens.password);
  await click(popup, "#unlock-form button[type=submit]");
  await waitForText(popup, "#list-count", new RegExp(`^${COUNT}$`));
  assert.equal(
    await popup.$eval("#state", (state) => state.textContent),
    `Tresor entsperrt · ${COUNT} Anmeldungen`,
  );

  const rowTexts = () =>
    popup.$$eval("#list-rows li", (rows) => rows.map((row) => row.textContent));
  const rendered = (await rowTexts()).length;
  assert.ok(rendered > 0 && rendered < 50, `${rendered} rows in the document`);
  // Sorted by host as bytes: site0, site1, site10, site100, ...
  assert.match((await rowTexts())[0], /^Login 0user0@mail\.example · site0\.example\.com/);

  // Scrolled to the end, the last rows are in the document and the first are not.
  await popup.$eval("#list-viewport", (viewport) => {
    viewport.scrollTop = viewport.scrollHeight;
  });
  await waitForText(popup, "#list-rows li", /site9999\.example\.com/);
  assert.ok(!(await rowTexts()).some((text) => text.includes("site0.example.com")));

  await popup.locator("#list-search").fill("USER4242@");
  await waitForText(popup, "#list-count", new RegExp(`^1 von ${COUNT}$`));
  assert.equal((await rowTexts()).length, 1);
  await clickButton(popup, "#list-rows li", "Anzeigen");
  await waitForText(popup, "#list-rows li code", /^Xq7!pW2#vL9\$mR4&kT8z$/);

  await popup.locator("#list-search").fill("site99");
  await waitForText(popup, "#list-count", new RegExp(`^111 von ${COUNT}$`));
  // Emptied as a user would: filling in nothing types nothing.
  await click(popup, "#list-search", { count: 3 });
  await popup.keyboard.press("Backspace");
  await waitForText(popup, "#list-count", new RegExp(`^${COUNT}$`));
});
