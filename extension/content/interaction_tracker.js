// Remembers what the user last pressed a pointer or a key on in this frame, and when, and the
// values the user typed or pasted into fields. Only trusted events count: a page's script can
// move focus, set values or dispatch events, but not make the browser report a person's press
// or keystroke. The fill uses the press to find the form the user is on; the capture takes
// only values that are still the ones the user (or the extension's fill) put there.
"use strict";

// eslint-disable-next-line no-unused-vars -- read by login_form.js and login_capture.js
const InteractionTracker = (() => {
  let last = null; // { target: Element, at: milliseconds since the epoch }
  const ownValues = new WeakMap(); // field -> the value the user or the fill left in it
  const valueListeners = [];

  const record = (event) => {
    if (!event.isTrusted) return;
    // The element itself, also inside a shadow root, not the host the event was retargeted to.
    const target = event.composedPath()[0];
    if (target instanceof Element) last = { target, at: performance.timeOrigin + event.timeStamp };
  };
  // Capturing on the window sees the press before the page's own listeners can stop it.
  addEventListener("pointerdown", record, { capture: true, passive: true });
  addEventListener("keydown", record, { capture: true, passive: true });

  const fills = new WeakMap(); // field -> the value the extension's fill left in it
  const keep = (field) => {
    fills.delete(field);
    ownValues.set(field, field.value);
    for (const listener of valueListeners) listener(field);
  };

  // A page's own editing command (document.execCommand("insertText", …)) fires an input event
  // the browser marks as trusted, too; what it cannot fake is the person's key press, paste or
  // drop into that very field just before.
  let gesture = null; // { field: Element, at: the event's time stamp }
  const noteGesture = (event) => {
    if (event.isTrusted) gesture = { field: event.composedPath()[0], at: event.timeStamp };
  };
  for (const type of ["keydown", "paste", "drop"]) {
    addEventListener(type, noteGesture, { capture: true, passive: true });
  }
  const GESTURE_MS = 1000;

  // Typing, pasting, dropping and deleting by the user.
  addEventListener(
    "input",
    (event) => {
      if (!event.isTrusted || !/^(insert|delete)/.test(event.inputType ?? "")) return;
      const field = event.composedPath()[0];
      if (gesture?.field !== field || event.timeStamp - gesture.at > GESTURE_MS) return;
      if (field instanceof HTMLInputElement) keep(field);
    },
    { capture: true, passive: true },
  );

  return {
    // The last press still in the document, or null.
    last: () => (last?.target.isConnected ? last : null),
    // The field's value when the user or the extension's fill put it there and no script has
    // changed it since; else null.
    ownValue: (field) => {
      const value = ownValues.get(field);
      return value !== undefined && value === field.value ? value : null;
    },
    // The extension's fill set this value.
    filled: (field) => {
      keep(field);
      fills.set(field, field.value);
    },
    // Whether the field still holds what the extension filled: nothing the user typed.
    holdsFill: (field) => fills.has(field) && fills.get(field) === field.value,
    // `listener(field)` runs after each value the user or the fill gave a field.
    onOwnValue: (listener) => valueListeners.push(listener),
  };
})();
