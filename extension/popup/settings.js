// The idle time after which the vault locks by itself, kept in the extension's storage.
import { idleMinutes, setIdleMinutes } from "../shared/idle_setting.js";
import { attempt, byId, notify } from "./ui.js";

export async function wireSettings() {
  const form = byId("settings-form");
  form.addEventListener("submit", (event) => {
    event.preventDefault();
    const minutes = form.elements.idle_minutes.valueAsNumber;
    attempt(async () => {
      await setIdleMinutes(minutes);
      notify(`Der Tresor sperrt sich nach ${minutes} Minuten Leerlauf.`);
    });
  });
  form.elements.idle_minutes.value = await idleMinutes();
}
