// Copies a secret to the clipboard and clears it again after a while. A service worker has no
// clipboard, so where the browser offers offscreen documents one does the writing; a
// background page (Firefox's event page) writes itself. An alarm clears it, since a timer
// does not outlive a background that the browser stops while idle.
import { CLIPBOARD_CLEAR_SECONDS } from "../shared/constants.js";

const CLEAR_ALARM = "velkaron:clear-clipboard";
const OFFSCREEN_URL = "offscreen/clipboard.html";

async function writeThroughOffscreenDocument(text) {
  const existing = await chrome.runtime.getContexts({ contextTypes: ["OFFSCREEN_DOCUMENT"] });
  if (existing.length === 0) {
    await chrome.offscreen.createDocument({
      url: OFFSCREEN_URL,
      reasons: ["CLIPBOARD"],
      justification: `Passwort kopieren und nach ${CLIPBOARD_CLEAR_SECONDS} Sekunden löschen`,
    });
  }
  await chrome.runtime.sendMessage({ type: "velkaron:clipboard-write", text });
}

function writeClipboard(text) {
  return chrome.offscreen
    ? writeThroughOffscreenDocument(text)
    : navigator.clipboard.writeText(text);
}

export async function clearClipboard() {
  await chrome.alarms.clear(CLEAR_ALARM);
  await writeClipboard("");
  if (chrome.offscreen) await chrome.offscreen.closeDocument();
}

export async function copyForAWhile(text) {
  await writeClipboard(text);
  await chrome.alarms.create(CLEAR_ALARM, { when: Date.now() + CLIPBOARD_CLEAR_SECONDS * 1000 });
}

// The alarm wakes a stopped background, which must listen from its first run.
export function installClipboardClearing() {
  chrome.alarms.onAlarm.addListener((alarm) => {
    if (alarm.name === CLEAR_ALARM) clearClipboard();
  });
}
