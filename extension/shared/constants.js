// Values that more than one part of the extension relies on.

// A copied password or recovery code is cleared from the clipboard after this long.
export const CLIPBOARD_CLEAR_SECONDS = 30;

// The extension's storage key of the idle time after which the vault locks, and its default.
export const IDLE_MINUTES_KEY = "idleLockMinutes";
export const DEFAULT_IDLE_MINUTES = 10;
