// What an undo writes back, and that it never overwrites a newer version.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { fileURLToPath } from "node:url";

const source = readFileSync(fileURLToPath(new URL("../../data/html/js/undo-plan.js", import.meta.url)), "utf8");
const { undoCalls, isSafePlan } = await import("data:text/javascript;charset=utf-8," + encodeURIComponent(source));

test("undo writes the previous object back under the version the change left", () => {
  const before = { account: "a1", url: "https://s/cal/e.ics", ics: "BEGIN:VCALENDAR…" };
  const cases = [
    ["an edit or drag: over the new version only", before, { account: "a1", url: before.url, etag: '"2"' },
      [["restore_event", "a1", before.url, '"2"', before.ics]], true],
    ["a delete: only where nothing is stored now", before, null,
      [["restore_event", "a1", before.url, "", before.ics]], true],
    ["a move: the copy goes, the original comes back", before, { account: "a2", url: "https://t/other/e.ics", etag: '"9"' },
      [["delete_event", "a2", "https://t/other/e.ics", '"9"'], ["restore_event", "a1", before.url, "", before.ics]], true],
    ["a new event: deleted again", null, { account: "a1", url: "https://s/cal/n.ics", etag: '"1"' },
      [["delete_event", "a1", "https://s/cal/n.ics", '"1"']], true],
    ["a new event without an ETag cannot be undone safely", null, { account: "a1", url: "https://s/cal/n.ics", etag: "" },
      [["delete_event", "a1", "https://s/cal/n.ics", ""]], false],
    ["nothing known: nothing to undo", null, null, [], false],
  ];
  for (const [name, b, a, calls, safe] of cases) {
    assert.deepEqual(undoCalls(b, a), calls, name);
    assert.equal(isSafePlan(undoCalls(b, a)), safe, name);
  }
});
