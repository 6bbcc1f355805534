// The background (Chromium's service worker, Firefox's event page): holds the one port to the
// native host and answers the popup and the content scripts.
import { fillReasonText } from "../shared/fill_reasons.js";
import { createAutofill } from "./autofill.js";
import { createBadge } from "./badge.js";
import { createCapture } from "./capture.js";
import { clearClipboard, copyForAWhile, installClipboardClearing } from "./clipboard.js";
import { createListCache } from "./list_cache.js";
import { installLockPolicy } from "./lock_policy.js";
import { NativeClient } from "./native_client.js";

// The operations the extension's pages (the popup, the management page) may send to the host
// as they are. `for-host` is not among them: passwords for pages reach only the frames being
// filled.
const POPUP_OPERATIONS = new Set([
  "status",
  "create",
  "unlock",
  "unlock-recovery",
  "change-password",
  "reset-password",
  "lock",
  "put",
  "list",
  "reveal",
  "delete",
  "generate",
  "import",
  "export",
]);

// The operations that change neither the vault nor its lock.
const READING_OPERATIONS = new Set(["status", "list", "reveal", "generate"]);

// Tells every open page of the extension to show the vault's state anew.
function announceStateChange() {
  listCache.forget();
  chrome.runtime.sendMessage({ type: "velkaron:state-changed" }).catch(() => {});
}

const client = new NativeClient((name) => chrome.runtime.connectNative(name), announceStateChange);
const autofill = createAutofill(client);
const listCache = createListCache(client);

// The clock of the offers' lifetime; the test hook can put it forward.
let clock = Date.now;
const badge = createBadge((tabId) => capture.badgeFor(tabId));
const capture = createCapture(client, badge, () => clock());

async function lock() {
  if (!client.connected) return; // no host process, no key
  await client.request("lock");
  announceStateChange();
}

const lockPolicy = installLockPolicy(lock);
installClipboardClearing();

const POPUP_HANDLERS = {
  "velkaron:request": async ({ op, members }) => {
    if (!POPUP_OPERATIONS.has(op)) throw new Error(`unbekannte Operation: ${op}`);
    if (op === "list") return listCache.fresh();
    if (!READING_OPERATIONS.has(op)) listCache.forget();
    const data = await client.request(op, members);
    // A lock from one page reaches the others, which must not keep offering the vault.
    if (op === "lock") announceStateChange();
    return data;
  },
  "velkaron:list-head": ({ limit }) => listCache.head(limit),
  "velkaron:logins-for-tab": ({ tabId }) => autofill.loginsForTab(tabId),
  "velkaron:fill": ({ tabId, entryId, allowedActionHost }) =>
    autofill.fill(tabId, entryId, allowedActionHost ?? null),
  "velkaron:copy-password": async ({ entryId }) => {
    const login = await client.request("reveal", { entry_id: entryId });
    await copyForAWhile(login.password);
  },
  // The recovery code, shown once after create, leaves the clipboard like a password.
  "velkaron:copy-recovery-code": ({ code }) => copyForAWhile(String(code)),
  "velkaron:offer-for-tab": ({ tabId }) => capture.offerForTab(tabId),
  "velkaron:offer-accept": ({ tabId, action }) => capture.accept(tabId, action),
  "velkaron:offer-undo": ({ tabId }) => capture.undo(tabId),
  "velkaron:offer-never": ({ tabId }) => capture.never(tabId),
  "velkaron:offer-dismiss": ({ tabId }) => capture.dismiss(tabId),
};

function fromExtensionPage(sender) {
  return sender.id === chrome.runtime.id && sender.url?.startsWith(chrome.runtime.getURL(""));
}

// Answers are { ok: true, data } or { ok: false, error } like the host's, since an exception
// does not cross the message channel.
function answer(promise, sendResponse) {
  promise.then(
    (data) => sendResponse({ ok: true, data }),
    (error) => sendResponse({ ok: false, error: error.message }),
  );
  return true;
}

chrome.runtime.onMessage.addListener((message, sender, sendResponse) => {
  if (sender.id !== chrome.runtime.id) return undefined;
  if (message?.type === "velkaron:capture" && sender.tab) {
    capture.onSending(sender, message).catch(() => {});
    return undefined;
  }
  const handler = fromExtensionPage(sender) ? POPUP_HANDLERS[message?.type] : undefined;
  if (!handler) return undefined;
  return answer(
    Promise.resolve().then(() => handler(message)),
    sendResponse,
  );
});

// The keyboard command fills the first offered login into the active tab, or says on the
// extension's button why it did not.
async function onCommand(command, tab) {
  if (command !== "fill-login" || tab?.id === undefined) return null;
  const result = await autofill
    .fill(tab.id, null)
    .catch(() => ({ filled: false, reason: "no-login" }));
  if (!result.filled) await badge.showNotice(tab.id, "!", fillReasonText(result.reason, result));
  return result;
}
chrome.commands.onCommand.addListener(onCommand);

// An offer lives for its tab: the button shows it again after each page the tab loads (the
// browser resets it), and it goes with the tab.
chrome.tabs.onRemoved.addListener((tabId) => capture.dismiss(tabId));
for (const event of [chrome.webNavigation.onCommitted, chrome.webNavigation.onCompleted]) {
  event.addListener(({ tabId, frameId }) => {
    if (frameId === 0) badge.refresh(tabId);
  });
}
// A page that signs in with a script may move on by the History API without sending a form.
chrome.webNavigation.onHistoryStateUpdated.addListener(({ tabId, frameId }) => {
  chrome.tabs.sendMessage(tabId, { type: "velkaron:page-moved" }, { frameId }).catch(() => {});
});
chrome.alarms.onAlarm.addListener((alarm) => {
  if (alarm.name === capture.alarm) capture.sweep();
});
capture.sweep();

// A test hook (docs/browser.md#test-hooks): the handlers the browser would run on a key press,
// an idle report, a closed window and the clipboard's timer.
// `useClock` replaces the offers' clock, `sweep` ends the offers whose time is up and
// `sendingsHandled` counts the content scripts' reports of a sent form looked at so far.
self.velkaron = {
  onCommand,
  clearClipboard,
  ...lockPolicy,
  useClock: (now) => (clock = now),
  sweep: () => capture.sweep(),
  sendingsHandled: () => capture.handled(),
};
