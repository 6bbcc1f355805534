// Saving what the user types: a login, sign-up or change of password sent in a page leads to
// an offer on the extension's button and at the top of the popup, which saves, updates, undoes,
// is dismissed, ends with its time or is never made again for the site.
import assert from "node:assert/strict";
import { test } from "node:test";
import {
  at,
  dismissOffer,
  NO_OFFER,
  offerButton,
  offerInPopup,
  PASSWORD,
  SAVE,
  sendLogin,
  sessionHolds,
  shared,
  UPDATE,
  useCaptureBrowser,
  USERNAME,
} from "./capture_fixture.mjs";
import {
  buttonOf,
  EXTENSION_ID,
  pressFillCommand,
  sendingsHandled,
  tabIdOf,
  typeInto,
  unlock,
  waitForButton,
  waitForSendings,
  waitForState,
} from "./harness.mjs";

useCaptureBrowser();

test("a classic form posted to another page: save offered, saved through the popup, filled next time", async () => {
  const { popup, site, siteTab, worker } = shared;
  await sendLogin("classic.example.com", "capture_login.html", { password: "Neu-Klassisch-1" });
  await site.waitForURL(/welcome\.html$/);
  // The browser resets the button on the next page; the offer is shown there again.
  await waitForButton(worker, siteTab, "+");
  assert.deepEqual(await buttonOf(worker, siteTab), ["+", SAVE]);
  const offer = await offerInPopup();
  assert.match(
    offer,
    /^Anmeldung speichern\? Seite: classic\.example\.com Benutzer: erika@example\.org Passwort: •+\s*Anzeigen/,
  );
  assert.ok(!offer.includes("Neu-Klassisch-1"), "the password is masked");
  await offerButton("Anzeigen").click();
  assert.equal(await popup.locator("#offer-password").textContent(), "Neu-Klassisch-1");
  const stored = () =>
    popup.evaluate(async () =>
      (
        await chrome.runtime.sendMessage({ type: "velkaron:request", op: "list", members: {} })
      ).data.map((login) => login.host),
    );
  assert.deepEqual(await stored(), ["localhost"], "nothing is stored before the click");

  await offerButton("Speichern").click();
  await popup.locator("#notice", { hasText: "Anmeldung gespeichert." }).waitFor();
  assert.deepEqual((await stored()).sort(), ["classic.example.com", "localhost"]);
  assert.equal(await popup.locator("#offer-view").isHidden(), true);
  assert.deepEqual(await buttonOf(worker, siteTab), NO_OFFER);
  assert.equal(await sessionHolds("Neu-Klassisch-1"), false, "the candidate is wiped");

  await site.goto(at("classic.example.com", "capture_login.html"));
  assert.deepEqual(await pressFillCommand(worker, siteTab), { filled: true });
  assert.equal(await site.inputValue("#password"), "Neu-Klassisch-1");
  assert.equal(await site.inputValue("#username"), USERNAME);
});

test("a script login with fetch and no navigation; the popup's Verwerfen ends the offer", async () => {
  const { popup, site, siteTab, worker } = shared;
  await sendLogin("script.example.com", "capture_script.html", { username: "skript" });
  await site.locator("#result", { hasText: "Angemeldet" }).waitFor();
  await waitForButton(worker, siteTab, "+");
  assert.match(await offerInPopup(), /Seite: script\.example\.com Benutzer: skript /);
  await offerButton("Verwerfen").click();
  await popup.locator("#offer-view").waitFor({ state: "hidden" });
  assert.deepEqual(await buttonOf(worker, siteTab), NO_OFFER);
  assert.equal(await sessionHolds(PASSWORD), false);
});

test("one offer per site: a sending in another tab replaces this tab's offer", async () => {
  const { context, siteTab, worker } = shared;
  await sendLogin("site.example.com", "capture_script.html", { password: "Erster-Tab" });
  await waitForButton(worker, siteTab, "+");
  const other = await context.newPage();
  await other.goto(at("site.example.com", "capture_script.html?tab=2"));
  const otherTab = await tabIdOf(worker, other);
  const before = await sendingsHandled(worker);
  await typeInto(other, "#username", USERNAME);
  await typeInto(other, "#password", "Zweiter-Tab");
  await other.click("#send");
  await waitForSendings(worker, before + 1);
  await waitForButton(worker, otherTab, "+");
  assert.deepEqual(await buttonOf(worker, siteTab), NO_OFFER);
  assert.equal(await sessionHolds("Erster-Tab"), false);
  await other.close();
  // Its tab closed, the offer and its candidate are gone.
  await worker.evaluate(async () => {
    while (JSON.stringify(await chrome.storage.session.get(null)).includes("Zweiter-Tab")) {
      await new Promise((resolve) => setTimeout(resolve, 20));
    }
  });
});

test("a login in two steps is one offer with the user name and the password", async () => {
  const { site, siteTab, worker } = shared;
  await site.goto(at("steps.example.com", "capture_step1.html"));
  const before = await sendingsHandled(worker);
  await typeInto(site, "#username", "zwei@example.org");
  await site.click("#send");
  await site.waitForURL(/capture_step2\.html$/);
  await waitForSendings(worker, before + 1);
  assert.deepEqual(await buttonOf(worker, siteTab), NO_OFFER, "no offer yet");
  await typeInto(site, "#password", "Zweiter-Schritt-2");
  await site.click("#send");
  await waitForSendings(worker, before + 2);
  await waitForButton(worker, siteTab, "+");
  assert.match(await offerInPopup(), /Seite: steps\.example\.com Benutzer: zwei@example\.org /);
  await offerButton("Verwerfen").click();
});

test("a sign-up offers its new password; forms in open shadow roots count", async () => {
  const { popup, site, siteTab, worker } = shared;
  await site.goto(at("signup.example.com", "capture_signup.html"));
  const before = await sendingsHandled(worker);
  await typeInto(site, "#username", "neu@example.org");
  await typeInto(site, "#password", "Ganz-Neu-3");
  await typeInto(site, "#repeat", "Ganz-Neu-3");
  await site.click("#send");
  await waitForSendings(worker, before + 1);
  await waitForButton(worker, siteTab, "+");
  assert.match(
    await offerInPopup(),
    /^Anmeldung speichern\? Seite: signup\.example\.com Benutzer: neu@example\.org /,
  );
  await offerButton("Anzeigen").click();
  assert.equal(await popup.locator("#offer-password").textContent(), "Ganz-Neu-3");

  await sendLogin("shadow.example.com", "capture_shadow.html", { password: "Schatten-4" });
  await waitForButton(worker, siteTab, "+");
  assert.match(await offerInPopup(), /Seite: shadow\.example\.com Benutzer: erika@example\.org /);
  await offerButton("Verwerfen").click();
});

for (const then of ["push", "remove"]) {
  test(`a password left and the page ${then === "push" ? "moved by the History API" : "takes the fields away"}: offer`, async () => {
    const { site, siteTab, worker } = shared;
    await site.goto(at(`${then}.example.com`, `capture_moved.html?then=${then}`));
    const before = await sendingsHandled(worker);
    await typeInto(site, "#username", USERNAME);
    await typeInto(site, "#password", "Ohne-Formular-5");
    await site.click("#elsewhere"); // the password field's change event
    await waitForSendings(worker, before + 1);
    await waitForButton(worker, siteTab, "+");
    assert.match(await offerInPopup(), new RegExp(`Seite: ${then}\\.example\\.com `));
    await offerButton("Verwerfen").click();
  });
}

test("a change of password updates the stored login, never by default; Rückgängig restores it", async () => {
  const { popup, site, siteTab, worker } = shared;
  await site.goto(at("localhost", "capture_change.html"));
  const before = await sendingsHandled(worker);
  await typeInto(site, "#password", PASSWORD);
  await typeInto(site, "#new", "Geaendert-6");
  await typeInto(site, "#repeat", "Geaendert-6");
  await site.click("#send");
  await waitForSendings(worker, before + 1);
  await waitForButton(worker, siteTab, "+");
  assert.deepEqual(await buttonOf(worker, siteTab), ["+", UPDATE]);
  assert.match(
    await offerInPopup(),
    /^Passwort aktualisieren\? Seite: localhost Benutzer: erika@example\.org /,
  );
  // No button of the offer is a form's default one, none has the focus.
  assert.deepEqual(
    await popup
      .locator("#offer-view button")
      .evaluateAll((buttons) => [
        ...new Set(
          buttons.map((b) => `${b.type} ${b.form === null} ${b === document.activeElement}`),
        ),
      ]),
    ["button true false"],
  );
  await offerButton("Aktualisieren").click();
  await popup.locator("#notice", { hasText: "Passwort aktualisiert." }).waitFor();

  const filled = async () => {
    await site.goto(at("localhost", "capture_login.html"));
    assert.deepEqual(await pressFillCommand(worker, siteTab), { filled: true });
    return site.inputValue("#password");
  };
  assert.equal(await filled(), "Geaendert-6");
  assert.equal(await offerInPopup(), "Passwort aktualisiert. Rückgängig");
  await offerButton("Rückgängig").click();
  await popup.locator("#notice", { hasText: "wiederhergestellt" }).waitFor();
  assert.equal(await filled(), PASSWORD);
  // The undo is spent; leaving a page as the fill left it reports nothing.
  assert.doesNotMatch((await offerInPopup()) ?? "", /Rückgängig/);
  await dismissOffer();
});

test("Nie für diese Seite keeps the host alone; the management page lists and removes it, its switch turns capture off", async () => {
  const { context, popup, siteTab, worker } = shared;
  const host = "never.example.com";
  await sendLogin(host, "capture_script.html", { password: "Nie-9" });
  await waitForButton(worker, siteTab, "+");
  await offerInPopup();
  await offerButton("Nie für diese Seite").click();
  await popup.locator("#notice", { hasText: `Für ${host} wird nichts mehr angeboten.` }).waitFor();
  assert.deepEqual(
    await worker.evaluate(() => chrome.storage.local.get(null)),
    { neverSaveHosts: [host] },
    "only the host name is kept",
  );
  assert.equal(await sessionHolds("Nie-9"), false);
  await sendLogin(host, "capture_script.html", { password: "Nie-9" });
  assert.deepEqual(await buttonOf(worker, siteTab), NO_OFFER);

  const manage = await context.newPage();
  await manage.goto(`chrome-extension://${EXTENSION_ID}/manage/capture.html`);
  const row = manage.locator("#never-hosts li", { hasText: host });
  await row.getByRole("button", { name: "Entfernen" }).click();
  await manage.locator("#never-hosts-empty").waitFor();
  await sendLogin(host, "capture_script.html", { password: "Nie-9" });
  await waitForButton(worker, siteTab, "+");

  // The switch: off ends the offer waiting and offers nothing more; on again offers.
  await manage.locator("#capture-enabled").uncheck();
  await waitForButton(worker, siteTab, "");
  await sendLogin(host, "capture_script.html", { password: "Nie-10" });
  assert.deepEqual(await buttonOf(worker, siteTab), NO_OFFER);
  await manage.locator("#capture-enabled").check();
  await sendLogin(host, "capture_script.html", { password: "Nie-11" });
  await waitForButton(worker, siteTab, "+");
  await manage.close();
  await dismissOffer();
});

test("an offer ends after five minutes on the injected clock, its candidate wiped", async () => {
  const { siteTab, worker } = shared;
  await sendLogin("expiry.example.com", "capture_script.html", { password: "Ablauf-12" });
  await waitForButton(worker, siteTab, "+");
  assert.equal(await sessionHolds("Ablauf-12"), true);
  const sweepAt = (ms) =>
    worker.evaluate(async (later) => {
      const start = Date.now();
      self.velkaron.useClock(() => start + later);
      await self.velkaron.sweep();
      self.velkaron.useClock(Date.now);
    }, ms);
  await sweepAt(4 * 60_000);
  assert.deepEqual(await buttonOf(worker, siteTab), ["+", SAVE], "still there after 4 minutes");
  await sweepAt(5 * 60_000 + 1000);
  assert.deepEqual(await buttonOf(worker, siteTab), NO_OFFER);
  assert.equal(await sessionHolds("Ablauf-12"), false);
  assert.equal(await offerInPopup(), null);
});

test("a locked vault: the offer is shown, the popup asks to unlock before saving", async () => {
  const { popup, siteTab, worker } = shared;
  await popup.evaluate(() =>
    chrome.runtime.sendMessage({ type: "velkaron:request", op: "lock", members: {} }),
  );
  await waitForState(popup, "locked");
  await sendLogin("locked.example.com", "capture_script.html", { password: "Gesperrt-13" });
  await waitForButton(worker, siteTab, "+");
  assert.match(await offerInPopup(), /Entsperren Sie den Tresor, um die Anmeldung zu speichern\./);
  await offerButton("Speichern").click();
  await popup.locator("#notice", { hasText: "Entsperren Sie zuerst den Tresor" }).waitFor();
  await unlock(popup);
  assert.match(await offerInPopup(), /^Anmeldung speichern\? Seite: locked\.example\.com /);
  await offerButton("Speichern").click();
  await popup.locator("#notice", { hasText: "Anmeldung gespeichert." }).waitFor();
  await popup.locator("#list-rows li", { hasText: "locked.example.com" }).waitFor();
});

test("the keyboard command's reason shows for a while, then the button shows the offer again", async () => {
  const { siteTab, worker } = shared;
  await sendLogin("notice.example.com", "capture_script.html", { password: "Hinweis-14" });
  await waitForButton(worker, siteTab, "+");
  const result = await pressFillCommand(worker, siteTab);
  assert.equal(result.reason, "no-match");
  assert.equal((await buttonOf(worker, siteTab))[0], "!");
  await waitForButton(worker, siteTab, "+");
  assert.deepEqual(await buttonOf(worker, siteTab), ["+", SAVE]);
  await dismissOffer();
});
