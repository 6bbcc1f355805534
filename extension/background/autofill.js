// Which logins a tab is offered, which frame is filled and with what. Every host and origin
// here comes from what the browser reports about the tab and its frames, never from the page;
// what the page says (where its form sends its fields) only ever stops a fill.
import { actionKeepsToTheSite, orderOffers } from "./host_rule.js";

// How long after the user's action the login may still be handed to a frame.
const FILL_MS = 10_000;

export function httpsOrigin(url) {
  try {
    const parsed = new URL(url);
    return parsed.protocol === "https:" ? parsed.origin : null;
  } catch {
    return null;
  }
}

function hostnameOf(url) {
  try {
    return new URL(url).hostname;
  } catch {
    return "";
  }
}

// Where a form sends its fields, as the user is told it: the host, with the scheme when that is
// not HTTPS.
function actionHostOf(action) {
  try {
    const url = new URL(action);
    return url.protocol === "https:" ? url.hostname : `${url.protocol}//${url.hostname}`;
  } catch {
    return action;
  }
}

// The frames that may be filled: the top frame and frames whose own origin and whose every
// ancestor's origin are the top frame's. A same-origin frame inside a foreign frame is
// placed there by the foreign page, so it is left out as well.
export function fillableFrames(frames, origin) {
  const byId = new Map(frames.map((frame) => [frame.frameId, frame]));
  const sameOriginChain = (frame) =>
    frame !== undefined &&
    httpsOrigin(frame.url) === origin &&
    (frame.frameId === 0 || sameOriginChain(byId.get(frame.parentFrameId)));
  return frames.filter((frame) => frame.documentId && sameOriginChain(frame));
}

// The frame holding the form the user is on, from the frames' own answers: the one pressed in
// last, else the only one with a fillable login form. Its answer, or a `reason` for none.
export function chooseFrame(answers) {
  const ready = answers.filter(({ probe }) => probe?.state === "ready");
  const pressed = ready.filter(({ probe }) => probe.at !== null);
  if (pressed.length > 0) return pressed.reduce((a, b) => (b.probe.at > a.probe.at ? b : a));
  if (ready.length === 1 && !answers.some(({ probe }) => probe?.state === "several")) {
    return ready[0];
  }
  if (ready.length > 1) return { reason: "several" };
  // The most telling reason a frame gave: one the user can act on first.
  const reasons = answers.map(({ probe }) => probe?.state);
  const reason = ["several", "scroll", "hidden"].find((r) => reasons.includes(r)) ?? "no-form";
  return { reason };
}

export function createAutofill(client, now = Date.now) {
  // Null when the tab has closed.
  const topFrame = (tabId) =>
    chrome.webNavigation.getFrame({ tabId, frameId: 0 }).catch(() => null);

  // The logins for the host, in the order they are offered. The round trip's time is kept as
  // the measure "velkaron:for-host" for the browser bench.
  async function offers(host) {
    const start = performance.now();
    const logins = await client.request("for-host", { host, secure: true });
    performance.clearMeasures("velkaron:for-host");
    performance.measure("velkaron:for-host", { start, end: performance.now() });
    return orderOffers(logins, host);
  }

  // The tab's host with its origin and its offers, or with the reason nothing can be filled
  // there (no tab, not HTTPS, locked). The offers are asked for together with the status, so
  // that both take one round trip to the host; when locked, their failure is left unread.
  async function siteOf(tabId) {
    const top = await topFrame(tabId);
    if (!top) return { host: "", reason: "no-tab" };
    const host = hostnameOf(top.url);
    const origin = httpsOrigin(top.url);
    if (!origin) return { host, reason: "not-https" };
    const [status, logins] = await Promise.allSettled([client.request("status"), offers(host)]);
    if (status.status === "rejected") throw status.reason;
    if (!status.value.unlocked) return { host, reason: "locked" };
    if (logins.status === "rejected") throw logins.reason;
    return { host, origin, reason: null, logins: logins.value };
  }

  // For the popup: the tab's host and the logins it may offer there, without passwords, or
  // the reason there are none; an empty list means no match.
  async function loginsForTab(tabId) {
    const { host, reason, logins } = await siteOf(tabId);
    if (reason) return { host, reason };
    return {
      host,
      logins: logins.map(({ id, host, username, title }) => ({ id, host, username, title })),
    };
  }

  // Each frame of the tab that may be filled, with its answer to where the form the user is
  // on is (login_form.js), or a null answer. `frames` is the browser's list of the tab's frames.
  async function probeFrames(tabId, frames) {
    const all = await frames;
    const origin = httpsOrigin(all.find((frame) => frame.frameId === 0)?.url);
    if (!origin) return [];
    return Promise.all(
      fillableFrames(all, origin).map(async (frame) => ({
        frame,
        probe: await chrome.tabs
          .sendMessage(tabId, { type: "velkaron:probe" }, { documentId: frame.documentId })
          .catch(() => null),
      })),
    );
  }

  // Fills the chosen login (the first offer when `entryId` is null) into the one frame of the
  // tab holding the form the user is on. Called only on a user action in the extension's own
  // UI or on the keyboard command. A form that sends its fields elsewhere is filled only when
  // `allowedActionHost` names its host (the popup's second click). Resolves with
  // { filled: true } or { filled: false, reason, host, actionHost }.
  async function fill(tabId, entryId, allowedActionHost = null) {
    const deadline = now() + FILL_MS;
    const frames = chrome.webNavigation.getAllFrames({ tabId }).catch(() => []);
    // The keyboard command fills whichever login comes first, so its frames are asked while
    // the host is; a login the popup names must be one of the site's before any frame is.
    const early = entryId === null ? probeFrames(tabId, frames) : null;
    const { host, reason, origin, logins } = await siteOf(tabId);
    if (reason) return { filled: false, reason, host };
    const login = entryId === null ? logins[0] : logins.find((l) => l.id === entryId);
    if (!login) return { filled: false, reason: "no-match", host };

    // The top frame is read again while the frames answer: one gone elsewhere while the host
    // was asked gets nothing. One that leaves later takes the probed document with it, and
    // the login goes to that document alone.
    const [answers, topNow] = await Promise.all([
      early ?? probeFrames(tabId, frames),
      topFrame(tabId),
    ]);
    // A sandboxed frame has the address of its origin but an opaque origin of its own; and a
    // top frame gone elsewhere since the host was asked leaves none of the site's origin.
    const chosen = chooseFrame(answers.filter(({ probe }) => probe?.origin === origin));
    if (chosen.reason) return { filled: false, reason: chosen.reason, host };
    const { frame, probe } = chosen;
    const actionHost = actionHostOf(probe.action);
    if (!actionKeepsToTheSite(probe.action, host) && actionHost !== allowedActionHost) {
      return { filled: false, reason: "action", host, actionHost };
    }

    // The login goes in the fill's one message to the very document that answered the probe
    // (a frame navigated since gets nothing), only while the top frame still shows the site
    // and soon after the user's action; no frame can ask for it.
    if (httpsOrigin(topNow?.url) !== origin) return { filled: false, reason: "changed", host };
    if (now() > deadline) return { filled: false, reason: "no-login", host };
    const answer = await chrome.tabs
      .sendMessage(
        tabId,
        {
          type: "velkaron:fill",
          action: probe.action,
          login: { username: login.username, password: login.password },
        },
        { documentId: frame.documentId },
      )
      .catch(() => null);
    return answer?.filled ? { filled: true } : { filled: false, reason: answer?.reason, host };
  }

  return { loginsForTab, fill };
}
