// Copies a secret to the clipboard and clears it again after a while. A service worker has no
// clipboard, so an offscreen document does the writing.
import { CLIPBOARD_CLEAR_SECONDS } from "../shared/constants.js";

const OFFSCREEN_URL = "offscreen/clipboard.html";

let clearTimer = null;

async function writeClipboard(text) {
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

export async function clearClipboard() {
  clearTimeout(clearTimer);
  clearTimer = null;
  await writeClipboard("");
  await chrome.offscreen.closeDocument();
}

export async function copyForAWhile(text) {
  clearTimeout(clearTimer);
  await writeClipboard(text);
  clearTimer = setTimeout(clearClipboard, CLIPBOARD_CLEAR_SECONDS * 1000);
}
