// Writes the text the service worker sends to the clipboard. The copy event lets it write
// any text, the empty one included, without putting it into the document.
chrome.runtime.onMessage.addListener((message, sender, sendResponse) => {
  if (message?.type !== "velkaron:clipboard-write" || sender.id !== chrome.runtime.id) return;
  const write = (event) => {
    event.clipboardData.setData("text/plain", message.text);
    event.preventDefault();
  };
  document.addEventListener("copy", write, { once: true });
  sendResponse(document.execCommand("copy"));
});
