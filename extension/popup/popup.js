// The popup: shows the vault's state and the views that fit it.
import { request, targetTabId } from "./api.js";
import { newLogin, wireEditor } from "./editor.js";
import { renderOffer } from "./offer_view.js";
import { forgetList, renderList, wireList } from "./list_view.js";
import { wireSettings } from "./settings.js";
import { renderSite } from "./site_view.js";
import { byId, notify, showViews } from "./ui.js";
import { wireVaultViews } from "./vault_views.js";

const tabId = await targetTabId();
let siteHost = "";

function stateText(status) {
  if (!status.exists) return "Noch kein Tresor angelegt";
  if (!status.unlocked) return "Tresor gesperrt";
  return `Tresor entsperrt · ${status.entries} ${status.entries === 1 ? "Anmeldung" : "Anmeldungen"}`;
}

async function showState() {
  const status = await request("status");
  await renderOffer(tabId, refresh);
  byId("state").textContent = stateText(status);
  byId("state").dataset.state = !status.exists ? "none" : status.unlocked ? "unlocked" : "locked";
  if (!status.unlocked) {
    // Nothing of the vault stays on screen once it is locked.
    forgetList();
    newLogin(siteHost);
  }
  if (!status.exists) {
    showViews(["create-view"]);
    return;
  }
  if (!status.unlocked) {
    showViews(["unlock-view", "site-view"]);
    await renderSite(tabId);
    return;
  }
  showViews(["site-view", "editor-view", "list-view", "account-view"]);
  const [host] = await Promise.all([renderSite(tabId), renderList()]);
  if (host !== siteHost) newLogin(host);
  siteHost = host;
}

// Runs after every change; keeps the outcome of the action that caused it on screen.
async function refresh() {
  try {
    await showState();
  } catch (error) {
    byId("state").textContent = "Tresorprogramm nicht erreichbar";
    byId("state").dataset.state = "unreachable";
    notify(error.message, "error");
  }
}

wireVaultViews(refresh);
wireEditor(() => siteHost, refresh);
wireList(refresh);
wireSettings();

// The service worker announces locks it makes by itself and a host that has gone.
chrome.runtime.onMessage.addListener((message) => {
  if (message?.type === "velkaron:state-changed") refresh();
});

await refresh();
