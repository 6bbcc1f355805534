// When the extension locks the vault by itself: after the system has been idle or locked for
// the configured time, and when the last browser window closes.

export const IDLE_MINUTES_KEY = "idleLockMinutes";
const DEFAULT_IDLE_MINUTES = 10;

export async function idleMinutes() {
  const stored = await chrome.storage.local.get(IDLE_MINUTES_KEY);
  return stored[IDLE_MINUTES_KEY] ?? DEFAULT_IDLE_MINUTES;
}

// Registers the listeners and returns them, so that a test can call them directly.
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
