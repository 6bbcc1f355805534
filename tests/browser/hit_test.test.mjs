// The fill's hit test against covers whose `pointer-events: none` comes from the page's style
// sheets, SVG attributes and animations rather than a `style` attribute: the hit test makes
// only the elements that could have it hit-testable, so each source must be found. The
// keyboard command runs on each page; the page's own records show whether it could have read
// the password.
import assert from "node:assert/strict";
import { test } from "node:test";
import { pressFillCommand, sharedSession, valueOf } from "./browsers.mjs";
import { pageUrl } from "./fixtures.mjs";

const PASSWORD = "Pferd-Batterie-42";

const shared = sharedSession({
  logins: [{ host: "localhost", username: "erika", password: PASSWORD }],
  unlocked: true,
});

// A login form whose password field lies under `cover`, an opaque box over the whole field.
const covered = (style, cover) => `<style>${style}</style><form><input id="username">
  <span style="position: relative; display: inline-block"><input id="password" type="password">
  ${cover}</span></form>`;
const BOX = "position: absolute; inset: 0; background: white";
const SVG_COVER = `<svg pointer-events="none" style="position: absolute; inset: 0" width="100%"
  height="100%"><rect width="100%" height="100%" fill="white"/></svg>`;

const COVERS = [
  [
    "a rule of the page",
    covered(`.cover { pointer-events: none }`, `<span class="cover" style="${BOX}"></span>`),
  ],
  [
    "an !important rule of the page, more specific than others",
    covered(
      `span.cover.cover { pointer-events: none !important } .cover { pointer-events: auto }`,
      `<span class="cover" style="${BOX}"></span>`,
    ),
  ],
  [
    "a rule for a parent it inherits from",
    covered(
      `.layer { pointer-events: none }`,
      `<span class="layer"><span style="${BOX}"></span></span>`,
    ),
  ],
  [
    "a rule inside @media and @supports",
    covered(
      `@media screen { @supports (display: block) { #cover { pointer-events: none } } }`,
      `<span id="cover" style="${BOX}"></span>`,
    ),
  ],
  ["an SVG attribute of the element around it", covered("", SVG_COVER)],
  [
    "a style sheet's animation",
    covered(
      `@keyframes through { from, to { pointer-events: none } } .cover { animation: through 1000s }`,
      `<span class="cover" style="${BOX}"></span>`,
    ),
  ],
  [
    "a script's animation",
    covered(
      "",
      `<span id="cover" style="${BOX}"></span><script>document.getElementById("cover")
        .animate([{ pointerEvents: "none" }, { pointerEvents: "none" }], 1e9)</script>`,
    ),
  ],
];

for (const [source, markup] of COVERS) {
  test(`a password field under a cover of pointer-events: none from ${source} stays empty`, async () => {
    const { session, site, sites, siteTab } = shared;
    await site.goto(pageUrl(sites, markup));
    assert.deepEqual(await pressFillCommand(session, siteTab), {
      filled: false,
      reason: "hidden",
      host: "localhost",
    });
    assert.equal(await valueOf(site, "#password"), "");
    assert.equal((await site.evaluate(() => window.seen)).includes(PASSWORD), false);
  });
}

test("an element of pointer-events: none beside the form keeps nothing from being filled", async () => {
  const { session, site, sites, siteTab } = shared;
  const beside = `<style>.veil { pointer-events: none }</style>
    <div class="veil" style="height: 40px; background: white"></div>
    <form><input id="username"><input id="password" type="password"></form>`;
  await site.goto(pageUrl(sites, beside));
  assert.deepEqual(await pressFillCommand(session, siteTab), { filled: true });
  assert.equal(await valueOf(site, "#password"), PASSWORD);
});

test("an SVG cover over one login form keeps nothing from filling the real one after it", async () => {
  const { session, site, sites, siteTab } = shared;
  const first = `<form><span style="position: relative; display: inline-block">
    <input id="covered" type="password">${SVG_COVER}</span></form>`;
  const real = `<form><input id="username"><input id="password" type="password"></form>`;
  await site.goto(pageUrl(sites, first + real));
  assert.deepEqual(await pressFillCommand(session, siteTab), { filled: true });
  assert.equal(await valueOf(site, "#covered"), "");
  assert.equal(await valueOf(site, "#password"), PASSWORD);
});
