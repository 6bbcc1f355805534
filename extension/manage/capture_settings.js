// The management page's part for saving logins: the switch that turns the offers off and the
// hosts that are never offered a save ("Nie für diese Seite"), each removable. These are the
// extension's settings, not the vault's: shown whether the vault is locked or not.
import {
  captureEnabled,
  neverHosts,
  removeNeverHost,
  setCaptureEnabled,
} from "../shared/capture_setting.js";

function hostRow(host, redraw) {
  const item = document.createElement("li");
  const name = document.createElement("span");
  name.textContent = host;
  const remove = document.createElement("button");
  remove.type = "button";
  remove.textContent = "Entfernen";
  remove.addEventListener("click", async () => {
    await removeNeverHost(host);
    await redraw();
  });
  item.append(name, remove);
  return item;
}

export async function mountCaptureSettings(root) {
  const heading = document.createElement("h2");
  heading.textContent = "Anmeldungen speichern";
  const label = document.createElement("label");
  const toggle = document.createElement("input");
  toggle.type = "checkbox";
  toggle.id = "capture-enabled";
  label.append(toggle, " Anbieten, gesendete Anmeldungen zu speichern");
  const caption = document.createElement("p");
  caption.textContent = "Nie anbieten für:";
  const list = document.createElement("ul");
  list.id = "never-hosts";
  const empty = document.createElement("p");
  empty.id = "never-hosts-empty";
  empty.textContent = "Keine Seiten.";

  const redraw = async () => {
    const hosts = await neverHosts();
    list.replaceChildren(...hosts.map((host) => hostRow(host, redraw)));
    empty.hidden = hosts.length > 0;
  };
  toggle.checked = await captureEnabled();
  toggle.addEventListener("change", () => setCaptureEnabled(toggle.checked));
  root.replaceChildren(heading, label, caption, list, empty);
  await redraw();
}
