// What the fill and the capture both ask of a page's input fields.
"use strict";

// eslint-disable-next-line no-unused-vars -- read by login_form.js and login_capture.js
const FormFields = (() => {
  const hasAutocomplete = (field, token) => field.autocomplete.split(/\s+/).includes(token);
  const isSearch = (field) => field.type === "search" || field.closest('[role="search"]') !== null;

  // The form of a field, or without one the closest container that holds another input.
  function scopeOf(field) {
    if (field.form) return field.form;
    for (let node = field.parentElement; node; node = node.parentElement) {
      const inputs = node.querySelectorAll('input:not([type="hidden"])');
      if (inputs.length > 1) return node;
    }
    return field.getRootNode() instanceof ShadowRoot
      ? field.getRootNode()
      : document.documentElement;
  }

  return { hasAutocomplete, isSearch, scopeOf };
})();
