// The browser stage of scripts/bench: the popup's opening, the keyboard command's fill and
// the content scripts' cost to pages, in headless Chromium, each figure the median of ROUNDS
// tries, the two sides of every ratio measured in turns within this one run. Writes the
// figures in the load driver's format:
//   node bench.mjs OUT.json   (with VELKARON_NATIVE, VELKARON_VAULT, VELKARON_PREPARED_VAULT)
import { execFileSync } from "node:child_process";
import { writeFileSync } from "node:fs";
import path from "node:path";
import {
  inContentScript,
  launchExtension,
  sendingsHandled,
  sharedScope,
  typeInto,
  unlock,
  waitForSendings,
} from "./browsers.mjs";
import { EXTENSION_ID, binary, pageUrl, startSites, tempDir } from "./fixtures.mjs";

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

const inputsPage = (sites, inputs) =>
  `https://site0.example.com:${sites.port}/inputs.html?count=${inputs}`;

// Waits until the content scripts have run in the page's top frame (the last one defines
// JudgementTimes) and the page has shown a frame since: the user presses the command on a page
// they see, not on one still being laid out.
async function settled(page) {
  const ran = () => inContentScript(page, "async () => typeof JudgementTimes").catch(() => null);
  while ((await ran()) !== "object") await new Promise((resolve) => setTimeout(resolve, 20));
  await page.bringToFront();
  await page.evaluate(
    () => new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0))),
  );
}

// The keyboard command on a fresh page of `inputs` text fields and a login form: the whole
// fill as the worker runs it, from the command to its result; the content script's time
// choosing and judging the fields, in its probe and its fill; and the `for-host` round trip
// from the worker to the host within the fill; in ms.
async function commandFill(session, site, sites, inputs) {
  await site.goto(inputsPage(sites, inputs));
  await settled(site);
  const { total, forHost, result } = await session.inBackground(
    async ({ chrome, performance, velkaron }, tabId) => {
      const tab = await chrome.tabs.get(tabId);
      const start = performance.now();
      const result = await velkaron.onCommand("fill-login", tab);
      return {
        total: performance.now() - start,
        forHost: performance.getEntriesByName("velkaron:for-host").at(-1).duration,
        result,
      };
    },
    await session.tabIdOf(site),
  );
  if (!result.filled) throw new Error(`not filled: ${JSON.stringify(result)}`);
  const judged = await inContentScript(
    site,
    "async () => JudgementTimes.probe + JudgementTimes.fill",
  );
  return { total, forHost, judged };
}

// One `for-host` round trip through the worker, as the popup makes it: from an extension page
// to the worker, which asks the host for the tab's logins (reading the tab's top frame and
// asking `status` alongside), and back; in ms.
function forHostThroughWorker(extensionPage, tabId) {
  return extensionPage.evaluate(async (id) => {
    const start = performance.now();
    const answer = await chrome.runtime.sendMessage({ type: "velkaron:logins-for-tab", tabId: id });
    const time = performance.now() - start;
    if (!answer.ok || !answer.data.logins?.length) throw new Error(JSON.stringify(answer));
    return time;
  }, tabId);
}

// The load of a page of `inputs` text fields and a login form (navigation start to the end of
// its load event), in ms.
async function pageLoad(site, sites, inputs) {
  await site.goto(inputsPage(sites, inputs));
  return site.evaluate(async () => {
    const entry = () => performance.getEntriesByType("navigation")[0];
    while (entry().loadEventEnd === 0) await new Promise((resolve) => setTimeout(resolve, 0));
    return entry().loadEventEnd;
  });
}

// The content scripts' own time in a load of the same page, in ms, measured from outside the
// page: the browser's trace of the scripts it evaluated and the listeners it called whose code
// is the extension's (nested ones counted once). The content scripts keep no marks a page
// could read.
async function contentScriptTime(site, sites, inputs) {
  await site.goto("about:blank");
  const cdp = await site.createCDPSession();
  const events = [];
  cdp.on("Tracing.dataCollected", ({ value }) => events.push(...value));
  const complete = new Promise((resolve) => cdp.once("Tracing.tracingComplete", resolve));
  await cdp.send("Tracing.start", {
    transferMode: "ReportEvents",
    traceConfig: { includedCategories: ["devtools.timeline"] },
  });
  await site.goto(inputsPage(sites, inputs));
  await settled(site);
  await cdp.send("Tracing.end");
  await complete;
  await cdp.detach();
  const own = events
    .filter(
      (event) =>
        event.ph === "X" &&
        ["EvaluateScript", "FunctionCall"].includes(event.name) &&
        event.args?.data?.url?.startsWith(`chrome-extension://${EXTENSION_ID}/`),
    )
    .sort((a, b) => a.ts - b.ts);
  let total = 0;
  let end = -Infinity;
  for (const event of own) {
    if (event.ts >= end) total += event.dur;
    end = Math.max(end, event.ts + event.dur);
  }
  return total / 1000;
}

// A page script that adds and removes 10,000 nodes after the user typed a password (so that
// the capture watches the page for removed password fields): its own time, in ms. Leaving the
// page sends the typed login (login_capture.js): the page is left here, and with the extension
// (`session`) the worker's handling of that report is waited for, so that it runs beside
// neither this measure nor the next.
const CHURN_PAGE = `<form><input id="username"><input id="password" type="password"></form>
<div id="churn"></div>`;
async function churn(site, sites, session = null) {
  await site.goto(pageUrl(sites, CHURN_PAGE));
  await typeInto(site, "#password", "Bank-Passwort-1");
  const time = await site.evaluate(async () => {
    const box = document.getElementById("churn");
    const start = performance.now();
    for (let i = 0; i < 10_000; i++) box.append(document.createElement("span"));
    // The mutation observers run at the end of the task: waited for, within the time.
    await Promise.resolve();
    while (box.firstChild) box.firstChild.remove();
    await new Promise((resolve) => setTimeout(resolve, 0));
    return performance.now() - start;
  });
  const handled = session ? await sendingsHandled(session) : 0;
  await site.goto("about:blank");
  if (session) await waitForSendings(session, handled + 1);
  return time;
}

async function main(out) {
  const scope = sharedScope();
  try {
    const sites = await startSites(scope);
    const small = await browserWith(scope, 10);
    const large = await browserWith(scope, 10_000);
    const site = await small.newPage(inputsPage(sites, 10));
    const bare = await (await launchExtension(scope, { extension: false })).newPage();
    const siteTab = await small.tabIdOf(site);
    const extensionPage = await small.openPopup(siteTab);
    const samples = {
      popup10: [],
      popup10000: [],
      fill10: [],
      fill1000: [],
      judge10: [],
      judge1000: [],
      workerForHost: [],
      forHostThroughWorker: [],
      load1000: [],
      content1000: [],
      churnWith: [],
      churnWithout: [],
    };
    for (let round = 0; round < ROUNDS; round++) {
      // Each size first in every other round: what runs before a fill (the popups' other
      // browser settling, say) weighs on both alike.
      for (const inputs of round % 2 ? [1000, 10] : [10, 1000]) {
        const fill = await commandFill(small, site, sites, inputs);
        samples[`fill${inputs}`].push(fill.total);
        samples[`judge${inputs}`].push(fill.judged);
        samples.workerForHost.push(fill.forHost);
        samples.forHostThroughWorker.push(await forHostThroughWorker(extensionPage, siteTab));
      }
      samples.load1000.push(await pageLoad(site, sites, 1000));
      samples.content1000.push(await contentScriptTime(site, sites, 1000));
      samples.churnWith.push(await churn(site, sites, small));
      samples.churnWithout.push(await churn(bare, sites));
      samples.popup10.push(await popupToFirstRows(small));
      samples.popup10000.push(await popupToFirstRows(large));
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
      figure(
        "for_host_through_worker",
        "`for-host` round trip through the worker, from an extension page, 10 logins",
        "ms",
        m.forHostThroughWorker,
      ),
      figure(
        "worker_for_host",
        "`for-host` round trip from the worker to the host, within the fill",
        "ms",
        m.workerForHost,
      ),
      figure("command_fill_10", "keyboard command: fill on a page of 10 inputs", "ms", m.fill10),
      figure(
        "command_fill_1000",
        "keyboard command: fill on a page of 1,000 inputs",
        "ms",
        m.fill1000,
      ),
      figure(
        "command_fill_ratio",
        "keyboard fill ÷ `for-host` round trip through the worker",
        "×",
        m.fill10 / m.forHostThroughWorker,
      ),
      figure("fill_judge_10", "fill's judgement, page of 10 inputs", "ms", m.judge10),
      figure("fill_judge_1000", "fill's judgement, page of 1,000 inputs", "ms", m.judge1000),
      figure(
        "fill_judge_ratio_1000",
        "fill's judgement, page of 1,000 ÷ 10 inputs",
        "×",
        m.judge1000 / m.judge10,
      ),
      figure("page_load_1000", "page load, 1,000 inputs", "ms", m.load1000),
      figure("content_time_1000", "content scripts' own time in that load", "ms", m.content1000),
      figure(
        "content_share_1000",
        "content scripts' own time ÷ page load, 1,000 inputs",
        "%",
        (100 * m.content1000) / m.load1000,
      ),
      figure(
        "page_churn_with",
        "page script adding and removing 10,000 nodes, with the extension",
        "ms",
        m.churnWith,
      ),
      figure("page_churn_without", "the same, without the extension", "ms", m.churnWithout),
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
