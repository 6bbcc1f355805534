// The extension id that velkaron-native allows and the documents name is the one Chromium
// derives from the manifest's public key.
import assert from "node:assert/strict";
import { createHash, createPublicKey } from "node:crypto";
import { readFileSync } from "node:fs";
import path from "node:path";
import { test } from "node:test";
import { EXTENSION_DIR, EXTENSION_ID } from "./fixtures.mjs";

test("extension-id.txt holds the id derived from the manifest's key", () => {
  const manifest = JSON.parse(readFileSync(path.join(EXTENSION_DIR, "manifest.json"), "utf8"));
  const der = Buffer.from(manifest.key, "base64");
  assert.equal(createPublicKey({ key: der, format: "der", type: "spki" }).asymmetricKeyType, "rsa");
  // The first 128 bits of the key's SHA-256, each hex digit 0-f written as a letter a-p.
  const id = [...createHash("sha256").update(der).digest("hex").slice(0, 32)]
    .map((digit) => String.fromCharCode(97 + Number.parseInt(digit, 16)))
    .join("");
  assert.equal(EXTENSION_ID, id);
  assert.equal(readFileSync(path.join(EXTENSION_DIR, "extension-id.txt"), "utf8"), `${id}\n`);
});
