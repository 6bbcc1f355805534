// Whether the extension offers to save what the user types, and the hosts it never offers it
// for ("Nie für diese Seite"), as the extension's storage holds them: host names only.
import { CAPTURE_OFF_KEY, NEVER_HOSTS_KEY } from "./constants.js";

export async function neverHosts() {
  const stored = await chrome.storage.local.get(NEVER_HOSTS_KEY);
  return stored[NEVER_HOSTS_KEY] ?? [];
}

export async function addNeverHost(host) {
  const hosts = await neverHosts();
  if (!hosts.includes(host))
    await chrome.storage.local.set({ [NEVER_HOSTS_KEY]: [...hosts, host] });
}

export async function removeNeverHost(host) {
  const hosts = await neverHosts();
  await chrome.storage.local.set({ [NEVER_HOSTS_KEY]: hosts.filter((h) => h !== host) });
}

export async function captureEnabled() {
  const stored = await chrome.storage.local.get(CAPTURE_OFF_KEY);
  return stored[CAPTURE_OFF_KEY] !== true;
}

export const setCaptureEnabled = (enabled) =>
  chrome.storage.local.set({ [CAPTURE_OFF_KEY]: !enabled });
