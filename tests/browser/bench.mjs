// The browser stage of scripts/bench: the popup's opening and the keyboard command's fill in
// headless Chromium, each figure the median of ROUNDS tries, the two sides of every ratio
// measured in turns within this one run. Writes the figures in the load driver's format:
//   node bench.mjs OUT.json   (with VELKARON_NATIVE, VELKARON_VAULT, VELKARON_PREPARED_VAULT)
import { execFileSync } from "node:child_process";
import { writeFileSync } from "node:fs";
import path from "node:path";
import {
  binary,
  launchBrowser,
  openPopup,
  pressFillCommand,
  sharedScope,
  startSites,
  tabIdOf,
  tempDir,
  unlock,
} from "./harness.mjs";

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
  const browser = await launchBrowser(scope, { vault });
  await unlock(await openPopup(browser.context), opens.password);
  return browser;
}

// The popup's own time from its navigation to its first rows of logins, in ms.
async function popupToFirstRows(context) {
  const popup = await openPopup(context);
  await popup.locator("#list-rows li").first().waitFor();
  const time = await popup.evaluate(
    () => performance.getEntriesByName("velkaron:first-rows")[0].startTime,
  );
  await popup.close();
  return time;
}

// One keyboard command on a fresh page of `inputs` text fields and a login form: the whole
// fill as the worker sees it, and its `for-host` round trip, in ms.
async function commandFill({ worker }, site, sites, inputs) {
  await site.goto(`https://site0.example.com:${sites.port}/inputs.html?count=${inputs}`);
  const tabId = await tabIdOf(worker, site);
  const start = await worker.evaluate(() => performance.now());
  const result = await pressFillCommand(worker, tabId);
  const [total, forHost] = await worker.evaluate(
    (begun) => [
      performance.now() - begun,
      performance.getEntriesByName("velkaron:for-host").at(-1).duration,
    ],
    start,
  );
  if (!result.filled) throw new Error(`not filled: ${JSON.stringify(result)}`);
  return { total, forHost };
}

async function main(out) {
  const scope = sharedScope();
  try {
    const sites = await startSites(scope);
    const small = await browserWith(scope, 10);
    const large = await browserWith(scope, 10_000);
    const site = await small.context.newPage();
    const samples = {
      popup10: [],
      popup10000: [],
      forHost: [],
      fill10: [],
      fill1000: [],
    };
    for (let round = 0; round < ROUNDS; round++) {
      samples.popup10.push(await popupToFirstRows(small.context));
      samples.popup10000.push(await popupToFirstRows(large.context));
      const ten = await commandFill(small, site, sites, 10);
      const thousand = await commandFill(small, site, sites, 1000);
      samples.fill10.push(ten.total);
      samples.fill1000.push(thousand.total);
      samples.forHost.push(ten.forHost, thousand.forHost);
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
    ];
    writeFileSync(out, JSON.stringify({ rounds: ROUNDS, figures }, null, 2) + "\n");
    for (const f of figures) console.error(`${f.label}: ${f.median.toFixed(2)} ${f.unit}`);
  } finally {
    await scope.close();
  }
}

await main(process.argv[2] ?? "browser.json");
