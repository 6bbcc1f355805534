// The extension's rules that need no browser: the pure part of the fill's judgement, the host
// rule the worker applies to offers and form actions, the choice of frames, and the rules of
// the fill's hand-over, run with a stand-in for the browser's API.
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { test } from "node:test";
import vm from "node:vm";
import { EXTENSION_DIR } from "./fixtures.mjs";

const Fillable = vm.runInThisContext(
  `${readFileSync(`${EXTENSION_DIR}/content/fillable.js`, "utf8")}\nFillable`,
);
const { actionKeepsToTheSite, distance, orderOffers } = await import(
  `${EXTENSION_DIR}/background/host_rule.js`
);
const { decide } = await import(`${EXTENSION_DIR}/background/capture.js`);
const { chooseFrame, createAutofill, fillableFrames } = await import(
  `${EXTENSION_DIR}/background/autofill.js`
);

test("colours: computed forms are read, others are left unjudged", () => {
  const cases = [
    ["rgb(29, 35, 48)", { r: 29, g: 35, b: 48, a: 1 }],
    ["rgba(0, 0, 0, 0.5)", { r: 0, g: 0, b: 0, a: 0.5 }],
    ["rgb(0 0 0 / 0.25)", { r: 0, g: 0, b: 0, a: 0.25 }],
    ["transparent", { r: 0, g: 0, b: 0, a: 0 }],
    ["oklch(0.5 0.1 200)", null],
    ["rgb(1, 2)", null],
  ];
  for (const [text, color] of cases) assert.deepEqual(Fillable.parseColor(text), color, text);
});

test("text is readable only with enough contrast to the background behind it", () => {
  const white = { r: 255, g: 255, b: 255, a: 1 };
  const cases = [
    ["black on white", { r: 0, g: 0, b: 0, a: 1 }, white, true],
    ["grey on white", { r: 118, g: 118, b: 118, a: 1 }, white, true],
    ["white on white", white, white, false],
    ["near white on white", { r: 250, g: 250, b: 250, a: 1 }, white, false],
    ["transparent black on white", { r: 0, g: 0, b: 0, a: 0 }, white, false],
    ["black at 5 % on white", { r: 0, g: 0, b: 0, a: 0.05 }, white, false],
    ["black at 60 % on white", { r: 0, g: 0, b: 0, a: 0.6 }, white, true],
  ];
  for (const [name, text, background, readable] of cases) {
    assert.equal(Fillable.readable(text, background), readable, name);
  }
  assert.equal(Math.round(Fillable.contrast({ r: 0, g: 0, b: 0 }, white)), 21);
});

test("filter opacity multiplies every opacity() of a computed filter", () => {
  const cases = [
    ["none", 1],
    ["opacity(0)", 0],
    ["opacity(0.5)", 0.5],
    ["opacity(50%)", 0.5],
    ["blur(2px) opacity(0.5) opacity(0.5)", 0.25],
  ];
  for (const [filter, factor] of cases)
    assert.equal(Fillable.filterOpacity(filter), factor, filter);
});

test("rectangles overlap only with an area", () => {
  const a = { left: 0, top: 0, right: 10, bottom: 10 };
  assert.deepEqual(Fillable.intersect(a, { left: 5, top: -5, right: 20, bottom: 5 }), {
    left: 5,
    top: 0,
    right: 10,
    bottom: 5,
  });
  assert.equal(Fillable.intersect(a, { left: 10, top: 0, right: 20, bottom: 10 }), null);
  assert.equal(Fillable.intersect(a, { left: 0, top: 20000, right: 10, bottom: 20010 }), null);
});

test("the host rule: distances of stored hosts to a requested one", () => {
  const cases = [
    ["shop.test", "shop.test", 0],
    ["www.shop.test", "shop.test", 0],
    ["shop.test", "www.shop.test", 0],
    ["WWW.shop.test", "www.WWW.shop.test", 0],
    ["shop.test", "a.b.shop.test", 2],
    ["www.shop.test", "login.www.shop.test", 1],
    ["www.shop.test", "user-content.shop.test", null],
    ["0.0.1", "127.0.0.1", null],
    ["127.0.0.1", "127.0.0.1", 0],
    ["", "example.com.", null],
    ["www.", "example.com.", null],
    ["example.com", "badexample.com", null],
  ];
  for (const [stored, requested, far] of cases) {
    assert.equal(distance(stored, requested), far, `${stored} for ${requested}`);
  }
});

test("offers: the exact host first, then closer parents, file order within", () => {
  const logins = ["shop.test", "a.shop.test", "www.a.shop.test", "shop.test", "b.a.shop.test"].map(
    (host, id) => ({ id, host }),
  );
  assert.deepEqual(
    orderOffers(logins, "b.a.shop.test").map(({ id }) => id),
    [4, 1, 0, 3, 2],
    "a login that does not match keeps its place at the end",
  );
});

test("a form may be filled without asking only when it sends over HTTPS to this site", () => {
  const cases = [
    ["https://shop.test/login", "shop.test", true],
    ["https://login.shop.test/", "shop.test", true],
    ["https://shop.test/", "login.shop.test", true],
    ["http://shop.test/login", "shop.test", false],
    ["https://collect.example/", "shop.test", false],
    ["https://user-content.shop.test/", "www.shop.test", false],
    ["javascript:void(0)", "shop.test", false],
    ["nicht einmal eine Adresse", "shop.test", false],
  ];
  for (const [action, host, keeps] of cases) {
    assert.equal(actionKeepsToTheSite(action, host), keeps, `${action} on ${host}`);
  }
});

test("frames: only those whose whole chain up to the top is the top's origin", () => {
  const top = "https://shop.test";
  const frames = [
    { frameId: 0, parentFrameId: -1, documentId: "top", url: `${top}/` },
    { frameId: 1, parentFrameId: 0, documentId: "same", url: `${top}/login` },
    { frameId: 2, parentFrameId: 0, documentId: "foreign", url: "https://ads.example/" },
    { frameId: 3, parentFrameId: 2, documentId: "same-in-foreign", url: `${top}/login` },
    { frameId: 4, parentFrameId: 1, documentId: "same-in-same", url: `${top}/inner` },
    { frameId: 5, parentFrameId: 0, documentId: "plain", url: "http://shop.test/" },
    { frameId: 6, parentFrameId: 0, documentId: undefined, url: `${top}/gone` },
  ];
  assert.deepEqual(
    fillableFrames(frames, top).map((frame) => frame.documentId),
    ["top", "same", "same-in-same"],
  );
});

test("the frame of the form the user is on", () => {
  const ready = (name, at = null) => ({ frame: name, probe: { state: "ready", at, action: "" } });
  const other = (name, state) => ({ frame: name, probe: { state } });
  const cases = [
    ["the only ready frame", [ready("a"), other("b", "no-form")], "a"],
    ["the one pressed in last", [ready("a", 5), ready("b", 9), ready("c")], "b"],
    ["two without a press", [ready("a"), ready("b")], { reason: "several" }],
    ["one ready, one with several", [ready("a"), other("b", "several")], { reason: "several" }],
    ["below the fold", [other("a", "scroll"), other("b", "no-form")], { reason: "scroll" }],
    ["nothing answered", [{ frame: "a", probe: null }], { reason: "no-form" }],
  ];
  for (const [name, answers, expected] of cases) {
    const chosen = chooseFrame(answers);
    assert.deepEqual(typeof expected === "string" ? chosen.frame : chosen, expected, name);
  }
});

// The fill with a stand-in browser: one tab of https://shop.test with one frame, and a vault
// holding one login for it and one for another host. `whileAsked` runs while the host is
// asked for the logins (the page or the clock may move meanwhile); `sent` holds every message
// to the tab with its options.
function fakeBrowser() {
  const browser = {
    topUrl: "https://shop.test/login",
    clock: 1_000_000,
    whileAsked: () => {},
    sent: [],
  };
  const logins = [
    { id: "other", host: "elsewhere.test", username: "x", password: "fremd" },
    { id: "mine", host: "shop.test", username: "erika", password: "geheim" },
  ];
  const client = {
    async request(op, members) {
      if (op === "status") return { unlocked: true };
      assert.equal(op, "for-host");
      browser.whileAsked(browser);
      return logins.filter((login) => login.host === members.host);
    },
  };
  globalThis.chrome = {
    webNavigation: {
      getFrame: async () => ({ url: browser.topUrl }),
      getAllFrames: async () => [
        { frameId: 0, parentFrameId: -1, documentId: "doc", url: browser.topUrl },
      ],
    },
    tabs: {
      async sendMessage(tabId, message, options) {
        browser.sent.push({ message, options });
        if (message.type !== "velkaron:probe") return { filled: true };
        return {
          state: "ready",
          at: null,
          action: "https://shop.test/",
          origin: "https://shop.test",
        };
      },
    },
  };
  browser.autofill = createAutofill(client, () => browser.clock);
  return browser;
}

test("the login goes once, to the probed document, in time, while the top stays", async (t) => {
  t.after(() => delete globalThis.chrome);
  const cases = [
    ["handed over", () => {}, { filled: true }],
    [
      "after the time ran out",
      (b) => (b.clock += 10_001),
      { filled: false, reason: "no-login", host: "shop.test" },
    ],
    [
      "after the top frame went to another origin",
      (b) => (b.topUrl = "https://elsewhere.test/"),
      { filled: false, reason: "changed", host: "shop.test" },
    ],
  ];
  for (const [name, whileAsked, expected] of cases) {
    for (const entryId of ["mine", null]) {
      const browser = fakeBrowser();
      browser.whileAsked = whileAsked;
      assert.deepEqual(await browser.autofill.fill(7, entryId), expected, name);
      const withLogin = browser.sent.filter(({ message }) => "login" in message);
      const handedOver = expected.filled
        ? [
            {
              message: {
                type: "velkaron:fill",
                action: "https://shop.test/",
                login: { username: "erika", password: "geheim" },
              },
              options: { documentId: "doc" },
            },
          ]
        : [];
      assert.deepEqual(withLogin, handedOver, `${name}, ${entryId ?? "keyboard"}`);
    }
  }
});

test("a fill naming a login of another host asks no frame for anything", async (t) => {
  t.after(() => delete globalThis.chrome);
  const browser = fakeBrowser();
  assert.deepEqual(await browser.autofill.fill(7, "other"), {
    filled: false,
    reason: "no-match",
    host: "shop.test",
  });
  assert.deepEqual(browser.sent, []);
});

test("what a sent form is offered against the logins the vault serves its host", () => {
  const login = (id, username, password) => ({ id, host: "shop.test", username, password });
  const stored = [login("a", "erika", "alt-1"), login("b", "max", "alt-2"), login("c", "", "ohne")];
  const offer = (username, password, current = "") => ({ username, password, current });
  const cases = [
    ["the stored login again", offer("erika", "alt-1"), null],
    ["the same user, another password", offer("erika", "neu"), "update a"],
    ["another user", offer("lena", "neu"), "save"],
    ["no user name, like the stored one without", offer("", "neu"), "update c"],
    ["a change whose current password is stored", offer("max", "neu", "alt-2"), "update b"],
    [
      "a change without user name aims by the current password",
      offer("", "neu", "alt-1"),
      "update a",
    ],
    ["a change to the stored password", offer("erika", "alt-1", "alt-0"), null],
    ["a change whose current password is of another user", offer("lena", "neu", "alt-1"), "save"],
  ];
  for (const [name, sent, expected] of cases) {
    const decided = decide(sent, stored);
    const got = decided && `${decided.action}${decided.login ? ` ${decided.login.id}` : ""}`;
    assert.equal(got, expected, name);
  }
  // The first match in the fill's order wins: the exact host before a parent domain.
  const ordered = [
    login("exact", "erika", "x"),
    { ...login("parent", "erika", "y"), host: "test" },
  ];
  assert.equal(decide(offer("erika", "z"), ordered).login.id, "exact");
});
