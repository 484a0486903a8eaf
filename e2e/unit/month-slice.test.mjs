// What a crowded month hands the calendar view, loaded straight from the page's module.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { fileURLToPath } from "node:url";

const source = readFileSync(fileURLToPath(new URL("../../data/html/js/month-slice.js", import.meta.url)), "utf8");
const { sliceMonth, daysOf } = await import("data:text/javascript;charset=utf-8," + encodeURIComponent(source));

const JANUARY = { start: "2026-12-28", end: "2027-02-08" };
const timed = (day, hour, summary = `at ${hour}`) =>
  ({ summary, start: `${day}T${String(hour).padStart(2, "0")}:00:00`, end: `${day}T${String(hour).padStart(2, "0")}:30:00`, all_day: false });

// Every day: shown events covering it plus its "+n more" count add up to all
// events covering it, and the cell never holds more entries than it has rows.
function assertAccounted(records, range, rows, { shown, more }) {
  const cover = (list, day) => list.filter((r) => { const d = daysOf(r); return d.first <= day && day <= d.last; }).length;
  const moreOf = new Map(more.map((m) => [m.date, m.count]));
  for (let d = new Date(2026, 11, 28); d < new Date(2027, 1, 8); d.setDate(d.getDate() + 1)) {
    const day = `${d.getFullYear()}-${String(d.getMonth() + 1).padStart(2, "0")}-${String(d.getDate()).padStart(2, "0")}`;
    const visible = cover(shown, day);
    assert.equal(visible + (moreOf.get(day) || 0), cover(records, day), day);
    assert.ok(visible + (moreOf.has(day) ? 1 : 0) <= rows, `${day} holds ${visible} events and a more entry`);
  }
}

test("a crowded day shows the first events and counts the rest; a full but not crowded day shows all", () => {
  const crowded = [9, 8, 13, 11, 10, 12].map((hour) => timed("2027-01-05", hour));
  const full = [9, 10, 11, 12].map((hour) => timed("2027-01-06", hour));
  const records = [...crowded, ...full];
  const sliced = sliceMonth(records, JANUARY, 4);
  assert.deepEqual(sliced.shown.filter((r) => r.start.startsWith("2027-01-05")).map((r) => r.summary), ["at 8", "at 9", "at 10"]);
  assert.deepEqual(sliced.more, [{ date: "2027-01-05", count: 3 }]);
  assert.equal(sliced.shown.filter((r) => r.start.startsWith("2027-01-06")).length, 4);
  assertAccounted(records, JANUARY, 4, sliced);

  // Events at the same time go by title as people read titles, not by character codes.
  const same = ["zebra", "Élan", "apple", "Zoo"].map((summary) => timed("2027-01-07", 9, summary));
  assert.deepEqual(sliceMonth(same, JANUARY, 5).shown.map((r) => r.summary), ["apple", "Élan", "zebra", "Zoo"]);

  // The same event in several calendars: the copies listed first are shown, in the order listed.
  const copies = ["a", "b", "c", "d", "e"].map((calendar) => ({ ...timed("2027-01-08", 9, "Standup"), calendar }));
  assert.deepEqual(sliceMonth([timed("2027-01-08", 10), ...copies], JANUARY, 3).shown.map((r) => r.calendar), ["a", "b"]);
});

test("events over several days take a row on each, and ends are read as people mean them", () => {
  assert.deepEqual(daysOf({ start: "2027-01-13", end: "2027-01-16", all_day: true }), { first: "2027-01-13", last: "2027-01-15" });
  assert.deepEqual(daysOf({ start: "2027-01-13", end: "2027-01-13", all_day: true }), { first: "2027-01-13", last: "2027-01-13" });
  assert.deepEqual(daysOf({ start: "2027-01-13", all_day: true }), { first: "2027-01-13", last: "2027-01-13" });
  assert.deepEqual(daysOf({ start: "2027-01-13T22:00:00", end: "2027-01-14T00:00:00" }), { first: "2027-01-13", last: "2027-01-13" });
  assert.deepEqual(daysOf({ start: "2027-01-13T22:00:00", end: "2027-01-14T01:00:00" }), { first: "2027-01-13", last: "2027-01-14" });
  assert.deepEqual(daysOf({ start: "2027-01-31T09:00:00", end: "2027-01-31T10:00:00+08:00" }).last, "2027-01-31");

  // The trip comes first on its days, so it stays; the last day's crowd is cut around it.
  const trip = { summary: "Trip", start: "2027-01-13", end: "2027-01-16", all_day: true };
  const busy = [8, 9, 10, 11, 12].map((hour) => timed("2027-01-15", hour));
  let records = [...busy, trip];
  let sliced = sliceMonth(records, JANUARY, 4);
  assert.ok(sliced.shown.includes(trip));
  assert.deepEqual(sliced.more, [{ date: "2027-01-15", count: 3 }]);
  assertAccounted(records, JANUARY, 4, sliced);

  // A long event that cannot fit on one of its days is left out on all of
  // them, and counted on each.
  const spans = ["A", "B", "C"].map((summary) => ({ summary, start: "2027-01-18", end: "2027-01-21", all_day: true }));
  const late = { summary: "Late", start: "2027-01-20T23:00:00", end: "2027-01-21T02:00:00", all_day: false };
  records = [...spans, timed("2027-01-20", 9), late];
  sliced = sliceMonth(records, JANUARY, 4);
  assert.deepEqual(sliced.shown.map((r) => r.summary), ["A", "B", "C"]);
  assert.deepEqual(sliced.more, [{ date: "2027-01-20", count: 2 }, { date: "2027-01-21", count: 1 }]);
  assertAccounted(records, JANUARY, 4, sliced);

  // Outside the range nothing counts; an event reaching into it counts only on its days inside.
  const before = { summary: "Before", start: "2026-12-01", end: "2026-12-02", all_day: true };
  const across = { summary: "Across", start: "2026-12-20", end: "2026-12-30", all_day: true };
  sliced = sliceMonth([before, across], JANUARY, 4);
  assert.deepEqual(sliced.shown, [across]);
  assert.deepEqual(sliced.more, []);
});

test("a month of two thousand events keeps every day within its rows and every event accounted for", () => {
  const records = Array.from({ length: 2000 }, (_, i) => {
    const day = `2027-01-${String(1 + (i % 31)).padStart(2, "0")}`;
    if (i % 97 === 0) return { summary: `span ${i}`, start: day, end: `2027-02-0${1 + (i % 5)}`, all_day: true };
    return timed(day, 7 + (Math.floor(i / 31) % 14), `e${i}`);
  });
  const sliced = sliceMonth(records, JANUARY, 4);
  assert.ok(sliced.shown.length <= 4 * 42);
  assertAccounted(records, JANUARY, 4, sliced);
});
