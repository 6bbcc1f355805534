// The offer at the top of the popup to save or update the login the user just sent in the
// page of this tab, and the "Rückgängig" after an update. The popup never opens by itself;
// no button here is the default one, so Enter never updates a stored password.
import { offerAction, offerForTab } from "./api.js";
import { button, byId, notify } from "./ui.js";

const QUESTIONS = { save: "Anmeldung speichern?", update: "Passwort aktualisieren?" };
const ACTIONS = { save: "Speichern", update: "Aktualisieren" };
const MASK = "••••••••";

function line(label, value) {
  const item = document.createElement("p");
  const name = document.createElement("span");
  name.textContent = `${label}: `;
  const text = document.createElement("code");
  text.textContent = value;
  item.append(name, text);
  return { item, text };
}

// `changed` runs after the vault changed, to show the new lists.
export async function renderOffer(tabId, changed) {
  const view = byId("offer-view");
  const { offer, undo } = tabId === null ? {} : await offerForTab(tabId);
  if (!offer && !undo) {
    view.hidden = true;
    view.replaceChildren();
    return;
  }
  view.hidden = false;
  const act = (type, done) => async () => {
    await offerAction(type, tabId, offer?.action);
    if (done) notify(done);
    await changed();
  };
  if (!offer) {
    const heading = document.createElement("h2");
    heading.textContent = "Passwort aktualisiert.";
    const buttons = document.createElement("div");
    buttons.className = "buttons";
    buttons.append(
      button("Rückgängig", act("undo", "Das bisherige Passwort ist wiederhergestellt.")),
    );
    view.replaceChildren(heading, buttons);
    return;
  }
  const heading = document.createElement("h2");
  heading.textContent = QUESTIONS[offer.action];
  const host = line("Seite", offer.host);
  const user = line("Benutzer", offer.username || "(ohne Benutzername)");
  const password = line("Passwort", MASK);
  password.text.id = "offer-password";
  let shown = false;
  password.item.append(
    button("Anzeigen", async () => {
      shown = !shown;
      password.text.textContent = shown ? offer.password : MASK;
    }),
  );
  const parts = [heading, host.item, user.item, password.item];
  if (offer.locked) {
    const hint = document.createElement("p");
    hint.className = "warning";
    hint.textContent = "Entsperren Sie den Tresor, um die Anmeldung zu speichern.";
    parts.push(hint);
  }
  const buttons = document.createElement("div");
  buttons.className = "buttons";
  const accept = button(ACTIONS[offer.action], async () => {
    if (offer.locked) {
      byId("unlock-form").elements.password.focus();
      throw new Error("Entsperren Sie zuerst den Tresor, um die Anmeldung zu speichern.");
    }
    await act(
      "accept",
      offer.action === "save" ? "Anmeldung gespeichert." : "Passwort aktualisiert.",
    )();
  });
  accept.id = "offer-accept";
  buttons.append(
    accept,
    button("Nie für diese Seite", act("never", `Für ${offer.host} wird nichts mehr angeboten.`)),
    button("Verwerfen", act("dismiss", "")),
  );
  parts.push(buttons);
  view.replaceChildren(...parts);
}
