// Tells the user on the extension's button why the keyboard command did nothing: no page UI,
// which a page could imitate or cover. After a while the button shows what it showed before.
const SHOWN_MS = 3000;

let restore = null; // puts back what the button showed before, while a notice is up
let timer = null;

const setBadge = (text, title) =>
  Promise.all([chrome.action.setBadgeText({ text }), chrome.action.setTitle({ title })]);

export async function showOnBadge(text, title) {
  if (!restore) {
    const [before, beforeTitle] = await Promise.all([
      chrome.action.getBadgeText({}),
      chrome.action.getTitle({}),
    ]);
    restore = () => setBadge(before, beforeTitle);
  }
  await setBadge(text, title);
  clearTimeout(timer);
  timer = setTimeout(() => {
    const back = restore;
    restore = null;
    back();
  }, SHOWN_MS);
}
