// The management page in a real headless Chromium: a browser's export of 1,000 logins
// imported through the file chooser, its conflict replaced in a second step, one of its
// logins filled into the HTTPS test page; an export refused with a wrong password and saved
// with the right one.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { readFileSync, writeFileSync } from "node:fs";
import path from "node:path";
import { test } from "node:test";
import {
  EXTENSION_ID,
  binary,
  launchBrowser,
  openPopup,
  pressFillCommand,
  startSites,
  tabIdOf,
  tempDir,
} from "./harness.mjs";

const ROWS = 1000;

// A Chromium export: ROWS logins, the last for the test page, and one more row that
// conflicts with the first.
function chromiumExport(siteUrl) {
  const lines = ["name,url,username,password,note"];
  for (let i = 0; i < ROWS - 1; i++) {
    lines.push(`Login ${i},https://site${i}.example/anmelden,user${i},"pw,${i}",`);
  }
  lines.push(`Testseite,${siteUrl}/login.html,erika@example.org,importiert-123,"eine Notiz"`);
  lines.push(`Login 0,https://site0.example/,user0,"neu,0",`);
  return lines.join("\r\n") + "\r\n";
}

test("import and export on the management page", async (t) => {
  const dir = tempDir(t, "manage");
  const vault = path.join(dir, "tresor.json");
  const opens = JSON.parse(
    execFileSync(binary("VELKARON_PREPARED_VAULT"), [vault, "0"], { encoding: "utf8" }),
  );
  const sites = await startSites(t);
  const { context, worker } = await launchBrowser(t, { vault });
  const popup = await openPopup(context);
  await popup.fill("#unlock-form [name=password]", opens.password);
  await popup.click("#unlock-form button[type=submit]");
  await popup.locator('#state[data-state="unlocked"]').waitFor();
  assert.equal(
    await popup.locator("#manage").getAttribute("href"),
    "../manage/manage.html",
    "the popup links to the page",
  );

  const page = await context.newPage();
  await page.goto(`chrome-extension://${EXTENSION_ID}/manage/manage.html`);
  await page.locator('#state[data-state="unlocked"]').waitFor();

  await t.test("a 1,000-row export through the file chooser", async () => {
    const file = path.join(dir, "export.csv");
    writeFileSync(file, chromiumExport(sites.https));
    const chooser = page.waitForEvent("filechooser");
    await page.click("#import-file");
    await (await chooser).setFiles(file);
    await page.locator("#import-summary:not([hidden])").waitFor();
    assert.equal(
      await page.locator("#import-counts").textContent(),
      "Neu: 1000, unverändert: 0, ersetzt: 0, Konflikte: 1, übersprungen: 0",
    );
    assert.equal(
      await page.locator("#conflicts li").textContent(),
      "Zeile 1002: site0.example, Benutzer „user0“",
    );
    assert.equal(await page.locator("#notes").textContent(), "1001");

    await page.click("#replace-conflicts");
    await page.locator("#import-counts", { hasText: "ersetzt: 1, Konflikte: 0" }).waitFor();
    await page.locator("#state", { hasText: `${ROWS} Anmeldungen` }).waitFor();
  });

  await t.test("an imported login fills the HTTPS page", async () => {
    const site = await context.newPage();
    await site.goto(`${sites.https}/login.html`);
    const tab = await tabIdOf(worker, site);
    assert.deepEqual(await pressFillCommand(worker, tab), { filled: true });
    assert.equal(await site.inputValue("#username"), "erika@example.org");
    assert.equal(await site.inputValue("#password"), "importiert-123");
  });

  await t.test("export: a wrong password, then the right one", async () => {
    await page.fill("#export-form [name=password]", "falsches-passwort");
    await page.click("#export-form button[type=submit]");
    await page.locator("#notice", { hasText: "Falsches Master-Passwort" }).waitFor();

    await page.fill("#export-form [name=password]", opens.password);
    const download = page.waitForEvent("download");
    await page.click("#export-form button[type=submit]");
    const saved = await download;
    assert.match(saved.suggestedFilename(), /^velkaron-export-\d{4}-\d{2}-\d{2}\.csv$/);
    const lines = readFileSync(await saved.path(), "utf8").split("\r\n");
    assert.equal(lines[0], "name,url,username,password,note");
    assert.equal(lines.length, ROWS + 2, "the header, every login and the last line break");
    assert.ok(lines.includes('Login 0,https://site0.example/,user0,"neu,0",'));
    assert.ok(lines.includes("Testseite,https://localhost/,erika@example.org,importiert-123,"));
    assert.equal(await page.inputValue("#export-form [name=password]"), "");
  });
});
