// The idle time after which the vault locks, as the extension's storage holds it.
import { DEFAULT_IDLE_MINUTES, IDLE_MINUTES_KEY } from "./constants.js";

export async function idleMinutes() {
  const stored = await chrome.storage.local.get(IDLE_MINUTES_KEY);
  return stored[IDLE_MINUTES_KEY] ?? DEFAULT_IDLE_MINUTES;
}

export const setIdleMinutes = (minutes) =>
  chrome.storage.local.set({ [IDLE_MINUTES_KEY]: minutes });
