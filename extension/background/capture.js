// Offers to save or update a login the user sent in a page (docs/browser.md#saving-logins).
// The content script reports only what the user typed; everything else is decided here: the
// host comes from the browser's report of the sending frame, whether that frame may be
// captured from the browser's view of its ancestors, and what to offer from the vault. The
// candidate waits in storage.session (memory only, not readable by content scripts) for the
// user's click in the extension's own UI, and is wiped when its offer ends.
import { CAPTURE_OFF_KEY, OFFER_MINUTES, TWO_STEP_MINUTES } from "../shared/constants.js";
import { captureEnabled, neverHosts, addNeverHost } from "../shared/capture_setting.js";
import { fillableFrames, httpsOrigin } from "./autofill.js";
import { orderOffers } from "./host_rule.js";

const OFFER_MS = OFFER_MINUTES * 60_000;
const TWO_STEP_MS = TWO_STEP_MINUTES * 60_000;
const STATE_KEY = "velkaron:capture";
const EXPIRY_ALARM = "velkaron:capture-expiry";
const MAX_TEXT = 4096; // longer than any user name or password a person types
const KINDS = new Set(["username", "login", "signup", "change"]);

export const QUESTIONS = { save: "Anmeldung speichern?", update: "Passwort aktualisieren?" };

// What to offer for `offer` against the logins the vault serves its host, in the fill's order:
// null for nothing (the vault holds it already), else { action: "save" } or
// { action: "update", login }. A change form aims at the login whose password is the current
// one typed; otherwise the login of the same user name.
export function decide(offer, logins) {
  const { username, password, current } = offer;
  if (logins.some((l) => l.username === username && l.password === password)) return null;
  const changed =
    current && logins.find((l) => l.password === current && (!username || l.username === username));
  const target = changed || logins.find((l) => l.username === username);
  return target ? { action: "update", login: target } : { action: "save" };
}

const isText = (value) => typeof value === "string" && value.length <= MAX_TEXT;

// A content script's report, held to its shape; null when it is not one.
function readSending(sending) {
  if (!sending || !KINDS.has(sending.kind) || !isText(sending.username)) return null;
  if (sending.kind === "username") {
    return sending.username ? { kind: "username", username: sending.username } : null;
  }
  const { kind, username, password = "", newPassword = "" } = sending;
  if (!isText(password) || !isText(newPassword)) return null;
  const wanted = { login: [true, false], signup: [false, true], change: [true, true] }[kind];
  if (Boolean(password) !== wanted[0] || Boolean(newPassword) !== wanted[1]) return null;
  return { kind, username, password, newPassword };
}

// `badge` shows an offer on the extension's button (badge.js); `now` is the clock.
export function createCapture(client, badge, now = Date.now) {
  // Every change of the stored state runs after the one before, so none is lost.
  let queue = Promise.resolve();
  function update(change) {
    const run = queue.then(async () => {
      const stored = (await chrome.storage.session.get(STATE_KEY))[STATE_KEY];
      const state = stored ?? { offers: {}, steps: {}, undos: {} };
      const result = await change(state);
      await chrome.storage.session.set({ [STATE_KEY]: state });
      return result;
    });
    queue = run.catch(() => {});
    return run;
  }

  // Whether the browser reports the sending frame as one the fill could fill: HTTPS, of the
  // top frame's origin all the way up, not sandboxed (whose origin is opaque).
  async function capturable(sender, origin) {
    const frames = await chrome.webNavigation
      .getAllFrames({ tabId: sender.tab.id })
      .catch(() => []);
    return fillableFrames(frames ?? [], origin).some(
      (frame) => frame.frameId === sender.frameId && frame.documentId === sender.documentId,
    );
  }

  // The vault's decision for an offer, or "locked".
  async function decision(offer) {
    const status = await client.request("status");
    if (!status.unlocked) return "locked";
    const logins = await client.request("for-host", { host: offer.host, secure: true });
    return decide(offer, orderOffers(logins, offer.host));
  }

  // Drops what has ended; tells when the next thing ends, through an alarm that survives the
  // worker's sleep. Returns the tabs whose offer ended.
  function expire(state) {
    const ended = [];
    for (const [tab, offer] of Object.entries(state.offers)) {
      if (offer.expires <= now()) {
        delete state.offers[tab];
        ended.push(Number(tab));
      }
    }
    for (const [tab, undo] of Object.entries(state.undos)) {
      if (undo.expires <= now()) delete state.undos[tab];
    }
    for (const [tab, step] of Object.entries(state.steps)) {
      if (step.at + TWO_STEP_MS <= now()) delete state.steps[tab];
    }
    const ends = [
      ...Object.values(state.offers).map((o) => o.expires),
      ...Object.values(state.undos).map((u) => u.expires),
      ...Object.values(state.steps).map((s) => s.at + TWO_STEP_MS),
    ];
    if (ends.length > 0) {
      chrome.alarms.create(EXPIRY_ALARM, { when: Date.now() + Math.min(...ends) - now() });
    }
    return ended;
  }

  async function sweep() {
    const ended = await update(expire);
    await Promise.all(ended.map((tab) => badge.refresh(tab)));
  }

  // A content script reports a sending. Nothing is answered: the page must not learn whether
  // anything is offered. `handled` counts the reports looked at, for the tests.
  let handled = 0;
  async function onSending(sender, message) {
    try {
      await considerSending(sender, message);
    } finally {
      handled += 1;
    }
  }

  async function considerSending(sender, message) {
    const sending = readSending(message?.sending);
    const tabId = sender.tab?.id;
    const origin = httpsOrigin(sender.origin);
    if (!sending || tabId === undefined || !origin || origin !== sender.origin) return;
    if (!(await capturable(sender, origin))) return;
    const host = new URL(origin).hostname;
    if (!(await captureEnabled()) || (await neverHosts()).includes(host)) return;

    const replaced = await update(async (state) => {
      expire(state);
      if (sending.kind === "username") {
        state.steps[tabId] = { origin, username: sending.username, at: now() };
        return [];
      }
      let username = sending.username;
      const step = state.steps[tabId];
      delete state.steps[tabId];
      if (!username && step?.origin === origin) username = step.username;
      const offer = {
        host,
        username,
        password: sending.newPassword || sending.password,
        current: sending.kind === "change" ? sending.password : "",
        expires: now() + OFFER_MS,
      };
      // One offer per tab and one per site: the newer sending replaces the older.
      const others = Object.entries(state.offers)
        .filter(([tab, other]) => other.host === host || Number(tab) === tabId)
        .map(([tab]) => Number(tab));
      for (const tab of others) delete state.offers[tab];
      const decided = await decision(offer);
      if (decided !== null) state.offers[tabId] = { ...offer, action: decided.action ?? null };
      expire(state);
      return [...others, tabId];
    });
    await Promise.all(replaced.map((tab) => badge.refresh(tab)));
  }

  // For the popup: the tab's offer with the question to ask, or its "Rückgängig", or neither.
  async function offerForTab(tabId) {
    const state = await update(async (state) => {
      expire(state);
      const offer = state.offers[tabId];
      if (!offer) return { offer: null, undo: state.undos[tabId] ? true : false };
      const decided = await decision(offer);
      if (decided === null) {
        delete state.offers[tabId];
        return { offer: null, undo: false };
      }
      const locked = decided === "locked";
      offer.action = locked ? offer.action : decided.action;
      const { host, username, password } = offer;
      return { offer: { host, username, password, locked, action: offer.action ?? "save" } };
    });
    await badge.refresh(tabId);
    return state;
  }

  // The popup's "Speichern" or "Aktualisieren": `action` is the one it showed, which must still
  // be what the vault calls for.
  async function accept(tabId, action) {
    const done = await update(async (state) => {
      expire(state);
      const offer = state.offers[tabId];
      if (!offer) throw new Error("Das Angebot ist abgelaufen.");
      const decided = await decision(offer);
      if (decided === "locked") {
        throw new Error(
          "Der Tresor ist gesperrt. Entsperren Sie ihn, um die Anmeldung zu speichern.",
        );
      }
      delete state.offers[tabId];
      if (decided === null) return "none";
      if (decided.action !== action)
        throw new Error("Der Tresor hat sich geändert. Öffnen Sie das Fenster erneut.");
      const { login } = decided;
      if (action === "save") {
        await client.request("put", {
          host: offer.host,
          username: offer.username,
          password: offer.password,
          title: "",
        });
        return "save";
      }
      const fields = {
        entry_id: login.id,
        host: login.host,
        username: login.username,
        title: login.title,
      };
      await client.request("put", { ...fields, password: offer.password });
      state.undos[tabId] = {
        login: { ...fields, password: login.password },
        expires: offer.expires,
      };
      return "update";
    });
    await badge.refresh(tabId);
    return done;
  }

  // "Rückgängig": the stored password as it was before the update.
  async function undo(tabId) {
    await update(async (state) => {
      expire(state);
      const before = state.undos[tabId];
      if (!before) throw new Error("Die Änderung kann nicht mehr rückgängig gemacht werden.");
      delete state.undos[tabId];
      await client.request("put", before.login);
    });
  }

  // "Verwerfen", and a closed tab.
  async function dismiss(tabId) {
    await update((state) => {
      delete state.offers[tabId];
      delete state.undos[tabId];
      delete state.steps[tabId];
    });
    await badge.refresh(tabId);
  }

  // "Nie für diese Seite": the host alone is kept, the candidate goes.
  async function never(tabId) {
    const host = await update((state) => {
      const offer = state.offers[tabId];
      delete state.offers[tabId];
      return offer?.host;
    });
    if (host) await addNeverHost(host);
    await badge.refresh(tabId);
  }

  // What the extension's button shows for the tab's offer, or null.
  async function badgeFor(tabId) {
    const state = (await chrome.storage.session.get(STATE_KEY))[STATE_KEY];
    const offer = state?.offers[tabId];
    if (!offer || offer.expires <= now()) return null;
    return { text: "+", title: QUESTIONS[offer.action ?? "save"] };
  }

  // Capture turned off ends every offer waiting.
  chrome.storage.onChanged.addListener(async (changes, area) => {
    if (area !== "local" || !(CAPTURE_OFF_KEY in changes) || !changes[CAPTURE_OFF_KEY].newValue)
      return;
    const tabs = await update((state) => {
      const ended = Object.keys(state.offers).map(Number);
      state.offers = {};
      state.steps = {};
      return ended;
    });
    await Promise.all(tabs.map((tab) => badge.refresh(tab)));
  });

  return {
    onSending,
    offerForTab,
    accept,
    undo,
    dismiss,
    never,
    sweep,
    badgeFor,
    handled: () => handled,
    alarm: EXPIRY_ALARM,
  };
}
