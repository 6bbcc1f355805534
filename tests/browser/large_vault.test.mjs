// A vault of 10,000 logins, written by the load driver's code, in the popup: its `list` is
// larger than one native message and reaches the extension in pieces; the list and its search
// stay usable because only the rows in sight are rendered.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import path from "node:path";
import { test } from "node:test";
import { binary, launchBrowser, openPopup, tempDir } from "./harness.mjs";

const COUNT = 10_000;

test("a vault of 10,000 logins lists and searches in the popup", async (t) => {
  const vault = path.join(tempDir(t, "large"), "tresor.json");
  const opens = JSON.parse(
    execFileSync(binary("VELKARON_PREPARED_VAULT"), [vault, String(COUNT)], { encoding: "utf8" }),
  );
  const { context } = await launchBrowser(t, { vault });
  const popup = await openPopup(context);
  await popup.fill("#unlock-form [name=password]", opens.password);
  await popup.click("#unlock-form button[type=submit]");
  await popup.locator("#list-count", { hasText: String(COUNT) }).waitFor();
  assert.equal(
    await popup.locator("#state").textContent(),
    `Tresor entsperrt · ${COUNT} Anmeldungen`,
  );

  const rows = popup.locator("#list-rows li");
  const rendered = await rows.count();
  assert.ok(rendered > 0 && rendered < 50, `${rendered} rows in the document`);
  // Sorted by host as bytes: site0, site1, site10, site100, ...
  assert.match(
    await rows.first().textContent(),
    /^Login 0user0@mail\.example · site0\.example\.com/,
  );

  // Scrolled to the end, the last rows are in the document and the first are not.
  await popup.locator("#list-viewport").evaluate((viewport) => {
    viewport.scrollTop = viewport.scrollHeight;
  });
  await rows.filter({ hasText: "site9999.example.com" }).waitFor();
  assert.equal(await rows.filter({ hasText: "site0.example.com" }).count(), 0);

  await popup.fill("#list-search", "USER4242@");
  await popup.locator("#list-count", { hasText: `1 von ${COUNT}` }).waitFor();
  assert.equal(await rows.count(), 1);
  await rows.first().getByRole("button", { name: "Anzeigen" }).click();
  await rows.first().locator("code", { hasText: "Xq7!pW2#vL9$mR4&kT8z" }).waitFor();

  await popup.fill("#list-search", "site99");
  await popup.locator("#list-count", { hasText: `111 von ${COUNT}` }).waitFor();
  await popup.fill("#list-search", "");
  await popup.locator("#list-count", { hasText: new RegExp(`^${COUNT}$`) }).waitFor();
});
