// What the capture tests share: one browser on a vault holding LOGIN, unlocked, with a tab for
// the site and a popup acting on it, and the user's moves there. Tests that save use a host of
// their own (every name resolves to the test server), so that they do not meet.
import { sendingsHandled, sharedSite, typeInto, waitForSendings } from "./harness.mjs";

export const USERNAME = "erika@example.org";
export const PASSWORD = "Pferd-Batterie-42";
export const SAVE = "Anmeldung speichern?";
export const UPDATE = "Passwort aktualisieren?";
export const NO_OFFER = ["", "Velkaron Tresor"]; // the extension's button without an offer

// The file's browser, once its `before` has run: harness.sharedSite's, unlocked.
export let shared = null;

export function useCaptureBrowser() {
  shared = sharedSite(
    [{ host: "localhost", title: "Testseite", username: USERNAME, password: PASSWORD }],
    {
      unlocked: true,
    },
  );
}

export const at = (host, page) => `https://${host}:${shared.sites.port}/${page}`;

// Types the login into the site's page `page` at `host` and sends it with the page's button;
// resolves once the worker has looked at the report it caused.
export async function sendLogin(host, page, { username = USERNAME, password = PASSWORD } = {}) {
  const { site, worker } = shared;
  await site.goto(at(host, page));
  const before = await sendingsHandled(worker);
  if (username !== null) await typeInto(site, "#username", username);
  await typeInto(site, "#password", password);
  await site.click("#send");
  await waitForSendings(worker, before + 1);
}

// The popup shown anew for the site's tab: the text of its offer, or null.
export async function offerInPopup() {
  const { popup } = shared;
  await popup.reload();
  await popup.locator("#state[data-state]").waitFor();
  const view = popup.locator("#offer-view");
  if (await view.isHidden()) return null;
  await view.locator("h2").waitFor();
  return (await view.innerText()).replace(/\s+/g, " ").trim();
}

// A button of the popup's offer.
export const offerButton = (name) =>
  shared.popup.locator("#offer-view").getByRole("button", { name, exact: true });

// Ends the tab's offer through the popup, if there is one.
export async function dismissOffer() {
  if ((await offerInPopup()) !== null) await offerButton("Verwerfen").click();
  await shared.popup.locator("#offer-view").waitFor({ state: "hidden" });
}

// Whether the extension's session storage holds `text` anywhere.
export const sessionHolds = (text) =>
  shared.worker.evaluate(
    async (wanted) => JSON.stringify(await chrome.storage.session.get(null)).includes(wanted),
    text,
  );
