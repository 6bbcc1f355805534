// What a page cannot do with the capture: plant an offer with a value its script set, get one
// from an http page or a foreign or sandboxed frame, aim one at another host, or see anything
// of it; and the table of forms the content script tells apart.
import assert from "node:assert/strict";
import { test } from "node:test";
import {
  ask,
  buttonOf,
  CHROMIUM_ONLY,
  click,
  frameOf,
  inContentScript,
  sendingsHandled,
  typeInto,
  waitForButton,
  waitForSendings,
  waitForUrl,
} from "./browsers.mjs";
import {
  at,
  dismissOffer,
  NO_OFFER,
  offerInPopup,
  PASSWORD,
  sendLogin,
  shared,
  USERNAME,
} from "./capture_fixture.mjs";

test("no offer: the stored login again, a value a script set, an http page, a foreign or sandboxed frame", async () => {
  const { popup, session, site, sites, siteTab } = shared;
  const stored = await ask(popup, "list");
  await sendLogin("localhost", "capture_login.html"); // what the vault holds
  await waitForUrl(site, /welcome\.html$/);
  assert.deepEqual(await buttonOf(session, siteTab), NO_OFFER);

  // The page sets the password itself, by its value or by an editing command: nothing is even
  // reported.
  const handled = await sendingsHandled(session);
  for (const page of ["capture_planted.html", "capture_planted.html?via=exec"]) {
    await site.goto(at("planted.example.com", page));
    await typeInto(site, "#username", USERNAME);
    assert.equal(await site.$eval("#password", (field) => field.value), "gepflanzt-123", page);
    await click(site, "#send");
    await waitForUrl(site, /welcome\.html$/);
  }
  await site.goto(`${sites.http}/capture_login.html`);
  await typeInto(site, "#username", USERNAME);
  await typeInto(site, "#password", "Unverschluesselt-7");
  await click(site, "#send");
  await waitForUrl(site, /welcome\.html$/);
  // A login sent afterwards is reported and offered: the two before it were not.
  await sendLogin("control.example.com", "capture_script.html", { password: "Kontrolle-8" });
  await waitForButton(session, siteTab, "+");
  assert.equal(await sendingsHandled(session), handled + 1);
  await dismissOffer();

  // Frames: both report (their content scripts run), the worker refuses both.
  await site.goto(at("localhost", "capture_frames.html"));
  for (const id of ["cross-origin", "sandboxed"]) {
    const before = await sendingsHandled(session);
    const frame = await frameOf(site, id);
    await typeInto(frame, "#username", USERNAME);
    await typeInto(frame, "#password", `Rahmen-${id}`);
    await click(frame, "#send");
    await waitForSendings(session, before + 1);
    assert.deepEqual(await buttonOf(session, siteTab), NO_OFFER, id);
  }
  assert.deepEqual(await ask(popup, "list"), stored, "nothing stored");
});

test("the page sees nothing of the capture: the same events and DOM whether the password matches or not", async () => {
  const { session, site, siteTab } = shared;
  // What the background writes to its console, kept where the test can read it.
  await session.inBackground((background) => {
    background.logged = [];
    for (const level of ["log", "info", "warn", "error", "debug"]) {
      const original = background.console[level];
      background.console[level] = (...args) => {
        background.logged.push(args.map(String).join(" "));
        original.apply(background.console, args);
      };
    }
  });
  // The same length, so that the page's own record of its typing is alike.
  const observe = async (password) => {
    await site.goto(at("localhost", "capture_watched.html"));
    // What the page saw while it loaded is its own business.
    await site.evaluate(() => (window.log.length = 0));
    const before = await sendingsHandled(session);
    await typeInto(site, "#username", USERNAME);
    await typeInto(site, "#password", password);
    await click(site, "#send");
    await waitForSendings(session, before + 1);
    await site.waitForSelector('#login[data-sent="ja"]');
    // The page's record of the typing, key by key, differs only in what was typed.
    const [log, ...rest] = JSON.parse(await site.evaluate(() => window.observed()));
    const masked = (value) => (value && password.startsWith(value) ? "<getippt>" : value);
    const seen = log.map(([kind, type, id, value, ...more]) => [
      kind,
      type,
      id,
      masked(value),
      ...more,
    ]);
    return JSON.stringify([seen, ...rest]).replaceAll(password, "<getippt>");
  };
  // Once before, so that both runs start with the pointer where the last one left it (Firefox
  // reports its way into the page by where it was).
  await observe(PASSWORD);
  const matching = await observe(PASSWORD);
  assert.deepEqual(await buttonOf(session, siteTab), NO_OFFER);
  const differing = await observe("Pferd-Batterie-99");
  await waitForButton(session, siteTab, "+");
  assert.ok(!differing.includes(PASSWORD), "the stored password never reaches the page");
  assert.equal(differing, matching);
  const logged = await session.inBackground((background) => background.logged);
  assert.ok(!logged.some((text) => text.includes("Pferd-Batterie")), "nothing logged");
  await dismissOffer();
});

test("the candidate is out of the content scripts' reach", { skip: CHROMIUM_ONLY }, async () => {
  const { session, site, siteTab } = shared;
  await sendLogin("localhost", "capture_script.html", { password: "Ausser-Reichweite" });
  await waitForButton(session, siteTab, "+");
  assert.equal(
    await inContentScript(
      site,
      `async () => chrome.storage.session.get(null).then(() => "read", () => "refused")`,
    ),
    "refused",
  );
  await dismissOffer();
});

test(
  "a content script cannot aim a capture at another host nor get an answer",
  { skip: CHROMIUM_ONLY },
  async () => {
    const { session, site, siteTab } = shared;
    await site.goto(at("localhost", "capture_login.html"));
    const before = await sendingsHandled(session);
    const answer = await inContentScript(
      site,
      `async () => chrome.runtime.sendMessage({
      type: "velkaron:capture", host: "bank.example", origin: "https://bank.example",
      sending: { kind: "login", username: "x", password: "y", newPassword: "", host: "bank.example" },
    }).then((answer) => answer ?? "no answer", () => "no answer")`,
    );
    assert.equal(answer, "no answer");
    await waitForSendings(session, before + 1);
    await waitForButton(session, siteTab, "+");
    assert.match(await offerInPopup(), /Seite: localhost Benutzer: x /);
    await dismissOffer();
  },
);

test(
  "which form it was, and what is taken: a table of small forms",
  { skip: CHROMIUM_ONLY },
  async () => {
    const { site } = shared;
    await site.goto(at("localhost", "welcome.html"));
    // `data-typed` stands for a value the user typed; `value` alone is one a script or the
    // server set.
    const user = (typed = USERNAME) => `<input type="email" data-typed="${typed}">`;
    const pw = (typed, mark = "") =>
      `<input type="password" autocomplete="${mark}" data-typed="${typed}">`;
    const login = (username, password, newPassword = "") => ({
      kind: newPassword ? (password ? "change" : "signup") : "login",
      username,
      password,
      newPassword,
    });
    const cases = [
      ["a login", `<form>${user()}${pw("a")}</form>`, login(USERNAME, "a")],
      [
        "a login without a form",
        `<div>${user()}${pw("a")}<button>Los</button></div>`,
        login(USERNAME, "a"),
      ],
      [
        "the marked user-name field before the nearer text field",
        `<form><input autocomplete="username" data-typed="konto"><input type="text" data-typed="anderes">${pw("a")}</form>`,
        login("konto", "a"),
      ],
      [
        "a hidden, read-only user name of a change form",
        `<form><input type="hidden" autocomplete="username" value="konto">${pw("alt", "current-password")}${pw("neu", "new-password")}${pw("neu", "new-password")}</form>`,
        login("konto", "alt", "neu"),
      ],
      [
        "a sign-up with two marked new passwords",
        `<form>${user()}${pw("neu", "new-password")}${pw("neu", "new-password")}</form>`,
        login(USERNAME, "", "neu"),
      ],
      [
        "a sign-up with two equal unmarked passwords",
        `<form>${user()}${pw("neu")}${pw("neu")}</form>`,
        login(USERNAME, "", "neu"),
      ],
      [
        "a change with three unmarked passwords",
        `<form>${pw("alt")}${pw("neu")}${pw("neu")}</form>`,
        login("", "alt", "neu"),
      ],
      [
        "a change with a current and one new password",
        `<form>${pw("alt")}${pw("neu")}</form>`,
        login("", "alt", "neu"),
      ],
      [
        "a repeat that differs",
        `<form>${user()}${pw("neu", "new-password")}${pw("neo", "new-password")}</form>`,
        null,
      ],
      [
        "a password a script set",
        `<form>${user()}<input type="password" value="gepflanzt"></form>`,
        null,
      ],
      [
        "a field nobody typed in beside the typed password",
        `<form>${user()}<input type="password" style="display:none" value="x">${pw("a")}</form>`,
        login(USERNAME, "a"),
      ],
      [
        "a text field after the password is no user name",
        `<form>${pw("a")}<input type="text" data-typed="nach"></form>`,
        login("", "a"),
      ],
      [
        "a search box is no user name",
        `<form><input type="search" data-typed="suche">${pw("a")}</form>`,
        login("", "a"),
      ],
      [
        "the first step of two",
        `<form>${user("zwei@example.org")}</form>`,
        { kind: "username", username: "zwei@example.org" },
      ],
      ["a search form", `<form><input type="text" name="q" data-typed="suche"></form>`, null],
    ];
    const results = await inContentScript(
      site,
      `async () => ${JSON.stringify(cases.map(([, html]) => html))}.map((html) => {
      const box = document.createElement("div");
      box.innerHTML = html;
      document.body.append(box);
      const result = LoginCapture.read(box.querySelector("form") ?? box,
        (field) => field.dataset.typed ?? null);
      box.remove();
      return result;
    })`,
    );
    cases.forEach(([name, , expected], i) => assert.deepEqual(results[i], expected, name));
  },
);
