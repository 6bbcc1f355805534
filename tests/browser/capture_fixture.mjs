// What the capture tests share: one browser on a vault holding LOGIN, unlocked, with a tab for
// the site and a popup acting on it, and the user's moves there. Tests that save use a host of
// their own (every name resolves to the test server), so that they do not meet.
import {
  click,
  clickButton,
  reload,
  sendingsHandled,
  sharedSession,
  typeInto,
  waitForHidden,
  waitForSendings,
} from "./browsers.mjs";

export const USERNAME = "erika@example.org";
export const PASSWORD = "Pferd-Batterie-42";
export const SAVE = "Anmeldung speichern?";
export const UPDATE = "Passwort aktualisieren?";
export const NO_OFFER = ["", "Velkaron Tresor"]; // the extension's button without an offer

export const shared = sharedSession({
  logins: [{ host: "localhost", title: "Testseite", username: USERNAME, password: PASSWORD }],
  unlocked: true,
});

export const at = (host, page) => `https://${host}:${shared.sites.port}/${page}`;

// Types the login into the page `page` at `host` shown in `tab` (the site's, unless given) and
// sends it with the page's button; resolves once the background has looked at the report it
// caused.
export async function sendLogin(
  host,
  page,
  { username = USERNAME, password = PASSWORD, tab = shared.site } = {},
) {
  await tab.goto(at(host, page));
  const before = await sendingsHandled(shared.session);
  // `>>>` reaches into open shadow roots as well.
  if (username !== null) await typeInto(tab, ">>> #username", username);
  await typeInto(tab, ">>> #password", password);
  await click(tab, ">>> #send");
  await waitForSendings(shared.session, before + 1);
}

// The popup shown anew for the site's tab: the text of its offer, or null.
export async function offerInPopup() {
  const { popup } = shared;
  await reload(popup);
  await popup.waitForSelector("#state[data-state]");
  if (await popup.$eval("#offer-view", (view) => view.hidden)) return null;
  await popup.waitForSelector("#offer-view h2");
  return popup.$eval("#offer-view", (view) => view.innerText.replace(/\s+/g, " ").trim());
}

// Clicks a button of the popup's offer.
export const clickOffer = (label) => clickButton(shared.popup, "#offer-view", label);

// Ends the tab's offer through the popup, if there is one.
export async function dismissOffer() {
  if ((await offerInPopup()) !== null) await clickOffer("Verwerfen");
  await waitForHidden(shared.popup, "#offer-view");
}

// Whether the extension's session storage holds `text` anywhere.
export const sessionHolds = (text) =>
  shared.session.inBackground(
    async (background, wanted) =>
      JSON.stringify(await background.chrome.storage.session.get(null)).includes(wanted),
    text,
  );
