// The page's text table: a key written twice in one language silently keeps
// only the later text, so each language's keys are read from the source.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { fileURLToPath } from "node:url";

const source = readFileSync(fileURLToPath(new URL("../../data/html/js/i18n.js", import.meta.url)), "utf8");

// The keys of one language's block, in the order written.
function keysOf(language) {
  const start = source.indexOf(`"${language}": {`);
  const end = source.indexOf("\n  },", start);
  assert.ok(start >= 0 && end > start, `the block of ${language}`);
  const block = source.slice(start, end)
    .replace(/"(?:[^"\\]|\\.)*"|`(?:[^`\\]|\\.)*`/g, '""');  // the texts themselves hold no keys
  return [...block.matchAll(/([A-Za-z_][A-Za-z0-9_]*)\s*:/g)].map((match) => match[1]);
}

test("each language writes every key once, and both languages have the same keys", () => {
  const en = keysOf("en"), zh = keysOf("zh-Hant");
  const twice = (keys) => keys.filter((key, i) => keys.indexOf(key) !== i);
  assert.deepEqual(twice(en), []);
  assert.deepEqual(twice(zh), []);
  assert.deepEqual([...zh].sort(), [...en].sort());
});
