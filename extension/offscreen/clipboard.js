// Writes the text the service worker sends to the clipboard. The copy event lets it write
// any text, the empty one included, without putting it into the document. Only the worker may
// ask: a content script is of the extension as well, but it runs beside a page.
const WORKER_URL = chrome.runtime.getURL("background/worker.js");

chrome.runtime.onMessage.addListener((message, sender, sendResponse) => {
  if (message?.type !== "velkaron:clipboard-write") return;
  if (sender.id !== chrome.runtime.id || sender.url !== WORKER_URL) return;
  const write = (event) => {
    event.clipboardData.setData("text/plain", message.text);
    event.preventDefault();
  };
  document.addEventListener("copy", write, { once: true });
  sendResponse(document.execCommand("copy"));
});
