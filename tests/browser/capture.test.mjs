// Saving what the user types: a login, sign-up or change of password sent in a page leads to
// an offer on the extension's button and at the top of the popup, which saves, updates, undoes,
// is dismissed, ends with its time or is never made again for the site.
import assert from "node:assert/strict";
import { test } from "node:test";
import {
  ask,
  buttonOf,
  click,
  clickButton,
  pressFillCommand,
  sendingsHandled,
  typeInto,
  unlock,
  valueOf,
  waitForButton,
  waitForHidden,
  waitForSendings,
  waitForState,
  waitForText,
  waitForUrl,
} from "./browsers.mjs";
import {
  at,
  clickOffer,
  dismissOffer,
  NO_OFFER,
  offerInPopup,
  PASSWORD,
  SAVE,
  sendLogin,
  sessionHolds,
  shared,
  UPDATE,
  USERNAME,
} from "./capture_fixture.mjs";

const text = (page, selector) => page.$eval(selector, (element) => element.textContent);
const storedHosts = async () => (await ask(shared.popup, "list")).data.map((login) => login.host);

test("a classic form posted to another page: save offered, saved through the popup, filled next time", async () => {
  const { popup, session, site, siteTab } = shared;
  await sendLogin("classic.example.com", "capture_login.html", { password: "Neu-Klassisch-1" });
  await waitForUrl(site, /welcome\.html$/);
  // The browser resets the button on the next page; the offer is shown there again.
  await waitForButton(session, siteTab, "+");
  assert.deepEqual(await buttonOf(session, siteTab), ["+", SAVE]);
  const offer = await offerInPopup();
  assert.match(
    offer,
    /^Anmeldung speichern\? Seite: classic\.example\.com Benutzer: erika@example\.org Passwort: •+\s*Anzeigen/,
  );
  assert.ok(!offer.includes("Neu-Klassisch-1"), "the password is masked");
  await clickOffer("Anzeigen");
  assert.equal(await text(popup, "#offer-password"), "Neu-Klassisch-1");
  assert.deepEqual(await storedHosts(), ["localhost"], "nothing is stored before the click");

  await clickOffer("Speichern");
  await waitForText(popup, "#notice", /^Anmeldung gespeichert\.$/);
  assert.deepEqual((await storedHosts()).sort(), ["classic.example.com", "localhost"]);
  assert.equal(await popup.$eval("#offer-view", (view) => view.hidden), true);
  assert.deepEqual(await buttonOf(session, siteTab), NO_OFFER);
  assert.equal(await sessionHolds("Neu-Klassisch-1"), false, "the candidate is wiped");

  await site.goto(at("classic.example.com", "capture_login.html"));
  assert.deepEqual(await pressFillCommand(session, siteTab), { filled: true });
  assert.equal(await valueOf(site, "#password"), "Neu-Klassisch-1");
  assert.equal(await valueOf(site, "#username"), USERNAME);
});

test("a script login with fetch and no navigation; the popup's Verwerfen ends the offer", async () => {
  const { popup, session, site, siteTab } = shared;
  await sendLogin("script.example.com", "capture_script.html", { username: "skript" });
  await waitForText(site, "#result", /^Angemeldet$/);
  await waitForButton(session, siteTab, "+");
  assert.match(await offerInPopup(), /Seite: script\.example\.com Benutzer: skript /);
  await clickOffer("Verwerfen");
  await waitForHidden(popup, "#offer-view");
  assert.deepEqual(await buttonOf(session, siteTab), NO_OFFER);
  assert.equal(await sessionHolds(PASSWORD), false);
});

test("one offer per site: a sending in another tab replaces this tab's offer", async () => {
  const { session, siteTab } = shared;
  await sendLogin("site.example.com", "capture_script.html", { password: "Erster-Tab" });
  await waitForButton(session, siteTab, "+");
  const other = await session.newPage();
  await sendLogin("site.example.com", "capture_script.html?tab=2", {
    password: "Zweiter-Tab",
    tab: other,
  });
  const otherTab = await session.tabIdOf(other);
  await waitForButton(session, otherTab, "+");
  assert.deepEqual(await buttonOf(session, siteTab), NO_OFFER);
  assert.equal(await sessionHolds("Erster-Tab"), false);
  await other.close();
  // Its tab closed, the offer and its candidate are gone.
  await session.inBackground(async (background) => {
    const { session: storage } = background.chrome.storage;
    while (JSON.stringify(await storage.get(null)).includes("Zweiter-Tab")) {
      await new Promise((resolve) => setTimeout(resolve, 20));
    }
  });
});

test("a login in two steps is one offer with the user name and the password", async () => {
  const { session, site, siteTab } = shared;
  await site.goto(at("steps.example.com", "capture_step1.html"));
  const before = await sendingsHandled(session);
  await typeInto(site, "#username", "zwei@example.org");
  await click(site, "#send");
  await waitForUrl(site, /capture_step2\.html$/);
  await waitForSendings(session, before + 1);
  assert.deepEqual(await buttonOf(session, siteTab), NO_OFFER, "no offer yet");
  await typeInto(site, "#password", "Zweiter-Schritt-2");
  await click(site, "#send");
  await waitForSendings(session, before + 2);
  await waitForButton(session, siteTab, "+");
  assert.match(await offerInPopup(), /Seite: steps\.example\.com Benutzer: zwei@example\.org /);
  await clickOffer("Verwerfen");
});

test("a sign-up offers its new password; forms in open shadow roots count", async () => {
  const { popup, session, site, siteTab } = shared;
  await site.goto(at("signup.example.com", "capture_signup.html"));
  const before = await sendingsHandled(session);
  await typeInto(site, "#username", "neu@example.org");
  await typeInto(site, "#password", "Ganz-Neu-3");
  await typeInto(site, "#repeat", "Ganz-Neu-3");
  await click(site, "#send");
  await waitForSendings(session, before + 1);
  await waitForButton(session, siteTab, "+");
  assert.match(
    await offerInPopup(),
    /^Anmeldung speichern\? Seite: signup\.example\.com Benutzer: neu@example\.org /,
  );
  await clickOffer("Anzeigen");
  assert.equal(await text(popup, "#offer-password"), "Ganz-Neu-3");

  await sendLogin("shadow.example.com", "capture_shadow.html", { password: "Schatten-4" });
  await waitForButton(session, siteTab, "+");
  assert.match(await offerInPopup(), /Seite: shadow\.example\.com Benutzer: erika@example\.org /);
  await clickOffer("Verwerfen");
});

for (const then of ["push", "remove"]) {
  test(`a password left and the page ${then === "push" ? "moved by the History API" : "takes the fields away"}: offer`, async () => {
    const { session, site, siteTab } = shared;
    await site.goto(at(`${then}.example.com`, `capture_moved.html?then=${then}`));
    const before = await sendingsHandled(session);
    await typeInto(site, "#username", USERNAME);
    await typeInto(site, "#password", "Ohne-Formular-5");
    await click(site, "#elsewhere"); // the password field's change event
    await waitForSendings(session, before + 1);
    await waitForButton(session, siteTab, "+");
    assert.match(await offerInPopup(), new RegExp(`Seite: ${then}\\.example\\.com `));
    await clickOffer("Verwerfen");
  });
}

test("a change of password updates the stored login, never by default; Rückgängig restores it", async () => {
  const { popup, session, site, siteTab } = shared;
  await site.goto(at("localhost", "capture_change.html"));
  const before = await sendingsHandled(session);
  await typeInto(site, "#password", PASSWORD);
  await typeInto(site, "#new", "Geaendert-6");
  await typeInto(site, "#repeat", "Geaendert-6");
  await click(site, "#send");
  await waitForSendings(session, before + 1);
  await waitForButton(session, siteTab, "+");
  assert.deepEqual(await buttonOf(session, siteTab), ["+", UPDATE]);
  assert.match(
    await offerInPopup(),
    /^Passwort aktualisieren\? Seite: localhost Benutzer: erika@example\.org /,
  );
  // No button of the offer is a form's default one, none has the focus.
  assert.deepEqual(
    await popup.$$eval("#offer-view button", (buttons) => [
      ...new Set(
        buttons.map((b) => `${b.type} ${b.form === null} ${b === document.activeElement}`),
      ),
    ]),
    ["button true false"],
  );
  await clickOffer("Aktualisieren");
  await waitForText(popup, "#notice", /^Passwort aktualisiert\.$/);

  const filled = async () => {
    await site.goto(at("localhost", "capture_login.html"));
    assert.deepEqual(await pressFillCommand(session, siteTab), { filled: true });
    return valueOf(site, "#password");
  };
  assert.equal(await filled(), "Geaendert-6");
  assert.equal(await offerInPopup(), "Passwort aktualisiert. Rückgängig");
  await clickOffer("Rückgängig");
  await waitForText(popup, "#notice", /wiederhergestellt/);
  assert.equal(await filled(), PASSWORD);
  // The undo is spent; leaving a page as the fill left it reports nothing.
  assert.doesNotMatch((await offerInPopup()) ?? "", /Rückgängig/);
  await dismissOffer();
});

test("Nie für diese Seite keeps the host alone; the management page lists and removes it, its switch turns capture off", async () => {
  const { popup, session, siteTab } = shared;
  const host = "never.example.com";
  await sendLogin(host, "capture_script.html", { password: "Nie-9" });
  await waitForButton(session, siteTab, "+");
  await offerInPopup();
  await clickOffer("Nie für diese Seite");
  await waitForText(popup, "#notice", new RegExp(`^Für ${host} wird nichts mehr angeboten\\.$`));
  assert.deepEqual(
    await session.inBackground((background) => background.chrome.storage.local.get(null)),
    { neverSaveHosts: [host] },
    "only the host name is kept",
  );
  assert.equal(await sessionHolds("Nie-9"), false);
  await sendLogin(host, "capture_script.html", { password: "Nie-9" });
  assert.deepEqual(await buttonOf(session, siteTab), NO_OFFER);

  const manage = await session.openExtensionPage("manage/manage.html");
  await waitForText(manage, "#never-hosts li", new RegExp(`^${host}Entfernen$`));
  await clickButton(manage, "#never-hosts li", "Entfernen");
  await waitForHidden(manage, "#never-hosts-empty", false);
  await sendLogin(host, "capture_script.html", { password: "Nie-9" });
  await waitForButton(session, siteTab, "+");

  // The switch: off ends the offer waiting and offers nothing more; on again offers.
  assert.equal(await manage.$eval("#capture-enabled", (toggle) => toggle.checked), true);
  await click(manage, "#capture-enabled");
  await waitForButton(session, siteTab, "");
  await sendLogin(host, "capture_script.html", { password: "Nie-10" });
  assert.deepEqual(await buttonOf(session, siteTab), NO_OFFER);
  await click(manage, "#capture-enabled");
  await sendLogin(host, "capture_script.html", { password: "Nie-11" });
  await waitForButton(session, siteTab, "+");
  await manage.close();
  await dismissOffer();
});

test("an offer ends after five minutes on the injected clock, its candidate wiped", async () => {
  const { session, siteTab } = shared;
  await sendLogin("expiry.example.com", "capture_script.html", { password: "Ablauf-12" });
  await waitForButton(session, siteTab, "+");
  assert.equal(await sessionHolds("Ablauf-12"), true);
  const sweepAt = (ms) =>
    session.inBackground(async ({ Date, velkaron }, later) => {
      const start = Date.now();
      velkaron.useClock(() => start + later);
      await velkaron.sweep();
      velkaron.useClock(Date.now);
    }, ms);
  await sweepAt(4 * 60_000);
  assert.deepEqual(await buttonOf(session, siteTab), ["+", SAVE], "still there after 4 minutes");
  await sweepAt(5 * 60_000 + 1000);
  assert.deepEqual(await buttonOf(session, siteTab), NO_OFFER);
  assert.equal(await sessionHolds("Ablauf-12"), false);
  assert.equal(await offerInPopup(), null);
});

test("a locked vault: the offer is shown, the popup asks to unlock before saving", async () => {
  const { popup, session, siteTab } = shared;
  await ask(popup, "lock");
  await waitForState(popup, "locked");
  await sendLogin("locked.example.com", "capture_script.html", { password: "Gesperrt-13" });
  await waitForButton(session, siteTab, "+");
  assert.match(await offerInPopup(), /Entsperren Sie den Tresor, um die Anmeldung zu speichern\./);
  await clickOffer("Speichern");
  await waitForText(popup, "#notice", /Entsperren Sie zuerst den Tresor/);
  await unlock(popup);
  assert.match(await offerInPopup(), /^Anmeldung speichern\? Seite: locked\.example\.com /);
  await clickOffer("Speichern");
  await waitForText(popup, "#notice", /^Anmeldung gespeichert\.$/);
  await waitForText(popup, "#list-rows li", /locked\.example\.com/);
});

test("the keyboard command's reason shows for a while, then the button shows the offer again", async () => {
  const { session, siteTab } = shared;
  await sendLogin("notice.example.com", "capture_script.html", { password: "Hinweis-14" });
  await waitForButton(session, siteTab, "+");
  const result = await pressFillCommand(session, siteTab);
  assert.equal(result.reason, "no-match");
  assert.equal((await buttonOf(session, siteTab))[0], "!");
  await waitForButton(session, siteTab, "+");
  assert.deepEqual(await buttonOf(session, siteTab), ["+", SAVE]);
  await dismissOffer();
});
