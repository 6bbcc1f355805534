// Which logins a tab is offered and which frames may receive one. Every host and origin here
// comes from what the browser reports about the tab and its frames, never from the page.

// How long a frame may ask for the login after the user's action.
const GRANT_MS = 10_000;

function httpsOrigin(url) {
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

// The frames that may be filled: the top frame and frames whose own origin and whose every
// ancestor's origin are the top frame's. A same-origin frame inside a foreign frame is
// placed there by the foreign page, so it is left out as well.
function fillableFrames(frames, origin) {
  const byId = new Map(frames.map((frame) => [frame.frameId, frame]));
  const sameOriginChain = (frame) =>
    frame !== undefined &&
    httpsOrigin(frame.url) === origin &&
    (frame.frameId === 0 || sameOriginChain(byId.get(frame.parentFrameId)));
  return frames.filter((frame) => frame.documentId && sameOriginChain(frame));
}

export function createAutofill(client) {
  const grants = new Map(); // documentId -> { tabId, origin, entryId, expires }

  // Null when the tab has closed.
  const topFrame = (tabId) =>
    chrome.webNavigation.getFrame({ tabId, frameId: 0 }).catch(() => null);

  // For the popup: the tab's host and the logins it may offer there, without passwords, or
  // the reason there are none ("no-tab", "not-https", "locked"; an empty list means no match).
  async function loginsForTab(tabId) {
    const top = await topFrame(tabId);
    if (!top) return { host: "", reason: "no-tab" };
    const host = hostnameOf(top.url);
    if (!httpsOrigin(top.url)) return { host, reason: "not-https" };
    const status = await client.request("status");
    if (!status.unlocked) return { host, reason: "locked" };
    const logins = await client.request("for-host", { host, secure: true });
    return {
      host,
      logins: logins.map(({ id, host, username, title }) => ({ id, host, username, title })),
    };
  }

  // Fills the chosen login (or the first matching one when `entryId` is null) into the login
  // forms of the tab's fillable frames. Called only on a user action in the extension's own
  // UI. Resolves with the number of frames filled.
  async function fill(tabId, entryId) {
    const origin = httpsOrigin((await topFrame(tabId))?.url);
    if (!origin) throw new Error("Autofill nur über HTTPS");
    const targets = fillableFrames(await chrome.webNavigation.getAllFrames({ tabId }), origin);
    const expires = Date.now() + GRANT_MS;
    for (const frame of targets) grants.set(frame.documentId, { tabId, origin, entryId, expires });
    try {
      const answers = await Promise.all(
        targets.map((frame) =>
          chrome.tabs
            .sendMessage(tabId, { type: "velkaron:fill" }, { documentId: frame.documentId })
            .catch(() => false),
        ),
      );
      return answers.filter((filled) => filled === true).length;
    } finally {
      for (const frame of targets) grants.delete(frame.documentId);
    }
  }

  // A frame asked for the login to fill. It gets one only within a grant made for its very
  // document, once, and only while its origin as the browser reports it (an opaque "null" for
  // a sandboxed frame) and the top frame's are still the granted origin.
  async function loginForFrame(sender) {
    const grant = grants.get(sender.documentId);
    grants.delete(sender.documentId);
    if (!grant || grant.tabId !== sender.tab?.id || Date.now() > grant.expires) return null;
    if (sender.origin !== grant.origin || httpsOrigin(sender.url) !== grant.origin) return null;
    if (httpsOrigin((await topFrame(grant.tabId))?.url) !== grant.origin) return null;
    const logins = await client.request("for-host", {
      host: new URL(sender.origin).hostname,
      secure: true,
    });
    const login = grant.entryId ? logins.find((l) => l.id === grant.entryId) : logins[0];
    return login ? { username: login.username, password: login.password } : null;
  }

  return { loginsForTab, fill, loginForFrame };
}
