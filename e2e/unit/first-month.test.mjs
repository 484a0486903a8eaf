// The month the page asks for before the calendar exists must be the range
// the calendar asks for itself, or the early answer is wasted.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { fileURLToPath } from "node:url";

const source = readFileSync(fileURLToPath(new URL("../../data/html/js/first-month.js", import.meta.url)), "utf8");
const { monthRange, monthRangeEitherWeek, rangeHolds } = await import("data:text/javascript;charset=utf-8," + encodeURIComponent(source));

test("a month runs from the start of its first week to the end of its last, for either first weekday", () => {
  for (const [today, firstDay, start, end] of [
    [new Date(2027, 1, 14), 0, "2027-01-31", "2027-03-07"],  // Monday the 1st, Sunday the 28th
    [new Date(2027, 1, 1), 1, "2027-02-01", "2027-03-01"],   // both on a week's edge
    [new Date(2027, 0, 31), 0, "2026-12-27", "2027-02-07"],  // across the year
    [new Date(2026, 11, 9), 1, "2026-11-30", "2027-01-04"],
  ]) assert.deepEqual(monthRange(today, firstDay), { start, end }, `${today.toDateString()} from ${firstDay}`);
});

test("the month asked for before the first weekday is known holds the month of either, and no more", () => {
  for (const today of [new Date(2027, 1, 14), new Date(2026, 10, 1), new Date(2027, 0, 31), new Date(2026, 2, 31)]) {
    const either = monthRangeEitherWeek(today);
    const [sunday, monday] = [monthRange(today, 0), monthRange(today, 1)];
    assert.ok(rangeHolds(either, sunday) && rangeHolds(either, monday), today.toDateString());
    assert.deepEqual([[sunday.start, monday.start].includes(either.start), [sunday.end, monday.end].includes(either.end)], [true, true]);
  }
  assert.equal(rangeHolds({ start: "2027-01-31", end: "2027-03-07" }, { start: "2027-01-30", end: "2027-03-01" }), false);
});
