// Sees a login, sign-up or change-password form being sent and tells the extension's service
// worker what the user typed into it, so that the extension's own button can offer to save or
// update the login (docs/browser.md#saving-logins). Only values the user typed or pasted, or
// that the extension filled, are taken (InteractionTracker.ownValue): a value a script set
// counts as empty. Nothing here adds anything to the page, stops or changes its events, moves
// focus or answers it: the worker decides alone whether and what to offer, and the page never
// learns whether an offer was made.
"use strict";
/* global FormFields, InteractionTracker */

// eslint-disable-next-line no-unused-vars -- read by the unit tests of the classification
const LoginCapture = (() => {
  const { hasAutocomplete, isSearch, scopeOf } = FormFields;
  const USERNAME_TYPES = new Set(["text", "email"]);
  // A step that asks only for the user name names its field like one.
  const USERNAME_NAME = /user|login|mail|konto|account|benutzer|kennung/i;

  const fieldsOf = (scope) =>
    scope instanceof HTMLFormElement
      ? [...scope.elements].filter((field) => field instanceof HTMLInputElement)
      : [...scope.querySelectorAll("input")];

  const userCannotEdit = (field) => field.type === "hidden" || field.readOnly || field.disabled;

  // The user name of a sending: the autocomplete="username" field (also a hidden or read-only
  // one, which carries the account's name in change-password forms), else the last text or
  // e-mail field the user typed into before the first password field.
  function usernameOf(fields, firstPassword, valueOf) {
    const marked = fields.find(
      (field) => field.type !== "password" && hasAutocomplete(field, "username"),
    );
    if (marked) {
      const value = userCannotEdit(marked) ? marked.value : valueOf(marked);
      if (value) return value;
    }
    const before = fields.filter(
      (field) =>
        USERNAME_TYPES.has(field.type) &&
        !isSearch(field) &&
        (!firstPassword ||
          field.compareDocumentPosition(firstPassword) & Node.DOCUMENT_POSITION_FOLLOWING),
    );
    return before.map(valueOf).findLast(Boolean) ?? "";
  }

  // Which of the typed password values are current and which new: the marked ones by their
  // autocomplete token; unmarked, one is a login, two equal ones a sign-up with its repeat,
  // a third or a differing second one the new password after the current one.
  function splitPasswords(typed) {
    const marked = typed.filter(({ field }) => hasAutocomplete(field, "new-password"));
    if (marked.length > 0) {
      return {
        current: typed.filter((entry) => !marked.includes(entry)).map(({ value }) => value),
        fresh: marked.map(({ value }) => value),
      };
    }
    const values = typed.map(({ value }) => value);
    if (values.length === 1) return { current: values, fresh: [] };
    if (values.length === 2 && values[0] === values[1]) return { current: [], fresh: values };
    return { current: values.slice(0, 1), fresh: values.slice(1) };
  }

  // What a sending of `scope` (a form, or the container of a form-less login) holds for the
  // worker: { kind: "login" | "signup" | "change", username, password, newPassword } or, for
  // the first step of a login in two steps, { kind: "username", username }; null when there is
  // nothing to offer. `valueOf(field)` is a field's value when the user gave it, else null.
  function read(scope, valueOf = InteractionTracker.ownValue) {
    const fields = fieldsOf(scope);
    const passwords = fields.filter((field) => field.type === "password");
    const typed = passwords
      .map((field) => ({ field, value: valueOf(field) }))
      .filter(({ value }) => value);
    const username = usernameOf(fields, passwords[0], valueOf);
    if (typed.length === 0) {
      const named = fields.some(
        (field) =>
          valueOf(field) &&
          (hasAutocomplete(field, "username") ||
            field.type === "email" ||
            USERNAME_NAME.test(`${field.name} ${field.id}`)),
      );
      return passwords.length === 0 && named && username ? { kind: "username", username } : null;
    }
    const { current, fresh } = splitPasswords(typed);
    // A repeat that differs from the new password is a typing mistake, not a password.
    if (fresh.some((value) => value !== fresh[0]) || current.length > 1) return null;
    const password = current[0] ?? "";
    const newPassword = fresh[0] ?? "";
    const kind = password && newPassword ? "change" : newPassword ? "signup" : "login";
    return { kind, username, password, newPassword };
  }

  // One message per distinct sending: a form sent and then left is not reported twice.
  let lastSent = "";
  function send(scope) {
    const sending = read(scope);
    if (!sending) return;
    // A login the extension filled and the user left as it was is the vault's own.
    const typed = fieldsOf(scope).filter(
      (field) => field.type === "password" && InteractionTracker.ownValue(field),
    );
    if (typed.length > 0 && typed.every(InteractionTracker.holdsFill)) return;
    const key = JSON.stringify(sending);
    if (key === lastSent) return;
    lastSent = key;
    // No answer is awaited: nothing in this frame depends on what the worker decides.
    chrome.runtime.sendMessage({ type: "velkaron:capture", sending }).catch(() => {});
  }

  // Password fields holding a value the user gave, with the scope they were typed in; a
  // script that signs in removes the form or navigates without sending it.
  const pending = new Map(); // field -> scope
  let observer = null;

  function sendPending() {
    for (const [field, scope] of pending) {
      pending.delete(field);
      send(scope);
    }
  }

  // Watches the field's ancestors, each for its own children only: a page's changes elsewhere
  // make no mutation records, which would slow down pages that change much.
  function watchRemoval(field) {
    observer ??= new MutationObserver(() => {
      for (const [field, scope] of pending) {
        if (!field.isConnected) {
          pending.delete(field);
          send(scope);
        }
      }
    });
    for (
      let node = field.parentNode;
      node;
      node = node instanceof ShadowRoot ? node.host : node.parentNode
    ) {
      observer.observe(node, { childList: true });
    }
  }

  InteractionTracker.onOwnValue((field) => {
    const root = field.getRootNode();
    if (root instanceof ShadowRoot) listenForSubmit(root);
    if (field.type === "password") {
      pending.set(field, scopeOf(field));
      watchRemoval(field);
    }
  });

  const onSubmit = (event) => {
    const form = event.composedPath()[0];
    if (!(form instanceof HTMLFormElement)) return;
    for (const field of pending.keys()) if (field.form === form) pending.delete(field);
    send(form);
  };
  // A submit event does not leave a shadow root: each open root the user typed in gets a
  // listener of its own.
  const rootsListened = new WeakSet();
  function listenForSubmit(root) {
    if (rootsListened.has(root)) return;
    rootsListened.add(root);
    root.addEventListener("submit", onSubmit, { capture: true, passive: true });
  }
  listenForSubmit(window);

  // A form-less login is sent by a click on a button or by Enter in one of its fields.
  const BUTTON = 'button, input[type="submit"], input[type="button"], [role="button"]';
  function formlessScope(target) {
    const field = [...pending.keys()].find(
      (password) => !password.form && scopeOf(password).contains(target),
    );
    return field ? scopeOf(field) : null;
  }
  const sendFormless = (target) => {
    const scope = formlessScope(target);
    if (!scope) return;
    for (const field of pending.keys()) if (scopeOf(field) === scope) pending.delete(field);
    send(scope);
  };
  addEventListener(
    "click",
    (event) => {
      const target = event.composedPath()[0];
      const button = target instanceof Element ? target.closest(BUTTON) : null;
      if (event.isTrusted && button && !button.form) sendFormless(button);
    },
    { capture: true, passive: true },
  );
  addEventListener(
    "keydown",
    (event) => {
      const field = event.composedPath()[0];
      if (event.isTrusted && event.key === "Enter" && field instanceof HTMLInputElement) {
        if (!field.form) sendFormless(field);
      }
    },
    { capture: true, passive: true },
  );

  // Leaving the page, or the worker's word that it moved by the History API.
  addEventListener("pagehide", sendPending, { capture: true, passive: true });
  chrome.runtime.onMessage.addListener((message, sender) => {
    if (sender.id !== chrome.runtime.id || sender.tab) return undefined;
    if (message?.type === "velkaron:page-moved") sendPending();
    return undefined;
  });

  return { read };
})();
