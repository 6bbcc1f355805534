// The idle time after which the vault locks by itself, kept in the extension's storage.
import { IDLE_MINUTES_KEY, idleMinutes } from "../background/lock_policy.js";
import { attempt, byId, notify } from "./ui.js";

export async function wireSettings() {
  const form = byId("settings-form");
  form.addEventListener("submit", (event) => {
    event.preventDefault();
    const minutes = form.elements.idle_minutes.valueAsNumber;
    attempt(async () => {
      await chrome.storage.local.set({ [IDLE_MINUTES_KEY]: minutes });
      notify(`Der Tresor sperrt sich nach ${minutes} Minuten Leerlauf.`);
    });
  });
  form.elements.idle_minutes.value = await idleMinutes();
}
