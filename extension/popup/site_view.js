// The logins for the page of the tab the popup acts on, each with a button that fills it in.
import { fillReasonText } from "../shared/fill_reasons.js";
import { fill, loginsForTab } from "./api.js";
import { button, byId, notify } from "./ui.js";

function describe(login) {
  const label = login.title ? `${login.title} – ` : "";
  return `${label}${login.username || "(ohne Benutzername)"}`;
}

// "Einfüllen" for one login. A form that sends its fields to another host is filled only on
// a second click, after the popup has named that host.
function fillButton(tabId, login) {
  let allowedActionHost = null;
  return button("Einfüllen", async () => {
    const result = await fill(tabId, login.id, allowedActionHost);
    allowedActionHost = result.reason === "action" ? result.actionHost : null;
    if (!result.filled) throw new Error(fillReasonText(result.reason, result));
    notify("Eingefüllt.");
  });
}

// Shows what the tab offers; resolves with the tab's host name ("" when unknown).
export async function renderSite(tabId) {
  const site = tabId === null ? { host: "", reason: "no-tab" } : await loginsForTab(tabId);
  const reason = site.reason ?? (site.logins.length === 0 ? "no-match" : null);
  byId("site-host").textContent = site.host ? `(${site.host})` : "";
  byId("site-reason").textContent = reason ? fillReasonText(reason, site) : "";
  byId("site-logins").replaceChildren(
    ...(site.logins ?? []).map((login) => {
      const item = document.createElement("li");
      const text = document.createElement("span");
      text.textContent = describe(login);
      item.append(text, fillButton(tabId, login));
      return item;
    }),
  );
  return site.host;
}
