// Finds the login form of this frame and fills it when the extension's service worker asks,
// which it does only after the user chose a login in the extension's popup or pressed the
// keyboard command. Nothing here adds anything to the page or acts on the page's events.
"use strict";

(() => {
  const USERNAME_TYPES = new Set(["text", "email", "tel"]);

  const hasAutocomplete = (field, token) => field.autocomplete.split(/\s+/).includes(token);

  // Hidden fields are traps: a page could collect what is filled into a field nobody sees.
  function isVisible(field) {
    if (!field.checkVisibility({ checkOpacity: true, checkVisibilityCSS: true })) return false;
    const box = field.getBoundingClientRect();
    if (box.width < 1 || box.height < 1) return false;
    const page = document.documentElement;
    const left = box.left + window.scrollX;
    const top = box.top + window.scrollY;
    return (
      left + box.width > 0 &&
      top + box.height > 0 &&
      left < page.scrollWidth &&
      top < page.scrollHeight
    );
  }

  function isEditable(field) {
    return !field.disabled && !field.readOnly && isVisible(field);
  }

  // The password field of a login (not of a sign-up or password change: those ask for a new
  // password), and the user name field before it in the same form, or in the document when
  // the fields stand in no form. Looked up at fill time, so fields added after load count.
  function findLoginFields() {
    const password = [...document.querySelectorAll('input[type="password"]')].find(
      (field) => !hasAutocomplete(field, "new-password") && isEditable(field),
    );
    if (!password) return null;
    const scope = password.form ?? document;
    const candidates = [...scope.querySelectorAll("input")].filter(
      (field) =>
        field.form === password.form &&
        USERNAME_TYPES.has(field.type) &&
        field.compareDocumentPosition(password) & Node.DOCUMENT_POSITION_FOLLOWING &&
        isEditable(field),
    );
    const username =
      candidates.find((field) => hasAutocomplete(field, "username")) ?? candidates.at(-1) ?? null;
    return { username, password };
  }

  // Sets the value the way typing does, so page scripts (and frameworks that track the
  // value setter) see it.
  function setValue(field, value) {
    const setter = Object.getOwnPropertyDescriptor(HTMLInputElement.prototype, "value").set;
    setter.call(field, value);
    field.dispatchEvent(new Event("input", { bubbles: true }));
    field.dispatchEvent(new Event("change", { bubbles: true }));
  }

  async function fillLogin() {
    const fields = findLoginFields();
    if (!fields) return false;
    const login = await chrome.runtime.sendMessage({ type: "velkaron:login-for-frame" });
    if (!login) return false;
    // The page may have changed while the login was fetched.
    if (!fields.password.isConnected || !isEditable(fields.password)) return false;
    if (fields.username && fields.username.isConnected && isEditable(fields.username)) {
      setValue(fields.username, login.username);
    }
    setValue(fields.password, login.password);
    return true;
  }

  chrome.runtime.onMessage.addListener((message, sender, sendResponse) => {
    if (sender.id !== chrome.runtime.id || message?.type !== "velkaron:fill") return undefined;
    fillLogin().then(sendResponse, () => sendResponse(false));
    return true;
  });
})();
