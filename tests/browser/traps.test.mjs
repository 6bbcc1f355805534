// Pages that want a stored password: fields a person cannot see or reach, the wrong form, a
// search box, a form that sends elsewhere, a page that moves fields while they are filled. The
// keyboard command runs on each, as the user would press it; the page's own records show
// whether it could have read the password.
import assert from "node:assert/strict";
import { test } from "node:test";
import {
  buttonOf,
  click,
  clickButton,
  frameOf,
  pressFillCommand,
  sharedSession,
  valueOf,
  waitForText,
} from "./browsers.mjs";
import { pageUrl } from "./fixtures.mjs";

const USERNAME = "erika@example.org";
const PASSWORD = "Pferd-Batterie-42";

const shared = sharedSession({
  logins: [{ host: "localhost", username: USERNAME, password: PASSWORD }],
  unlocked: true,
});

// Shows `markup` in the site's tab and runs the keyboard command there.
async function commandOn(markup) {
  const { session, site, sites, siteTab } = shared;
  await site.goto(pageUrl(sites, markup));
  return pressFillCommand(session, siteTab);
}

const value = (id) => valueOf(shared.site, `#${id}`);
const pageSawPassword = async () =>
  (await shared.site.evaluate(() => window.seen)).includes(PASSWORD);

const USER = `<label>E-Mail <input id="username" type="email"></label>`;
const trapField = (style) => `<input id="trap" type="password" style="${style}">`;

// Each page holds one login form whose password field (#trap) a person cannot see or reach.
const TRAPS = [
  [
    "placed far off the page, with the page's overflow hidden",
    `<style>html { overflow: hidden }</style><form>${USER}
      ${trapField("position: absolute; left: 20000px; top: 20000px")}</form>`,
  ],
  [
    "1 × 1 pixels",
    `<form>${USER}${trapField("width: 1px; height: 1px; padding: 0; border: 0")}</form>`,
  ],
  ["at opacity 0.01", `<form>${USER}${trapField("opacity: 0.01")}</form>`],
  [
    "under an opaque element",
    `<form>${USER}<span style="position: relative; display: inline-block">${trapField("")}
      <span style="position: absolute; inset: 0; background: white"></span></span></form>`,
  ],
  [
    "under an opaque element of pointer-events: none",
    `<form>${USER}<span style="position: relative; display: inline-block">${trapField("")}
      <span style="position: absolute; inset: 0; background: white; pointer-events: none"></span>
      </span></form>`,
  ],
  [
    "under an opaque element of pointer-events: none !important",
    `<form>${USER}<span style="position: relative; display: inline-block">${trapField("")}
      <span style="position: absolute; inset: 0; background: white; pointer-events: none !important">
      </span></span></form>`,
  ],
  ["cut away by clip-path", `<form>${USER}${trapField("clip-path: circle(2px)")}</form>`],
  [
    "under an ancestor of filter: opacity(0)",
    `<form>${USER}<div style="filter: opacity(0)">${trapField("")}</div></form>`,
  ],
  [
    "with transparent text, background and border",
    `<form>${USER}${trapField("color: transparent; background: transparent; border-color: transparent")}</form>`,
  ],
  [
    "with text in the background's colour",
    `<form>${USER}${trapField("color: rgb(255, 255, 255); background: white")}</form>`,
  ],
  [
    "inside a parent of height 0 and overflow hidden",
    `<form>${USER}<div style="height: 0; overflow: hidden">${trapField("")}</div></form>`,
  ],
  ["above the page", `<form>${USER}${trapField("position: absolute; top: -5000px")}</form>`],
  [
    "under a mask",
    `<form>${USER}<div style="mask-image: linear-gradient(transparent, transparent)">${trapField("")}</div></form>`,
  ],
  // Refused before this judgement was written, and still.
  ["of display: none", `<form>${USER}${trapField("display: none")}</form>`],
  ["of visibility: hidden", `<form>${USER}${trapField("visibility: hidden")}</form>`],
  ["at opacity 0", `<form>${USER}${trapField("opacity: 0")}</form>`],
  ["of no size", `<form>${USER}${trapField("width: 0; height: 0; padding: 0; border: 0")}</form>`],
  [
    "under an ancestor of opacity 0",
    `<form>${USER}<div style="opacity: 0">${trapField("")}</div></form>`,
  ],
  ["left of the page", `<form>${USER}${trapField("position: absolute; left: -5000px")}</form>`],
];

for (const [name, markup] of TRAPS) {
  test(`a password field ${name} is not filled`, async () => {
    assert.deepEqual(await commandOn(markup), {
      filled: false,
      reason: "hidden",
      host: "localhost",
    });
    assert.equal(await value("trap"), "");
    assert.equal(await value("username"), "");
    assert.equal(await pageSawPassword(), false);
  });
}

test("a password field far below the fold is not filled; the user is told to scroll", async () => {
  const markup = `<div style="height: 3000px"></div><form>${USER}${trapField("")}</form>`;
  assert.deepEqual(await commandOn(markup), { filled: false, reason: "scroll", host: "localhost" });
  assert.equal(await value("trap"), "");
  const [text, title] = await buttonOf(shared.session, shared.siteTab);
  assert.equal(text, "!");
  assert.match(title, /außerhalb des sichtbaren Bereichs/);
});

test("a login form in a 1 × 1 frame of the same origin is not filled", async () => {
  const markup = `<iframe id="frame" src="/login.html" style="width: 1px; height: 1px"></iframe>`;
  const { session, site, sites, siteTab } = shared;
  await site.goto(pageUrl(sites, markup));
  const frame = await frameOf(site, "frame");
  assert.equal((await pressFillCommand(session, siteTab)).filled, false);
  assert.equal(await valueOf(frame, "#password"), "");
});

test("a visible field of the same page is filled: the traps fail on their trap alone", async () => {
  assert.deepEqual(await commandOn(`<form>${USER}${trapField("")}</form>`), { filled: true });
  assert.equal(await value("trap"), PASSWORD);
  assert.equal(await value("username"), USERNAME);
});

test("a covered login form before the real one: the real one is filled", async () => {
  const covered = `<form><span style="position: relative; display: inline-block">
    <input id="covered-user" type="text">${trapField("")}
    <span style="position: absolute; inset: 0; background: white"></span></span></form>`;
  const real = `<form><input id="username" type="email"><input id="password" type="password"></form>`;
  assert.deepEqual(await commandOn(covered + real), { filled: true });
  assert.equal(await value("trap"), "");
  assert.equal(await value("covered-user"), "");
  assert.equal(await value("username"), USERNAME);
  assert.equal(await value("password"), PASSWORD);
});

test("without a <form>, a search box before the password gets no user name", async () => {
  for (const search of [
    `<input id="search" type="search">`,
    `<div role="search"><input id="search" type="text"></div>`,
  ]) {
    const markup = `<header>${search}</header><main><input id="password" type="password"></main>`;
    assert.deepEqual(await commandOn(markup), { filled: true });
    assert.equal(await value("search"), "");
    assert.equal(await value("password"), PASSWORD);
  }
});

test("the user name goes into a visible field, never into a hidden one marked for it", async () => {
  const markup = `<form><input id="hidden-user" autocomplete="username" style="opacity: 0">
    <input id="username" type="text"><input id="password" type="password"></form>`;
  assert.deepEqual(await commandOn(markup), { filled: true });
  assert.equal(await value("hidden-user"), "");
  assert.equal(await value("username"), USERNAME);
});

const TWO_FORMS = `<form id="first"><input id="first-user"><input id="first-password" type="password"></form>
  <form id="second"><input id="second-user"><input id="second-password" type="password"></form>`;

test("of two login forms, the one the user pressed in is filled", async () => {
  const { session, site, siteTab } = shared;
  assert.deepEqual(await commandOn(TWO_FORMS), {
    filled: false,
    reason: "several",
    host: "localhost",
  });
  // A script's focus and its made-up presses do not count as the user's.
  await site.evaluate(() => {
    document.querySelector("#first-user").focus();
    for (const type of ["pointerdown", "keydown"]) {
      document.querySelector("#first-user").dispatchEvent(new Event(type, { bubbles: true }));
    }
  });
  assert.equal((await pressFillCommand(session, siteTab)).reason, "several");
  await click(site, "#second-user");
  assert.deepEqual(await pressFillCommand(session, siteTab), { filled: true });
  assert.equal(await value("second-user"), USERNAME);
  assert.equal(await value("second-password"), PASSWORD);
  assert.equal(await value("first-user"), "");
  assert.equal(await value("first-password"), "");
});

test("both fields are set before the page hears of either", async () => {
  // The page moves the password field out of sight on the user name's first event.
  const markup = `<form><input id="username" type="email"><input id="password" type="password"></form>
    <div id="hide" style="display: none"></div>
    <script>
      document.querySelector("#username").addEventListener("input", () => {
        window.passwordAtFirstEvent = document.querySelector("#password").value;
        document.querySelector("#hide").append(document.querySelector("#password"));
      }, { once: true });
    </script>`;
  assert.deepEqual(await commandOn(markup), { filled: true });
  assert.equal(await shared.site.evaluate(() => window.passwordAtFirstEvent), PASSWORD);
});

test("a form that sends elsewhere: not by the command; by the popup on a second click", async () => {
  const { session, sites, siteTab } = shared;
  for (const [action, named] of [
    ["https://sammler.test/login", "sammler.test"],
    [`http://localhost:${sites.port}/login`, "http://localhost"],
  ]) {
    const markup = `<form action="${action}"><input id="username" type="email">
      <input id="password" type="password"></form>`;
    assert.deepEqual(await commandOn(markup), {
      filled: false,
      reason: "action",
      host: "localhost",
      actionHost: named,
    });
    assert.equal(await value("password"), "");

    const popup = await session.openPopup(siteTab);
    await clickButton(popup, "#site-logins li", "Einfüllen");
    await waitForText(popup, "#notice", new RegExp(`^Dieses Formular sendet an ${named},`));
    assert.equal(await value("password"), "");
    await clickButton(popup, "#site-logins li", "Einfüllen");
    await waitForText(popup, "#notice", /^Eingefüllt\.$/);
    assert.equal(await value("password"), PASSWORD);
    await popup.close();
  }
});
