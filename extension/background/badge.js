// The extension's button for one tab: the offer waiting there, if any, or for a while a notice
// of why the keyboard command did nothing. No page UI, which a page could imitate or cover.
const NOTICE_MS = 3000;

// `offerBadge(tabId)` resolves with the { text, title } of the tab's offer, or null.
export function createBadge(offerBadge) {
  const notices = new Map(); // tabId -> timer, while a notice is up

  const set = (tabId, text, title) =>
    Promise.all([
      chrome.action.setBadgeText({ tabId, text }),
      chrome.action.setTitle({ tabId, title }),
    ]).catch(() => {}); // the tab has closed

  // Shows the tab's offer, or nothing; a notice stays up until its time ends.
  async function refresh(tabId) {
    if (notices.has(tabId)) return;
    const offer = await offerBadge(tabId);
    await set(
      tabId,
      offer?.text ?? "",
      offer?.title ?? chrome.runtime.getManifest().action.default_title,
    );
  }

  async function showNotice(tabId, text, title) {
    clearTimeout(notices.get(tabId));
    notices.set(
      tabId,
      setTimeout(() => {
        notices.delete(tabId);
        refresh(tabId);
      }, NOTICE_MS),
    );
    await set(tabId, text, title);
  }

  return { refresh, showNotice };
}
