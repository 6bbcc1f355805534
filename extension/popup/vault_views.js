// Creating, unlocking, locking the vault and changing its master password.
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
  onSubmit(byId("recovery-form"), async ({ code }) => {
    await request("unlock-recovery", { code });
    await refresh();
    notify("Mit dem Wiederherstellungscode entsperrt. Ändern Sie bei Bedarf das Master-Passwort.");
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
