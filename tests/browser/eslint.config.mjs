// Lints the extension and these tests. Run from the repository root by scripts/check_js.
import js from "@eslint/js";
import globals from "globals";

export default [
  { ignores: ["**/node_modules/"] },
  js.configs.recommended,
  {
    rules: {
      eqeqeq: "error",
      "no-var": "error",
      "prefer-const": "error",
      "no-unused-vars": ["error", { args: "after-used", caughtErrors: "none" }],
    },
  },
  {
    files: ["extension/**/*.js"],
    languageOptions: {
      sourceType: "module",
      globals: { ...globals.browser, ...globals.webextensions },
    },
  },
  {
    // Content scripts and the offscreen document's script are classic scripts.
    files: ["extension/content/**/*.js", "extension/offscreen/**/*.js"],
    languageOptions: { sourceType: "script" },
  },
  {
    files: ["tests/browser/**/*.mjs"],
    languageOptions: { globals: { ...globals.node, ...globals.browser, chrome: "readonly" } },
  },
];
