// What a page cannot do with the capture: plant an offer with a value its script set, get one
// from an http page or a foreign or sandboxed frame, aim one at another host, or see anything
// of it; and the table of forms the content script tells apart.
import assert from "node:assert/strict";
import { test } from "node:test";
import {
  at,
  dismissOffer,
  NO_OFFER,
  offerInPopup,
  PASSWORD,
  sendLogin,
  shared,
  useCaptureBrowser,
  USERNAME,
} from "./capture_fixture.mjs";
import {
  buttonOf,
  inContentScript,
  sendingsHandled,
  typeInto,
  waitForButton,
  waitForSendings,
} from "./harness.mjs";

useCaptureBrowser();

test("no offer: the stored login again, a value a script set, an http page, a foreign or sandboxed frame", async () => {
  const { popup, site, sites, siteTab, worker } = shared;
  const count = await popup.evaluate(() =>
    chrome.runtime.sendMessage({ type: "velkaron:request", op: "list", members: {} }),
  );
  await sendLogin("localhost", "capture_login.html"); // what the vault holds
  await site.waitForURL(/welcome\.html$/);
  assert.deepEqual(await buttonOf(worker, siteTab), NO_OFFER);

  // The page sets the password itself: nothing is even reported.
  const handled = await sendingsHandled(worker);
  await site.goto(at("planted.example.com", "capture_planted.html"));
  await typeInto(site, "#username", USERNAME);
  await site.click("#send");
  await site.waitForURL(/welcome\.html$/);
  await site.goto(`${sites.http}/capture_login.html`);
  await typeInto(site, "#username", USERNAME);
  await typeInto(site, "#password", "Unverschluesselt-7");
  await site.click("#send");
  await site.waitForURL(/welcome\.html$/);
  // A login sent afterwards is reported and offered: the two before it were not.
  await sendLogin("control.example.com", "capture_script.html", { password: "Kontrolle-8" });
  await waitForButton(worker, siteTab, "+");
  assert.equal(await sendingsHandled(worker), handled + 1);
  await dismissOffer();

  // Frames: both report (their content scripts run), the worker refuses both.
  await site.goto(at("localhost", "capture_frames.html"));
  for (const id of ["cross-origin", "sandboxed"]) {
    const before = await sendingsHandled(worker);
    const frame = site.frameLocator(`#${id}`);
    await typeInto(frame, "#username", USERNAME);
    await typeInto(frame, "#password", `Rahmen-${id}`);
    await frame.locator("#send").click();
    await waitForSendings(worker, before + 1);
    assert.deepEqual(await buttonOf(worker, siteTab), NO_OFFER, id);
  }
  assert.deepEqual(
    await popup.evaluate(() =>
      chrome.runtime.sendMessage({ type: "velkaron:request", op: "list", members: {} }),
    ),
    count,
    "nothing stored",
  );
});

test("the page sees nothing of the capture: the same events and DOM whether the password matches or not", async () => {
  const { site, siteTab, worker } = shared;
  const messages = [];
  worker.on("console", (message) => messages.push(message.text()));
  // The same length, so that the page's own record of its typing is alike.
  const observe = async (password) => {
    await site.goto(at("localhost", "capture_watched.html"));
    // What the page saw while it loaded is its own business.
    await site.evaluate(() => (window.log.length = 0));
    const before = await sendingsHandled(worker);
    await typeInto(site, "#username", USERNAME);
    await typeInto(site, "#password", password);
    await site.click("#send");
    await waitForSendings(worker, before + 1);
    await site.locator('#login[data-sent="ja"]').waitFor();
    return (await site.evaluate(() => window.observed())).replaceAll(password, "<getippt>");
  };
  const matching = await observe(PASSWORD);
  assert.deepEqual(await buttonOf(worker, siteTab), NO_OFFER);
  const differing = await observe("Pferd-Batterie-99");
  await waitForButton(worker, siteTab, "+");
  assert.ok(!differing.includes(PASSWORD), "the stored password never reaches the page");
  assert.equal(differing, matching);
  assert.ok(!messages.some((text) => text.includes("Pferd-Batterie")), "nothing logged");

  // The candidate is out of the content scripts' reach; they get no answer to a report.
  assert.equal(
    await inContentScript(
      shared.context,
      site,
      `async () => chrome.storage.session.get(null).then(() => "read", () => "refused")`,
    ),
    "refused",
  );
  await dismissOffer();
});

test("a content script cannot aim a capture at another host nor get an answer", async () => {
  const { context, site, siteTab, worker } = shared;
  await site.goto(at("localhost", "capture_login.html"));
  const before = await sendingsHandled(worker);
  const answer = await inContentScript(
    context,
    site,
    `async () => chrome.runtime.sendMessage({
      type: "velkaron:capture", host: "bank.example", origin: "https://bank.example",
      sending: { kind: "login", username: "x", password: "y", newPassword: "", host: "bank.example" },
    }).then((answer) => answer ?? "no answer", () => "no answer")`,
  );
  assert.equal(answer, "no answer");
  await waitForSendings(worker, before + 1);
  await waitForButton(worker, siteTab, "+");
  assert.match(await offerInPopup(), /Seite: localhost Benutzer: x /);
  await dismissOffer();
});

test("which form it was, and what is taken: a table of small forms", async () => {
  const { context, site } = shared;
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
    context,
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
});
