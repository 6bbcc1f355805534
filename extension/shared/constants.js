// Values that more than one part of the extension relies on.

// A copied password or recovery code is cleared from the clipboard after this long.
export const CLIPBOARD_CLEAR_SECONDS = 30;

// The extension's storage key of the idle time after which the vault locks, and its default.
export const IDLE_MINUTES_KEY = "idleLockMinutes";
export const DEFAULT_IDLE_MINUTES = 10;

// How long an offer to save or update a login, and the "Rückgängig" after an update, stay.
export const OFFER_MINUTES = 5;
// How long the user name of a login's first step waits for the password of its second.
export const TWO_STEP_MINUTES = 3;
// The extension's storage keys of the hosts never offered a save, and of capture turned off.
export const NEVER_HOSTS_KEY = "neverSaveHosts";
export const CAPTURE_OFF_KEY = "captureOff";
