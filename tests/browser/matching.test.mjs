// Which stored logins a site is offered: not those of a sibling subdomain, not those of a
// shorter IP address, and the most specific first, in the popup, by the keyboard command and
// through `for-host` itself.
import assert from "node:assert/strict";
import { test } from "node:test";
import { pressFillCommand, sharedSession, valueOf, waitForText } from "./browsers.mjs";
import { askLineHost, MASTER } from "./fixtures.mjs";

// In this order in the file: the parent domain before the exact host of x.shop.test.
const LOGINS = [
  { host: "www.shop.test", username: "www-nutzer", password: "www-geheim" },
  { host: "shop.test", username: "shop-nutzer", password: "shop-geheim" },
  { host: "x.shop.test", username: "x-nutzer", password: "x-geheim" },
  { host: "0.0.1", username: "kurz-nutzer", password: "kurz-geheim" },
];

const shared = sharedSession({ logins: LOGINS, unlocked: true });

// What the popup offers on the page of `host`, top to bottom.
async function offeredOn(host) {
  const { session, site, sites, siteTab } = shared;
  await site.goto(`https://${host}:${sites.port}/login.html`);
  const popup = await session.openPopup(siteTab);
  // The host, the reason and the offers are shown at once.
  await waitForText(popup, "#site-host", new RegExp(`\\(${host.replaceAll(".", "\\.")}\\)`));
  const offers = await popup.$$eval("#site-logins li span", (spans) =>
    spans.map((span) => span.textContent),
  );
  const reason = await popup.$eval("#site-reason", (element) => element.textContent);
  await popup.close();
  return { offers, reason };
}

// The keyboard command on the site's tab, and what it put into the page.
async function commandFills() {
  const { session, site, siteTab } = shared;
  const result = await pressFillCommand(session, siteTab);
  return {
    result,
    username: await valueOf(site, "#username"),
    password: await valueOf(site, "#password"),
  };
}

test("a sibling subdomain is not offered the login of www.", async () => {
  assert.deepEqual(await offeredOn("user-content.shop.test"), {
    offers: ["shop-nutzer"],
    reason: "",
  });
  assert.deepEqual(await commandFills(), {
    result: { filled: true },
    username: "shop-nutzer",
    password: "shop-geheim",
  });
});

test("the exact host's login comes first, before the parent domain's", async () => {
  assert.deepEqual(await offeredOn("x.shop.test"), {
    offers: ["x-nutzer", "shop-nutzer"],
    reason: "",
  });
  assert.deepEqual(await commandFills(), {
    result: { filled: true },
    username: "x-nutzer",
    password: "x-geheim",
  });
});

test("an IP address is not offered the login of a shorter address", async () => {
  assert.deepEqual(await offeredOn("127.0.0.1"), {
    offers: [],
    reason: "Keine gespeicherte Anmeldung für 127.0.0.1.",
  });
  assert.deepEqual(await commandFills(), {
    result: { filled: false, reason: "no-match", host: "127.0.0.1" },
    username: "",
    password: "",
  });
});

test("for-host answers the same", async () => {
  const hosts = (host) => ({ id: 2, op: "for-host", host, secure: true });
  const { responses } = await askLineHost(shared.vaultPath, [
    { id: 1, op: "unlock", password: MASTER },
    hosts("user-content.shop.test"),
    hosts("127.0.0.1"),
    hosts("www.shop.test"),
  ]);
  const found = responses.slice(1).map((response) => response.data.map((login) => login.host));
  assert.deepEqual(found, [["shop.test"], [], ["www.shop.test", "shop.test"]]);
});
