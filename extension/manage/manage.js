// The management page: import of a browser's or password manager's CSV export, export of
// every login as CSV, and the settings for saving logins. A tab of its own, since Firefox closes
// a popup when a file chooser opens.
import { mountCaptureSettings } from "./capture_settings.js";

// The largest file the host imports; checked here before anything is sent.
const MAX_IMPORT_BYTES = 16 * 1024 * 1024;

const byId = (id) => document.getElementById(id);

async function request(op, members = {}) {
  const answer = await chrome.runtime.sendMessage({ type: "velkaron:request", op, members });
  if (!answer) throw new Error("Keine Antwort vom Dienst der Erweiterung");
  if (!answer.ok) throw new Error(answer.error);
  return answer.data;
}

function notify(text, kind = "info") {
  const notice = byId("notice");
  notice.textContent = text;
  notice.dataset.kind = kind;
  notice.hidden = text === "";
}

async function attempt(action) {
  notify("");
  try {
    await action();
  } catch (error) {
    notify(error.message, "error");
  }
}

async function showState() {
  const status = await request("status");
  const state = byId("state");
  state.dataset.state = status.unlocked ? "unlocked" : "locked";
  state.textContent = status.unlocked
    ? `Tresor entsperrt, ${status.entries} Anmeldungen`
    : "Tresor ist gesperrt: bitte zuerst im Fenster der Erweiterung entsperren";
}

// Base64 of the file's bytes, as the host takes them: it judges the bytes itself.
function base64Of(bytes) {
  let binary = "";
  for (let at = 0; at < bytes.length; at += 0x8000) {
    binary += String.fromCharCode(...bytes.subarray(at, at + 0x8000));
  }
  return btoa(binary);
}

function listItems(list, items) {
  list.replaceChildren(
    ...items.map((text) => {
      const item = document.createElement("li");
      item.textContent = text;
      return item;
    }),
  );
}

function showSummary(summary) {
  byId("import-counts").textContent =
    `Neu: ${summary.added}, unverändert: ${summary.unchanged}, ersetzt: ${summary.replaced}, ` +
    `Konflikte: ${summary.conflicts.length}, übersprungen: ${summary.skipped.length}`;
  byId("conflict-count").textContent = summary.conflicts.length;
  listItems(
    byId("conflicts"),
    summary.conflicts.map((c) => `Zeile ${c.line}: ${c.host}, Benutzer „${c.username}“`),
  );
  byId("conflicts-details").hidden = summary.conflicts.length === 0;
  byId("replace-conflicts").hidden = summary.conflicts.length === 0;
  byId("skipped-count").textContent = summary.skipped.length;
  listItems(
    byId("skipped"),
    summary.skipped.map((s) => `Zeile ${s.line}: ${s.reason}`),
  );
  byId("skipped-details").hidden = summary.skipped.length === 0;
  byId("notes-count").textContent = summary.notes_dropped.length;
  byId("notes").textContent = summary.notes_dropped.join(", ");
  byId("notes-details").hidden = summary.notes_dropped.length === 0;
  byId("import-summary").hidden = false;
}

// The file of the last import, for replacing its conflicts in a second step.
let lastImport = null;

async function importFile(replace) {
  const summary = await request("import", { data: lastImport, replace });
  showSummary(summary);
  await showState();
}

byId("import-file").addEventListener("change", (event) =>
  attempt(async () => {
    const [file] = event.target.files;
    event.target.value = "";
    if (!file) return;
    if (file.size > MAX_IMPORT_BYTES) throw new Error("Datei zu groß: höchstens 16 MiB");
    lastImport = base64Of(new Uint8Array(await file.arrayBuffer()));
    await importFile(false);
  }),
);

byId("replace-conflicts").addEventListener("click", () =>
  attempt(async () => {
    if (lastImport === null) return;
    await importFile(true);
  }),
);

// Saved through a link to a blob, revoked at once: no `downloads` permission needed.
function save(text, name) {
  const url = URL.createObjectURL(new Blob([text], { type: "text/csv;charset=utf-8" }));
  const link = document.createElement("a");
  link.href = url;
  link.download = name;
  link.click();
  URL.revokeObjectURL(url);
}

function today() {
  const now = new Date();
  const two = (n) => String(n).padStart(2, "0");
  return `${now.getFullYear()}-${two(now.getMonth() + 1)}-${two(now.getDate())}`;
}

byId("export-form").addEventListener("submit", (event) => {
  event.preventDefault();
  const form = event.target;
  attempt(async () => {
    const { csv } = await request("export", { password: form.password.value });
    form.reset();
    save(csv, `velkaron-export-${today()}.csv`);
    notify("Export gespeichert. Löschen Sie die Datei, sobald Sie sie nicht mehr brauchen.");
  });
});

attempt(showState);
mountCaptureSettings(byId("capture-settings"));
