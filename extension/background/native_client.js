// The one connection to the native host velkaron-native. The vault key lives in that host
// process, so the port stays open while the vault is in use; a new port means a new process,
// which starts locked.

const HOST_NAME = "velkaron.vault";

export class NativeClient {
  #connect;
  #port = null;
  #nextId = 1;
  #pending = new Map(); // request id -> { resolve, reject }, in the order sent
  #chunks = new Map(); // request id -> pieces of a response too large for one frame
  #answered = false; // whether the current port's host has answered yet
  #onHostGone;

  // `connect` opens a port (chrome.runtime.connectNative); `onHostGone` learns when a host
  // that was answering has gone, so the UI can show the locked state. (A host that never
  // started is reported through the failed request alone.)
  constructor(connect, onHostGone) {
    this.#connect = connect;
    this.#onHostGone = onHostGone;
  }

  get connected() {
    return this.#port !== null;
  }

  // Sends one request and resolves with its `data`, or rejects with the host's German message.
  request(op, members = {}) {
    const port = this.#ensurePort();
    const id = this.#nextId++;
    return new Promise((resolve, reject) => {
      this.#pending.set(id, { resolve, reject });
      port.postMessage({ ...members, id, op });
    });
  }

  #ensurePort() {
    if (this.#port) return this.#port;
    const port = this.#connect(HOST_NAME);
    port.onMessage.addListener((message) => this.#receive(message));
    port.onDisconnect.addListener(() => this.#disconnected());
    this.#port = port;
    this.#answered = false;
    return port;
  }

  #receive(message) {
    this.#answered = true;
    if ("chunk" in message) {
      const pieces = this.#chunks.get(message.id) ?? [];
      pieces.push(message.chunk);
      if (message.more) {
        this.#chunks.set(message.id, pieces);
        return;
      }
      this.#chunks.delete(message.id);
      message = JSON.parse(pieces.join(""));
    }
    // Responses come in request order; an unreadable request is answered with id 0.
    const id = message.id === 0 ? this.#pending.keys().next().value : message.id;
    const waiter = this.#pending.get(id);
    if (!waiter) return;
    this.#pending.delete(id);
    if (message.ok) waiter.resolve(message.data);
    else waiter.reject(new Error(message.error));
  }

  #disconnected() {
    const reason = chrome.runtime.lastError?.message;
    this.#port = null;
    this.#chunks.clear();
    const error = new Error(
      "Verbindung zum Tresorprogramm verloren" + (reason ? `: ${reason}` : ""),
    );
    for (const waiter of this.#pending.values()) waiter.reject(error);
    this.#pending.clear();
    if (this.#answered) this.#onHostGone();
  }
}
