// Wall-clock times of one zone read as instants and shown in another.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { fileURLToPath } from "node:url";

const source = readFileSync(fileURLToPath(new URL("../../data/html/js/zone.js", import.meta.url)), "utf8");
const zone = await import("data:text/javascript;charset=utf-8," + encodeURIComponent(source));

test("a wall-clock time becomes its instant in its zone, across daylight saving", () => {
  // [wall time, zone, instant]
  const cases = [
    ["2027-03-26T21:00", "Asia/Taipei", "2027-03-26T13:00:00.000Z"],
    ["2027-01-15T09:00", "America/New_York", "2027-01-15T14:00:00.000Z"],
    ["2027-07-15T09:00", "America/New_York", "2027-07-15T13:00:00.000Z"],
    // The clocks go back: 01:30 happens twice, the first is meant.
    ["2027-11-07T01:30", "America/New_York", "2027-11-07T05:30:00.000Z"],
    // The clocks go forward: 02:30 never happens and reads as 03:30.
    ["2027-03-14T02:30", "America/New_York", "2027-03-14T07:30:00.000Z"],
    ["2027-03-28T00:30", "Pacific/Chatham", "2027-03-27T10:45:00.000Z"],
  ];
  for (const [wall, name, instant] of cases)
    assert.equal(zone.instantOf(wall, name).toISOString(), instant, `${wall} ${name}`);
  assert.equal(zone.wallText(zone.instantOf("2027-03-26T21:00", "Asia/Taipei"), "America/New_York"), "2027-03-26T09:00");
  assert.equal(zone.wallText(zone.instantOf("2027-03-27T02:00", "Asia/Taipei"), "America/Los_Angeles"), "2027-03-26T11:00");
  assert.equal(zone.cityOf("America/Argentina/Buenos_Aires"), "Buenos Aires");
});

test("zones offered: the system's first and once for the calendar; an event's home added only when the browser lacks it", () => {
  const system = zone.systemZone();
  const choices = zone.zoneChoices();
  assert.equal(choices[0], system);
  assert.equal(choices.filter((name) => name === system).length, 1);
  const known = zone.zonesWith("Asia/Taipei");
  assert.ok(known.includes("America/New_York") && known.filter((name) => name === "Asia/Taipei").length === 1);
  assert.deepEqual(zone.zonesWith("Mars/Olympus_Mons"), ["Mars/Olympus_Mons", ...known]);
});
