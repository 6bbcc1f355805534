// Remembers what the user last pressed a pointer or a key on in this frame, and when. Only
// trusted events count: a page's script can move focus or dispatch events, but not make the
// browser report a person's press. The fill uses it to find the form the user is on.
"use strict";

// eslint-disable-next-line no-unused-vars -- read by login_form.js
const InteractionTracker = (() => {
  let last = null; // { target: Element, at: milliseconds since the epoch }

  const record = (event) => {
    if (!event.isTrusted) return;
    // The element itself, also inside a shadow root, not the host the event was retargeted to.
    const target = event.composedPath()[0];
    if (target instanceof Element) last = { target, at: performance.timeOrigin + event.timeStamp };
  };
  // Capturing on the window sees the press before the page's own listeners can stop it.
  addEventListener("pointerdown", record, { capture: true, passive: true });
  addEventListener("keydown", record, { capture: true, passive: true });

  return {
    // The last press still in the document, or null.
    last: () => (last?.target.isConnected ? last : null),
  };
})();
