// The extension's port client against a scripted port: how it matches answers to requests,
// joins the pieces of a large answer and behaves when the host goes away. (The browser tests
// run it against the real host; these cases are hard to bring about there.)
import assert from "node:assert/strict";
import { test } from "node:test";
import { NativeClient } from "../../extension/background/native_client.js";

globalThis.chrome = { runtime: {} };

// A port like chrome.runtime.connectNative's, driven by the test.
function scriptedPort() {
  const listeners = { message: [], disconnect: [] };
  return {
    sent: [],
    postMessage(message) {
      this.sent.push(message);
    },
    onMessage: { addListener: (listener) => listeners.message.push(listener) },
    onDisconnect: { addListener: (listener) => listeners.disconnect.push(listener) },
    answer(message) {
      for (const listener of listeners.message) listener(message);
    },
    close(reason) {
      chrome.runtime.lastError = reason ? { message: reason } : undefined;
      for (const listener of listeners.disconnect) listener();
      chrome.runtime.lastError = undefined;
    },
  };
}

function clientWithPorts() {
  const ports = [];
  let gone = 0;
  const client = new NativeClient(
    (name) => {
      assert.equal(name, "velkaron.vault");
      ports.push(scriptedPort());
      return ports.at(-1);
    },
    () => gone++,
  );
  return { client, ports, hostsGone: () => gone };
}

test("requests are numbered from 1 on one port; answers resolve or reject by id", async () => {
  const { client, ports } = clientWithPorts();
  const status = client.request("status");
  const unlock = client.request("unlock", { password: "geheim-geheim" });
  assert.equal(ports.length, 1);
  assert.deepEqual(ports[0].sent, [
    { id: 1, op: "status" },
    { id: 2, op: "unlock", password: "geheim-geheim" },
  ]);
  ports[0].answer({ id: 2, ok: false, error: "Falsches Master-Passwort" });
  ports[0].answer({ id: 1, ok: true, data: { entries: 0, exists: false, unlocked: false } });
  assert.deepEqual(await status, { entries: 0, exists: false, unlocked: false });
  await assert.rejects(unlock, { message: "Falsches Master-Passwort" });
});

test("an answer with id 0 (unreadable request) settles the oldest open request", async () => {
  const { client, ports } = clientWithPorts();
  const first = client.request("status");
  const second = client.request("generate");
  ports[0].answer({
    id: 0,
    ok: false,
    error: "Anfrage unlesbar: trailing characters at line 1 column 9",
  });
  await assert.rejects(first, /^Error: Anfrage unlesbar/);
  ports[0].answer({ id: 2, ok: true, data: { password: "x" } });
  assert.deepEqual(await second, { password: "x" });
});

test("an answer in pieces is joined in order, also between other answers", async () => {
  const { client, ports } = clientWithPorts();
  const list = client.request("list");
  const status = client.request("status");
  const text = JSON.stringify({ id: 1, ok: true, data: [{ host: "bücher.example", id: 'a"b' }] });
  const cut = [0, 7, 20, text.length].map((end, i, ends) => text.slice(ends[i - 1] ?? 0, end));
  for (const [i, chunk] of cut.entries()) {
    ports[0].answer({ id: 1, chunk, more: i < cut.length - 1 });
  }
  ports[0].answer({ id: 2, ok: true, data: { unlocked: true } });
  assert.deepEqual(await list, [{ host: "bücher.example", id: 'a"b' }]);
  assert.deepEqual(await status, { unlocked: true });
});

test("a host that goes away fails the open requests; the next request starts a new host", async () => {
  const { client, ports, hostsGone } = clientWithPorts();
  client.request("status");
  ports[0].answer({ id: 1, ok: true, data: {} });
  const open = client.request("unlock", { password: "geheim-geheim" });
  ports[0].close("Native host has exited.");
  await assert.rejects(open, {
    message: "Verbindung zum Tresorprogramm verloren: Native host has exited.",
  });
  assert.equal(client.connected, false);
  assert.equal(hostsGone(), 1);

  const again = client.request("status");
  assert.equal(ports.length, 2);
  assert.deepEqual(ports[1].sent, [{ id: 3, op: "status" }]);
  ports[1].answer({ id: 3, ok: true, data: { unlocked: false } });
  assert.deepEqual(await again, { unlocked: false });
});

test("a host that never answered is not reported as gone, so the popup does not retry in a loop", async () => {
  const { client, ports, hostsGone } = clientWithPorts();
  const status = client.request("status");
  ports[0].close("Specified native messaging host not found.");
  await assert.rejects(status, /Specified native messaging host not found\.$/);
  assert.equal(hostsGone(), 0);
});
