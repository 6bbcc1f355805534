// Every stored login, searchable. A vault may hold ten thousand logins, so only the rows in
// sight are in the document, and searching is one pass over prepared lower-case texts.
import { CLIPBOARD_CLEAR_SECONDS } from "../shared/constants.js";
import { copyPassword, listHead, request } from "./api.js";
import { editLogin } from "./editor.js";
import { button, byId, notify } from "./ui.js";

const SPARE_ROWS = 6; // rendered above and below the visible ones, so scrolling shows no gap

const FIRST_ROWS = "velkaron:first-rows";

// Rows the first paint shows, before the whole list has come: more than fit the viewport.
const HEAD_ROWS = 30;

let logins = []; // summaries from `list`, each given its search text when first searched
let total = 0; // how many logins the vault holds, also while only the head is here
let shown = []; // the logins matching the search
const revealed = new Map(); // entry id -> password, while the popup is open
const armedDeletes = new Set(); // entry ids whose delete button was clicked once
let onChanged = async () => {};
let rowHeight = 0; // px, popup.css's --row-height

function matches(query) {
  const needle = query.trim().toLowerCase();
  if (needle === "") return logins;
  return logins.filter((login) =>
    (login.search ??= `${login.host}\n${login.username}\n${login.title}`.toLowerCase()).includes(
      needle,
    ),
  );
}

function rowFor(login) {
  const row = document.createElement("li");
  row.className = "login";
  row.dataset.id = login.id;
  const name = document.createElement("strong");
  name.textContent = login.title || login.host;
  // A revealed password takes the place of the user name and host line.
  const password = revealed.get(login.id);
  const detail = document.createElement(password === undefined ? "span" : "code");
  detail.textContent = password ?? `${login.username || "(ohne Benutzername)"} · ${login.host}`;
  const actions = document.createElement("span");
  actions.className = "actions";
  actions.append(
    button(password === undefined ? "Anzeigen" : "Verbergen", async () => {
      if (password === undefined) {
        revealed.set(login.id, (await request("reveal", { entry_id: login.id })).password);
      } else {
        revealed.delete(login.id);
      }
      renderRows();
    }),
    button("Kopieren", async () => {
      await copyPassword(login.id);
      notify(
        `Passwort kopiert; die Zwischenablage wird in ${CLIPBOARD_CLEAR_SECONDS} Sekunden geleert.`,
      );
    }),
    button("Bearbeiten", async () => editLogin(await request("reveal", { entry_id: login.id }))),
    button(armedDeletes.has(login.id) ? "Wirklich löschen?" : "Löschen", async () => {
      if (!armedDeletes.has(login.id)) {
        armedDeletes.add(login.id);
        renderRows();
        return;
      }
      armedDeletes.delete(login.id);
      await request("delete", { entry_id: login.id });
      notify("Anmeldung gelöscht.");
      await onChanged();
    }),
  );
  row.append(name, detail, actions);
  return row;
}

function renderRows() {
  const viewport = byId("list-viewport");
  const count = Math.ceil(viewport.clientHeight / rowHeight) + 2 * SPARE_ROWS;
  // A search that shrank the list can leave the viewport scrolled past the new end until the
  // browser clamps it: the window then starts no later than the last full one.
  const scrolled = Math.max(0, Math.floor(viewport.scrollTop / rowHeight) - SPARE_ROWS);
  const first = Math.min(scrolled, Math.max(0, shown.length - count));
  const rows = byId("list-rows");
  rows.style.transform = `translateY(${first * rowHeight}px)`;
  rows.replaceChildren(...shown.slice(first, first + count).map(rowFor));
  // For the browser bench: when the popup first showed logins (docs/performance.md).
  if (rows.childElementCount > 0 && performance.getEntriesByName(FIRST_ROWS).length === 0) {
    performance.mark(FIRST_ROWS);
  }
}

function applySearch() {
  const query = byId("list-search").value;
  shown = matches(query);
  // While only the head is here, the list keeps the height of all logins.
  const height = query.trim() === "" ? total : shown.length;
  byId("list-count").textContent =
    shown.length === logins.length ? `${total}` : `${shown.length} von ${total}`;
  byId("list-spacer").style.height = `${height * rowHeight}px`;
  renderRows();
}

// `changed` runs after a delete, to show the changed lists.
export function wireList(changed) {
  onChanged = changed;
  const viewport = byId("list-viewport");
  rowHeight = Number.parseFloat(getComputedStyle(viewport).getPropertyValue("--row-height"));
  byId("list-search").addEventListener("input", applySearch);
  viewport.addEventListener("scroll", renderRows, { passive: true });
}

function showLogins(summaries, count) {
  logins = summaries;
  total = count;
  applySearch();
}

// The first rows from what the worker listed last, then the whole list fresh from the host.
export async function renderList() {
  const head = await listHead(HEAD_ROWS);
  showLogins(head.logins, head.total);
  const all = await request("list");
  showLogins(all, all.length);
}

// On lock: nothing of the vault stays in the popup.
export function forgetList() {
  logins = [];
  shown = [];
  total = 0;
  revealed.clear();
  armedDeletes.clear();
  byId("list-search").value = "";
  byId("list-rows").replaceChildren();
}
