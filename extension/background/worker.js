// The service worker: holds the one port to the native host and answers the popup and the
// content scripts.
import { createAutofill } from "./autofill.js";
import { clearClipboard, copyForAWhile } from "./clipboard.js";
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
  "lock",
  "put",
  "list",
  "reveal",
  "delete",
  "generate",
  "import",
  "export",
]);

// Tells open popups to show the vault's state anew.
function announceStateChange() {
  chrome.runtime.sendMessage({ type: "velkaron:state-changed" }).catch(() => {});
}

const client = new NativeClient((name) => chrome.runtime.connectNative(name), announceStateChange);
const autofill = createAutofill(client);

async function lock() {
  if (!client.connected) return; // no host process, no key
  await client.request("lock");
  announceStateChange();
}

const lockPolicy = installLockPolicy(lock);

const POPUP_HANDLERS = {
  "velkaron:request": ({ op, members }) => {
    if (!POPUP_OPERATIONS.has(op)) throw new Error(`unbekannte Operation: ${op}`);
    return client.request(op, members);
  },
  "velkaron:logins-for-tab": ({ tabId }) => autofill.loginsForTab(tabId),
  "velkaron:fill": ({ tabId, entryId }) => autofill.fill(tabId, entryId),
  "velkaron:copy-password": async ({ entryId }) => {
    const login = await client.request("reveal", { entry_id: entryId });
    await copyForAWhile(login.password);
  },
  // The recovery code, shown once after create, leaves the clipboard like a password.
  "velkaron:copy-recovery-code": ({ code }) => copyForAWhile(String(code)),
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
  if (message?.type === "velkaron:login-for-frame" && sender.tab) {
    autofill.loginForFrame(sender).then(sendResponse, () => sendResponse(null));
    return true;
  }
  const handler = fromExtensionPage(sender) ? POPUP_HANDLERS[message?.type] : undefined;
  if (!handler) return undefined;
  return answer(
    Promise.resolve().then(() => handler(message)),
    sendResponse,
  );
});

// The keyboard command fills the first matching login into the active tab.
async function onCommand(command, tab) {
  if (command !== "fill-login" || tab?.id === undefined) return 0;
  return autofill.fill(tab.id, null).catch(() => 0);
}
chrome.commands.onCommand.addListener(onCommand);

// A test hook (docs/browser.md#test-hooks): the handlers the browser would run on a key press,
// an idle report, a closed window and the clipboard's timer.
self.velkaron = { onCommand, clearClipboard, ...lockPolicy };
