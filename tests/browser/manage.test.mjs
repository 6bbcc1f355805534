// The management page, in the browser VELKARON_BROWSER names: a browser's export of 1,000
// logins imported through the file field, its conflict replaced in a second step, one of its
// logins filled into the HTTPS test page; an export refused with a wrong password and saved with
// the right one.
import assert from "node:assert/strict";
import { readdirSync, readFileSync, writeFileSync } from "node:fs";
import path from "node:path";
import { test } from "node:test";
import {
  click,
  pressFillCommand,
  sharedSession,
  typeInto,
  valueOf,
  waitForState,
  waitForText,
} from "./browsers.mjs";
import { MASTER, tempDir } from "./fixtures.mjs";

const ROWS = 1000;
const EXPORT_NAME = /^velkaron-export-\d{4}-\d{2}-\d{2}\.csv$/;

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

const shared = sharedSession({ logins: [], unlocked: true });
let page;

test("the popup links to the management page, which shows the vault unlocked", async () => {
  const { popup, session } = shared;
  assert.equal(
    await popup.$eval("#manage", (link) => link.getAttribute("href")),
    "../manage/manage.html",
  );
  page = await session.openExtensionPage("manage/manage.html");
  await waitForState(page, "unlocked");
});

test("a 1,000-row export through the file field", async (t) => {
  const file = path.join(tempDir(t, "manage"), "export.csv");
  writeFileSync(file, chromiumExport(shared.sites.https));
  await (await page.$("#import-file")).uploadFile(file);
  await page.waitForSelector("#import-summary:not([hidden])");
  const text = (selector) => page.$eval(selector, (element) => element.textContent);
  assert.equal(
    await text("#import-counts"),
    "Neu: 1000, unverändert: 0, ersetzt: 0, Konflikte: 1, übersprungen: 0",
  );
  assert.equal(await text("#conflicts li"), "Zeile 1002: site0.example, Benutzer „user0“");
  assert.equal(await text("#notes"), "1001");

  await click(page, "#replace-conflicts");
  await waitForText(page, "#import-counts", /ersetzt: 1, Konflikte: 0/);
  await waitForText(page, "#state", new RegExp(`${ROWS} Anmeldungen`));
});

test("an imported login fills the HTTPS page", async () => {
  const { session, site, sites, siteTab } = shared;
  await site.goto(`${sites.https}/login.html`);
  assert.deepEqual(await pressFillCommand(session, siteTab), { filled: true });
  assert.equal(await valueOf(site, "#username"), "erika@example.org");
  assert.equal(await valueOf(site, "#password"), "importiert-123");
});

test("export: a wrong password, then the right one", async () => {
  await typeInto(page, "#export-form [name=password]", "falsches-passwort");
  await click(page, "#export-form button[type=submit]");
  await waitForText(page, "#notice", /Falsches Master-Passwort/);

  await typeInto(page, "#export-form [name=password]", MASTER);
  await click(page, "#export-form button[type=submit]");
  await waitForText(page, "#notice", /^Export gespeichert\./);
  assert.equal(await valueOf(page, "#export-form [name=password]"), "");
  const { downloads } = shared.session;
  // The browser writes the file under a name of its own (Firefox beside an empty one of the
  // final name), then renames it.
  const saved = () => {
    const names = readdirSync(downloads);
    const busy = names.some((name) => /\.(part|crdownload)$/.test(name));
    return busy ? undefined : names.find((name) => EXPORT_NAME.test(name));
  };
  while (!saved()) await new Promise((resolve) => setTimeout(resolve, 20));
  const lines = readFileSync(path.join(downloads, saved()), "utf8").split("\r\n");
  assert.equal(lines[0], "name,url,username,password,note");
  assert.equal(lines.length, ROWS + 2, "the header, every login and the last line break");
  assert.ok(lines.includes('Login 0,https://site0.example/,user0,"neu,0",'));
  assert.ok(lines.includes("Testseite,https://localhost/,erika@example.org,importiert-123,"));
});
