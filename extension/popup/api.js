// The popup's way to the service worker, which holds the port to the vault host.

async function send(type, fields = {}) {
  const answer = await chrome.runtime.sendMessage({ type, ...fields });
  if (!answer) throw new Error("Keine Antwort vom Dienst der Erweiterung");
  if (!answer.ok) throw new Error(answer.error);
  return answer.data;
}

// One request to the vault host, e.g. request("unlock", { password }).
export const request = (op, members = {}) => send("velkaron:request", { op, members });

// The first `limit` logins of the list as the worker last saw it, and how many there are.
export const listHead = (limit) => send("velkaron:list-head", { limit });
export const loginsForTab = (tabId) => send("velkaron:logins-for-tab", { tabId });
export const fill = (tabId, entryId, allowedActionHost = null) =>
  send("velkaron:fill", { tabId, entryId, allowedActionHost });
export const copyPassword = (entryId) => send("velkaron:copy-password", { entryId });
export const offerForTab = (tabId) => send("velkaron:offer-for-tab", { tabId });
// "accept" (with the `action` shown), "undo", "never" or "dismiss" of the tab's offer.
export const offerAction = (type, tabId, action) =>
  send(`velkaron:offer-${type}`, { tabId, action });
export const copyRecoveryCode = (code) => send("velkaron:copy-recovery-code", { code });

// The tab the popup acts on: the active tab of its window. Opened as a tab of its own, the
// page acts on the tab named by ?tab=<id>, a test hook (docs/browser.md#test-hooks).
export async function targetTabId() {
  const self = await chrome.tabs.getCurrent();
  if (self) {
    const named = Number.parseInt(new URLSearchParams(location.search).get("tab"), 10);
    return Number.isInteger(named) ? named : null;
  }
  const [active] = await chrome.tabs.query({ active: true, currentWindow: true });
  return active?.id ?? null;
}
