// Finds the login form the user is on in this frame and fills it when the extension's service
// worker asks, which it does only after the user chose a login in the extension's popup or
// pressed the keyboard command. Nothing here adds anything to the page or acts on the page's
// events. The content scripts do act on one thing by themselves: a login the user sends is
// reported to the worker (login_capture.js). Which fields count:
// docs/browser.md#which-fields-are-filled.
"use strict";
/* global Fillable, FormFields, InteractionTracker */

// The time this frame's last probe and last fill spent choosing and judging fields, in ms, for
// the browser bench, which reads it in the content scripts' world (docs/browser.md#test-hooks).
// The page cannot reach that world, and nothing of it enters the page's performance timeline.
const JudgementTimes = { probe: 0, fill: 0 };

(() => {
  const USERNAME_TYPES = new Set(["text", "email"]);
  const { hasAutocomplete, isSearch, scopeOf } = FormFields;

  const editable = (field) => !field.disabled && !field.readOnly;

  // Null when a person can see and reach the field, its frame included; else why not.
  const judgeField = (field) =>
    Fillable.judge(field, { text: true }) ?? Fillable.judgeFrames(window);

  // Where the form sends its fields, as the browser would resolve it.
  const actionOf = (password) =>
    new URL(password.form?.getAttribute("action") ?? "", document.baseURI).href;

  // The password field of the login the user is on: the one they last pressed a pointer or a
  // key in, or in whose form; else the only fillable one. Fields of a sign-up or a password
  // change (autocomplete="new-password") are never one. Judged lazily, one at a time.
  function choosePassword() {
    const candidates = [...document.querySelectorAll('input[type="password"]')].filter(
      (field) => !hasAutocomplete(field, "new-password") && editable(field),
    );
    if (candidates.length === 0) return { reason: "no-form" };
    const last = InteractionTracker.last();
    const touched = last
      ? candidates.filter((field) => field === last.target || scopeOf(field).contains(last.target))
      : [];
    if (touched.length > 0) {
      const field = touched.includes(last.target) ? last.target : touched[0];
      const why = judgeField(field);
      return why ? { reason: why } : { password: field, at: last.at };
    }
    let chosen = null;
    let reason = "hidden";
    for (const field of candidates) {
      const why = judgeField(field);
      if (why === null) {
        if (chosen) return { reason: "several" };
        chosen = field;
      } else if (why === "outside-viewport") {
        reason = "scroll";
      } else if (why === "frame") {
        return { reason: "hidden" };
      }
    }
    return chosen ? { password: chosen, at: null } : { reason };
  }

  // The user-name field of the password's form: its autocomplete="username" field, else the
  // nearest text or e-mail field before the password; in the same form, or without a form in
  // the same closest container. Never a search field; null when none is fillable.
  function usernameFor(password) {
    const fields = [...scopeOf(password).querySelectorAll("input")].filter(
      (field) =>
        field.form === password.form &&
        USERNAME_TYPES.has(field.type) &&
        editable(field) &&
        !isSearch(field),
    );
    const marked = fields.filter((field) => hasAutocomplete(field, "username"));
    const before = fields
      .filter((field) => field.compareDocumentPosition(password) & Node.DOCUMENT_POSITION_FOLLOWING)
      .reverse();
    return [...marked, ...before].find((field) => judgeField(field) === null) ?? null;
  }

  // Sets the value through the setter of the prototype, so frameworks that track the value
  // setter see it; the events come after both fields are set (fill below). Looked up at the
  // fill: reaching the prototype first costs every page load the bindings' set-up.
  const setValue = (field, value) =>
    Object.getOwnPropertyDescriptor(HTMLInputElement.prototype, "value").set.call(field, value);

  function probe() {
    const start = performance.now();
    const choice = choosePassword();
    JudgementTimes.probe = performance.now() - start;
    // The document's own origin: "null" in a sandboxed frame, whatever its address.
    if (!choice.password) return { state: choice.reason, origin: window.origin };
    return {
      state: "ready",
      at: choice.at,
      action: actionOf(choice.password),
      origin: window.origin,
    };
  }

  // `login` comes from the worker with the fill, which it sends only to this document, and
  // `action` is where the form sent its fields when the worker probed it: a form changed since
  // then is not filled. The judgement that counts is this one, as the login arrives: judge both
  // fields, set both, and only then tell the page, whose code runs on the first event and must
  // find both fields set already.
  function fill(action, login) {
    const start = performance.now();
    const choice = choosePassword();
    if (!choice.password) return { filled: false, reason: choice.reason };
    if (actionOf(choice.password) !== action) return { filled: false, reason: "changed" };
    const username = login.username ? usernameFor(choice.password) : null;
    JudgementTimes.fill = performance.now() - start;
    const filled = [username, choice.password].filter(Boolean);
    if (username) setValue(username, login.username);
    setValue(choice.password, login.password);
    // What the extension filled counts as the user's own when the form is sent.
    for (const field of filled) InteractionTracker.filled(field);
    for (const type of ["input", "change"]) {
      for (const field of filled) field.dispatchEvent(new Event(type, { bubbles: true }));
    }
    return { filled: true };
  }

  chrome.runtime.onMessage.addListener((message, sender, sendResponse) => {
    if (sender.id !== chrome.runtime.id || sender.tab) return undefined;
    if (message?.type === "velkaron:probe") sendResponse(probe());
    if (message?.type === "velkaron:fill") sendResponse(fill(message.action, message.login));
    return undefined;
  });
})();
