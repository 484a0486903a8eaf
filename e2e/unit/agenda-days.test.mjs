// The agenda's days: what each day lists, in which order, and which part of
// an event falls on it.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { fileURLToPath } from "node:url";

const load = (name) => readFileSync(fileURLToPath(new URL(`../../data/html/js/${name}`, import.meta.url)), "utf8");
const slice = "data:text/javascript;charset=utf-8," + encodeURIComponent(load("month-slice.js"));
const { agendaDays } = await import("data:text/javascript;charset=utf-8," +
  encodeURIComponent(load("agenda-days.js").replace("./month-slice.js", slice)));

const RANGE = { start: "2027-01-04", end: "2027-01-11" };
const listed = (records) => agendaDays(records, RANGE).map(({ date, entries }) =>
  [date, entries.map(({ record, part }) => `${record.summary}:${part}`)]);

test("events are listed on every day they cover, within the range, with the part of them on that day", () => {
  const records = [
    { summary: "overnight", start: "2027-01-05T22:00:00", end: "2027-01-07T06:00:00", all_day: false },
    { summary: "trip", start: "2027-01-02", end: "2027-01-06", all_day: true },
    { summary: "to midnight", start: "2027-01-08T20:00:00", end: "2027-01-09T00:00:00", all_day: false },
    { summary: "after", start: "2027-01-11T09:00:00", end: "2027-01-11T10:00:00", all_day: false },
  ];
  assert.deepEqual(listed(records), [
    ["2027-01-04", ["trip:all-day"]],
    ["2027-01-05", ["trip:all-day", "overnight:start"]],
    ["2027-01-06", ["overnight:all-day"]],
    ["2027-01-07", ["overnight:end"]],
    ["2027-01-08", ["to midnight:whole"]],
  ]);
});

test("a day lists all-day entries first, then by start, longer first, then by title", () => {
  const at = (summary, from, to) => ({ summary, start: `2027-01-05T${from}:00`, end: `2027-01-05T${to}:00`, all_day: false });
  const records = [at("b short", "09:00", "09:30"), at("late", "14:00", "15:00"), at("a short", "09:00", "09:30"),
                   at("long", "09:00", "11:00"), { summary: "holiday", start: "2027-01-05", end: "2027-01-06", all_day: true }];
  assert.deepEqual(listed(records), [["2027-01-05", ["holiday:all-day", "long:whole", "a short:whole", "b short:whole", "late:whole"]]]);
});
