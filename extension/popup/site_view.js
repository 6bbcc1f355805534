// The logins for the page of the tab the popup acts on, each with a button that fills it in.
import { fill, loginsForTab } from "./api.js";
import { button, byId, notify } from "./ui.js";

const REASONS = {
  "no-tab": () => "Kein Tab gewählt.",
  "not-https": () => "Diese Seite ist nicht über HTTPS geladen: hier wird nichts eingefüllt.",
  locked: () =>
    "Der Tresor ist gesperrt. Entsperren Sie ihn, um die Anmeldungen dieser Seite zu sehen.",
  "no-match": (host) => `Keine gespeicherte Anmeldung für ${host}.`,
};

function describe(login) {
  const label = login.title ? `${login.title} – ` : "";
  return `${label}${login.username || "(ohne Benutzername)"}`;
}

// Shows what the tab offers; resolves with the tab's host name ("" when unknown).
export async function renderSite(tabId) {
  const site = tabId === null ? { host: "", reason: "no-tab" } : await loginsForTab(tabId);
  const reason = site.reason ?? (site.logins.length === 0 ? "no-match" : null);
  byId("site-host").textContent = site.host ? `(${site.host})` : "";
  byId("site-reason").textContent = reason ? REASONS[reason](site.host) : "";
  byId("site-logins").replaceChildren(
    ...(site.logins ?? []).map((login) => {
      const item = document.createElement("li");
      const text = document.createElement("span");
      text.textContent = describe(login);
      item.append(
        text,
        button("Einfüllen", async () => {
          const frames = await fill(tabId, login.id);
          if (frames === 0)
            throw new Error("Kein sichtbares Anmeldeformular auf dieser Seite gefunden");
          notify("Eingefüllt.");
        }),
      );
      return item;
    }),
  );
  return site.host;
}
