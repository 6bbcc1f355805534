// The form that saves a new login or changes a stored one.
import { request } from "./api.js";
import { attempt, byId, notify, onSubmit } from "./ui.js";

const form = () => byId("editor-form");

function setFields(heading, fields) {
  byId("editor-heading").textContent = heading;
  for (const [name, value] of Object.entries(fields)) form().elements[name].value = value;
  form().elements.password.type = "password";
}

// A new login, for the host of the page the popup acts on.
export function newLogin(host) {
  setFields("Anmeldung speichern", { entry_id: "", host, title: "", username: "", password: "" });
}

// A stored login, with its password, as `reveal` gives it.
export function editLogin(detail) {
  setFields("Anmeldung bearbeiten", {
    entry_id: detail.id,
    host: detail.host,
    title: detail.title,
    username: detail.username,
    password: detail.password,
  });
  form().scrollIntoView();
}

// `onSaved` runs after a save, to show the changed lists.
export function wireEditor(defaultHost, onSaved) {
  onSubmit(form(), async ({ entry_id: entryId, host, title, username, password }) => {
    // Without an entry id the host replaces a login with the same host and user name.
    const members = { host, title, username, password };
    if (entryId) members.entry_id = entryId;
    await request("put", members);
    notify(entryId ? "Anmeldung geändert." : "Anmeldung gespeichert.");
    await onSaved();
  });
  form().addEventListener("reset", (event) => {
    event.preventDefault();
    newLogin(defaultHost());
  });
  byId("generate").addEventListener("click", () =>
    attempt(async () => {
      const { password } = await request("generate");
      const field = form().elements.password;
      field.value = password;
      field.type = "text"; // a generated password is meant to be seen and noted
    }),
  );
}
