// When the extension locks the vault by itself: after the system has been idle or locked for
// the configured time, and when the last browser window closes.

import { IDLE_MINUTES_KEY } from "../shared/constants.js";
import { idleMinutes } from "../shared/idle_setting.js";

// Registers the listeners and returns them for the test hook (docs/browser.md#test-hooks).
export function installLockPolicy(lock) {
  const applyIdleMinutes = async () => chrome.idle.setDetectionInterval((await idleMinutes()) * 60);

  const onIdleStateChanged = async (state) => {
    if (state !== "active") await lock();
  };
  const onWindowRemoved = async () => {
    if ((await chrome.windows.getAll()).length === 0) await lock();
  };

  applyIdleMinutes();
  chrome.storage.onChanged.addListener((changes, area) => {
    if (area === "local" && IDLE_MINUTES_KEY in changes) applyIdleMinutes();
  });
  chrome.idle.onStateChanged.addListener(onIdleStateChanged);
  chrome.windows.onRemoved.addListener(onWindowRemoved);
  return { onIdleStateChanged, onWindowRemoved };
}
