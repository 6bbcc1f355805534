// The browser stage of scripts/bench: the popup's opening and the keyboard command's fill in
// headless Chromium, each figure the median of ROUNDS tries, the two sides of every ratio
// measured in turns within this one run. Writes the figures in the load driver's format:
//   node bench.mjs OUT.json   (with VELKARON_NATIVE, VELKARON_VAULT, VELKARON_PREPARED_VAULT)
import { execFileSync } from "node:child_process";
import { writeFileSync } from "node:fs";
import path from "node:path";
import { launchExtension, pressFillCommand, sharedScope, typeInto, unlock } from "./browsers.mjs";
import { binary, pageUrl, startSites, tempDir } from "./fixtures.mjs";

const ROUNDS = Number(process.env.VELKARON_BENCH_ROUNDS ?? 20);

const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = Math.floor(sorted.length / 2);
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};

// A browser on a prepared vault of `count` logins, unlocked.
async function browserWith(scope, count) {
  const vault = path.join(tempDir(scope, "bench"), "tresor.json");
  const opens = JSON.parse(
    execFileSync(binary("VELKARON_PREPARED_VAULT"), [vault, String(count)], { encoding: "utf8" }),
  );
  const session = await launchExtension(scope, { vault });
  await unlock(await session.openPopup(), opens.password);
  return session;
}

// The popup's own time from its navigation to its first rows of logins, in ms.
async function popupToFirstRows(session) {
  const popup = await session.openPopup();
  await popup.waitForSelector("#list-rows li");
  const time = await popup.evaluate(
    () => performance.getEntriesByName("velkaron:first-rows")[0].startTime,
  );
  await popup.close();
  return time;
}

// One keyboard command on a fresh page of `inputs` text fields and a login form: the whole
// fill as the worker sees it, and its `for-host` round trip, in ms.
async function commandFill(session, site, sites, inputs) {
  await site.goto(`https://site0.example.com:${sites.port}/inputs.html?count=${inputs}`);
  const tabId = await session.tabIdOf(site);
  const start = await session.inBackground(({ performance }) => performance.now());
  const result = await pressFillCommand(session, tabId);
  const [total, forHost] = await session.inBackground(
    ({ performance }, begun) => [
      performance.now() - begun,
      performance.getEntriesByName("velkaron:for-host").at(-1).duration,
    ],
    start,
  );
  if (!result.filled) throw new Error(`not filled: ${JSON.stringify(result)}`);
  return { total, forHost };
}

// A page of `inputs` text fields and a login form, loaded afresh: its load (navigation start to
// the end of its load event) and the content scripts' own time in it, in ms.
async function pageLoad(site, sites, inputs) {
  await site.goto(`${sites.https}/inputs.html?count=${inputs}`);
  // The idle content scripts run after the load event: waited for by their measure.
  await site.waitForFunction(() => performance.getEntriesByName("velkaron:content").length === 2);
  return site.evaluate(() => ({
    load: performance.getEntriesByType("navigation")[0].loadEventEnd,
    content: performance
      .getEntriesByName("velkaron:content")
      .reduce((sum, entry) => sum + entry.duration, 0),
  }));
}

// A page script that adds and removes 10,000 nodes after the user typed a password (so that
// the capture watches the page for removed password fields): its own time, in ms.
const CHURN_PAGE = `<form><input id="username"><input id="password" type="password"></form>
<div id="churn"></div>`;
async function churn(site, sites) {
  await site.goto(pageUrl(sites, CHURN_PAGE));
  await typeInto(site, "#password", "Bank-Passwort-1");
  return site.evaluate(async () => {
    const box = document.getElementById("churn");
    const start = performance.now();
    for (let i = 0; i < 10_000; i++) box.append(document.createElement("span"));
    // The mutation observers run at the end of the task: waited for, within the time.
    await Promise.resolve();
    while (box.firstChild) box.firstChild.remove();
    await new Promise((resolve) => setTimeout(resolve, 0));
    return performance.now() - start;
  });
}

async function main(out) {
  const scope = sharedScope();
  try {
    const sites = await startSites(scope);
    const small = await browserWith(scope, 10);
    const large = await browserWith(scope, 10_000);
    const site = await small.newPage();
    const bare = await (await launchExtension(scope, { extension: false })).newPage();
    const samples = {
      load1000: [],
      content1000: [],
      churnWith: [],
      churnWithout: [],
      popup10: [],
      popup10000: [],
      forHost: [],
      fill10: [],
      fill1000: [],
    };
    for (let round = 0; round < ROUNDS; round++) {
      samples.popup10.push(await popupToFirstRows(small));
      samples.popup10000.push(await popupToFirstRows(large));
      const ten = await commandFill(small, site, sites, 10);
      const thousand = await commandFill(small, site, sites, 1000);
      samples.fill10.push(ten.total);
      samples.fill1000.push(thousand.total);
      samples.forHost.push(ten.forHost, thousand.forHost);
      const loaded = await pageLoad(site, sites, 1000);
      samples.load1000.push(loaded.load);
      samples.content1000.push(loaded.content);
      samples.churnWith.push(await churn(site, sites));
      samples.churnWithout.push(await churn(bare, sites));
    }
    const m = Object.fromEntries(Object.entries(samples).map(([k, v]) => [k, median(v)]));
    const figure = (key, label, unit, value) => ({
      key,
      label,
      unit,
      values: [value],
      median: value,
      min: value,
      max: value,
    });
    const figures = [
      figure("popup_rows_10", "popup: navigation to first rows, 10 logins", "ms", m.popup10),
      figure(
        "popup_rows_10000",
        "popup: navigation to first rows, 10,000 logins",
        "ms",
        m.popup10000,
      ),
      figure(
        "popup_rows_ratio_10000",
        "popup first rows, 10,000 ÷ 10 logins",
        "×",
        m.popup10000 / m.popup10,
      ),
      figure("worker_for_host", "worker: one `for-host` round trip, 10 logins", "ms", m.forHost),
      figure("command_fill_10", "keyboard command: fill on a page of 10 inputs", "ms", m.fill10),
      figure(
        "command_fill_1000",
        "keyboard command: fill on a page of 1,000 inputs",
        "ms",
        m.fill1000,
      ),
      figure(
        "command_fill_ratio",
        "keyboard fill ÷ `for-host` round trip",
        "×",
        m.fill10 / m.forHost,
      ),
      figure(
        "fill_judge_ratio_1000",
        "keyboard fill, page of 1,000 ÷ 10 inputs",
        "×",
        m.fill1000 / m.fill10,
      ),
      figure("page_load_1000", "page load, 1,000 inputs", "ms", m.load1000),
      figure(
        "content_share_1000",
        "content scripts' own time ÷ page load, 1,000 inputs",
        "%",
        (100 * m.content1000) / m.load1000,
      ),
      figure(
        "page_churn_ratio",
        "page script adding and removing 10,000 nodes, with ÷ without the extension",
        "×",
        m.churnWith / m.churnWithout,
      ),
    ];
    writeFileSync(out, JSON.stringify({ rounds: ROUNDS, figures }, null, 2) + "\n");
    for (const f of figures) console.error(`${f.label}: ${f.median.toFixed(2)} ${f.unit}`);
  } finally {
    await scope.close();
  }
}

await main(process.argv[2] ?? "browser.json");
