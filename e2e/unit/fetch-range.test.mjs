// Which dates the page asks for, given the range it already holds.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { fileURLToPath } from "node:url";

const source = readFileSync(fileURLToPath(new URL("../../data/html/js/fetch-range.js", import.meta.url)), "utf8");
const { rangeToFetch } = await import("data:text/javascript;charset=utf-8," + encodeURIComponent(source));

test("a range meeting the one held is fetched with it, within the bound; otherwise alone", () => {
  const month = { start: "2026-11-29", end: "2027-01-03" };
  const agenda = { start: "2026-11-25", end: "2027-02-08" };
  const cases = [
    ["nothing held", agenda, { start: "", end: "" }, 100, agenda],
    ["overlapping: the union", agenda, month, 100, { start: "2026-11-25", end: "2027-02-08" }],
    ["month after agenda: the union", month, agenda, 100, agenda],
    ["touching at the end", { start: "2027-01-03", end: "2027-01-10" }, month, 100, { start: "2026-11-29", end: "2027-01-10" }],
    ["apart: the new range alone", { start: "2027-03-01", end: "2027-04-05" }, month, 100, { start: "2027-03-01", end: "2027-04-05" }],
    ["union over the bound: the new range alone", { start: "2027-01-01", end: "2027-03-01" }, month, 60, { start: "2027-01-01", end: "2027-03-01" }],
    ["union at the bound exactly", { start: "2027-01-01", end: "2027-01-28" }, month, 60, { start: "2026-11-29", end: "2027-01-28" }],
  ];
  for (const [name, wanted, held, bound, expected] of cases) assert.deepEqual(rangeToFetch(wanted, held, bound), expected, name);
});
