// Small helpers every view of the popup uses.

export const byId = (id) => document.getElementById(id);

export function showViews(visible) {
  for (const section of document.querySelectorAll("body > section")) {
    section.hidden = !visible.includes(section.id);
  }
}

// One line at the top for the outcome of the last action.
export function notify(text, kind = "info") {
  const notice = byId("notice");
  notice.textContent = text;
  notice.dataset.kind = kind;
  notice.hidden = text === "";
}

// Runs a user action, showing its failure as the host's German message. Tells whether it
// succeeded.
export async function attempt(action) {
  notify("");
  try {
    await action();
    return true;
  } catch (error) {
    notify(error.message, "error");
    return false;
  }
}

// Submitting a form runs `action` with its fields; the form is cleared when the action succeeds.
export function onSubmit(form, action) {
  form.addEventListener("submit", async (event) => {
    event.preventDefault();
    const fields = Object.fromEntries(new FormData(form));
    const button = form.querySelector('button[type="submit"]');
    button.disabled = true;
    const done = await attempt(() => action(fields));
    button.disabled = false;
    if (done) form.reset();
  });
}

export function button(label, action) {
  const element = document.createElement("button");
  element.type = "button";
  element.textContent = label;
  element.addEventListener("click", () => attempt(action));
  return element;
}
