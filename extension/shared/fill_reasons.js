// Why a fill did not happen, in the words the popup and the extension's button show.
const TEXTS = {
  "no-tab": () => "Kein Tab gewählt.",
  "not-https": () => "Diese Seite ist nicht über HTTPS geladen: hier wird nichts eingefüllt.",
  locked: () =>
    "Der Tresor ist gesperrt. Entsperren Sie ihn, um die Anmeldungen dieser Seite zu sehen.",
  "no-match": ({ host }) => `Keine gespeicherte Anmeldung für ${host}.`,
  "no-form": () => "Kein sichtbares Anmeldeformular auf dieser Seite gefunden",
  hidden: () =>
    "Das Anmeldeformular dieser Seite ist verdeckt, zu klein oder unsichtbar: hier wird nichts eingefüllt.",
  scroll: () =>
    "Das Anmeldeformular liegt außerhalb des sichtbaren Bereichs. Scrollen Sie zu ihm und versuchen Sie es noch einmal.",
  several: () =>
    "Auf dieser Seite sind mehrere Anmeldeformulare. Klicken Sie in das gewünschte und versuchen Sie es noch einmal.",
  action: ({ actionHost }) =>
    `Dieses Formular sendet an ${actionHost}, nicht über HTTPS an diese Seite. Einfüllen nur mit einem zweiten Klick im Fenster der Erweiterung.`,
  changed: () => "Die Seite hat sich beim Einfüllen geändert: nichts eingefüllt.",
  "no-login": () => "Die Anmeldung konnte nicht eingefüllt werden. Versuchen Sie es noch einmal.",
};

// `details` holds what a text names: the page's `host`, the form's `actionHost`.
export const fillReasonText = (reason, details = {}) =>
  (TEXTS[reason] ?? TEXTS["no-login"])(details);
