// Creating, unlocking, locking the vault and changing its master password, or setting a new
// one with the recovery code.
import { CLIPBOARD_CLEAR_SECONDS } from "../shared/constants.js";
import { copyRecoveryCode, request } from "./api.js";
import { attempt, byId, notify, onSubmit, showViews } from "./ui.js";

function requireRepeat(password, repeat) {
  if (password !== repeat) throw new Error("Die beiden Passwörter stimmen nicht überein");
}

// `refresh` shows the vault's state anew after a change.
export function wireVaultViews(refresh) {
  onSubmit(byId("create-form"), async ({ password, repeat }) => {
    requireRepeat(password, repeat);
    const { recoveryCode } = await request("create", { password });
    // The code exists nowhere else: it stays on screen until the user confirms.
    byId("recovery-code").textContent = recoveryCode;
    byId("state").textContent = "Tresor angelegt und entsperrt";
    showViews(["recovery-view"]);
  });
  byId("copy-recovery").addEventListener("click", () =>
    attempt(async () => {
      await copyRecoveryCode(byId("recovery-code").textContent);
      notify(
        `Code kopiert; in ${CLIPBOARD_CLEAR_SECONDS} Sekunden wird die Zwischenablage geleert. Legen Sie ihn an einem sicheren Ort ab.`,
      );
    }),
  );
  byId("recovery-done").addEventListener("click", () => {
    byId("recovery-code").textContent = "";
    refresh();
  });

  onSubmit(byId("unlock-form"), async ({ password }) => {
    await request("unlock", { password });
    await refresh();
  });
  // A user who needed the code has lost the master password: the recovery ends in a new one.
  // The code is kept only in this page until then, as reset-password needs it once more.
  let recoveryCode = "";
  onSubmit(byId("recovery-form"), async ({ code }) => {
    await request("unlock-recovery", { code });
    recoveryCode = code;
    await refresh();
    showViews(["reset-view"]);
    notify("Mit dem Wiederherstellungscode entsperrt. Legen Sie ein neues Master-Passwort fest.");
  });
  onSubmit(byId("reset-form"), async ({ new_password: newPassword, repeat }) => {
    requireRepeat(newPassword, repeat);
    await request("reset-password", { code: recoveryCode, new_password: newPassword });
    recoveryCode = "";
    await refresh();
    notify("Neues Master-Passwort gesetzt.");
  });
  byId("lock").addEventListener("click", () =>
    attempt(async () => {
      await request("lock");
      await refresh();
    }),
  );
  onSubmit(byId("change-form"), async ({ password, new_password: newPassword, repeat }) => {
    requireRepeat(newPassword, repeat);
    await request("change-password", { password, new_password: newPassword });
    notify("Master-Passwort geändert.");
  });
}
