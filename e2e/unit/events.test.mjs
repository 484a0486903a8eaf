// The page's pure event rules, loaded straight from the page's module.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { fileURLToPath } from "node:url";

const source = readFileSync(fileURLToPath(new URL("../../data/html/js/events.js", import.meta.url)), "utf8");
const events = await import("data:text/javascript;charset=utf-8," + encodeURIComponent(source));

test("server colours keep their alpha, and unreadable or invisible ones still show", () => {
  assert.equal(events.cssColor("#FF2968FF"), "rgb(255, 41, 104)");
  assert.equal(events.cssColor("#34C75980"), "rgba(52, 199, 89, 0.502)");
  assert.equal(events.cssColor("#34c759"), "rgb(52, 199, 89)");
  assert.equal(events.cssColor("#FF296800"), "rgb(255, 41, 104)", "fully transparent is taken as opaque");
  assert.equal(events.cssColor("#abc"), "rgb(170, 187, 204)");
  for (const bad of ["", null, "red", "#12345", "#GGGGGG", "url(x)"]) assert.equal(events.cssColor(bad), "rgb(27, 173, 248)", String(bad));
  assert.equal(events.textColorOn("#FFCC00FF"), "#0b0d12", "dark text on yellow");
  assert.equal(events.textColorOn("#5856D6FF"), "#ffffff", "light text on indigo");
  assert.equal(events.textColorOn("#FFFFFF10"), "#ffffff", "a faint colour over the dark page reads as dark");
});

test("records become view events on the right days", () => {
  const holiday = { summary: "中華民國開國紀念日", start: "2027-01-01", end: "", all_day: true, calendar_url: "local:tw_holidays",
                    color: "#FF3B30", read_only: true };
  const shown = events.toViewEvent(holiday);
  assert.deepEqual([shown.start, shown.end, shown.allDay, shown.editable], ["2027-01-01", "2027-01-02", true, false]);
  assert.ok(shown.classNames.includes("holiday"));

  const trip = { summary: "Trip", start: "2027-01-13", end: "2027-01-16", all_day: true, url: "u/trip.ics", calendar_url: "u/" };
  assert.deepEqual([events.toViewEvent(trip).start, events.toViewEvent(trip).end], ["2027-01-13", "2027-01-16"]);
  const broken = { ...trip, end: "2027-01-13" };
  assert.equal(events.toViewEvent(broken).end, "2027-01-14", "an all-day end not after its start lasts one day");

  const timed = { summary: "", start: "2027-01-06T19:00:00", end: "2027-01-06T21:00:00", all_day: false, url: "u/d.ics",
                  calendar_url: "u/", read_only: false, recurrence_id: "" };
  assert.equal(events.toViewEvent(timed).editable, true);
  assert.equal(events.toViewEvent({ ...timed, read_only: true }).editable, false);
  assert.equal(events.toViewEvent({ ...timed, url: undefined }).editable, false, "no url, nothing to edit");

  const first = { ...timed, recurrence_id: "2027-01-05T10:00:00" };
  const second = { ...timed, recurrence_id: "2027-01-12T10:00:00" };
  assert.notEqual(events.eventKey(first), events.eventKey(second), "occurrences of one series are told apart");

  const records = [timed, { ...timed, calendar_url: "v/" }, holiday];
  const isVisible = (url) => url !== "v/";
  assert.deepEqual(events.visibleRecords(records, { isVisible, showHolidays: true }), [timed, holiday]);
  assert.deepEqual(events.visibleRecords(records, { isVisible, showHolidays: false }), [timed]);
});

test("the editor sends only what changed and never rewrites a rule it cannot show", () => {
  const series = { summary: "Team sync", start: "2027-01-26T10:00:00", end: "2027-01-26T11:00:00", all_day: false,
                   location: "", description: "", rrule: "FREQ=WEEKLY;COUNT=6", recurrence_id: "2027-01-26T10:00:00" };
  const form = events.formFromRecord(series);
  assert.equal(form.repeat, "custom");
  let fields = events.fieldsFromForm({ ...form, location: "Room 5" }, series);
  assert.deepEqual(fields, { summary: "Team sync", location: "Room 5", description: "", recurrence_id: "2027-01-26T10:00:00" });

  fields = events.fieldsFromForm({ ...form, startTime: "11:00", endTime: "12:00" }, series);
  assert.deepEqual([fields.start, fields.end, fields.all_day], ["2027-01-26T11:00:00", "2027-01-26T12:00:00", false]);
  assert.equal("rrule" in fields, false);

  const weekly = { ...series, rrule: "FREQ=WEEKLY" };
  assert.equal(events.fieldsFromForm({ ...events.formFromRecord(weekly), repeat: "none" }, weekly).rrule, "");
  assert.equal(events.fieldsFromForm({ ...events.formFromRecord(weekly), repeat: "monthly" }, weekly).rrule, "FREQ=MONTHLY");
  assert.equal("rrule" in events.fieldsFromForm(events.formFromRecord(weekly), weekly), false);

  // All-day events end, as stored, on the day after the last day the user sees.
  const trip = { summary: "Trip", start: "2027-01-13", end: "2027-01-16", all_day: true };
  const tripForm = events.formFromRecord(trip);
  assert.deepEqual([tripForm.startDate, tripForm.endDate], ["2027-01-13", "2027-01-15"]);
  fields = events.fieldsFromForm({ ...tripForm, endDate: "2027-01-17" }, trip);
  assert.deepEqual([fields.start, fields.end, fields.all_day], ["2027-01-13", "2027-01-18", true]);

  const created = events.fieldsFromForm({ title: "New", allDay: true, startDate: "2027-12-31", endDate: "2027-12-31",
    startTime: "09:00", endTime: "10:00", location: "", notes: "", repeat: "yearly" }, null);
  assert.deepEqual([created.start, created.end, created.rrule], ["2027-12-31", "2028-01-01", "FREQ=YEARLY"]);

  assert.equal(events.endBeforeStart({ allDay: false, startDate: "2027-01-06", startTime: "14:00", endDate: "2027-01-06", endTime: "13:59" }), true);
  assert.equal(events.endBeforeStart({ allDay: true, startDate: "2027-01-06", endDate: "2027-01-06" }), false);
});

test("a dragged event keeps its series handle and gets an end when the view gives none", () => {
  const record = { recurrence_id: "2027-01-05T10:00:00" };
  const start = new Date(2027, 0, 7, 14, 0);
  assert.deepEqual(events.fieldsForMove(record, start, null, false),
    { all_day: false, start: "2027-01-07T14:00:00", end: "2027-01-07T15:00:00", recurrence_id: "2027-01-05T10:00:00" });
  assert.deepEqual(events.fieldsForMove({}, new Date(2027, 0, 7), null, true), { all_day: true, start: "2027-01-07", end: "2027-01-08" });
});

test("new events go to the default calendar while it is writable, else to the first writable one", () => {
  const accounts = [
    { id: "a", apple_id: "a@x", calendars: [{ url: "a/ro/", read_only: true }, { url: "a/w/" }] },
    { id: "b", apple_id: "b@x", calendars: [{ url: "b/w/", read_only: false }] },
    { id: "c", apple_id: "c@x", calendars: [{ url: "c/ro/", read_only: true }] },
  ];
  assert.deepEqual(events.writableCalendars(accounts).map((group) => group.calendars.map((c) => c.url)), [["a/w/"], ["b/w/"]]);
  assert.equal(events.preferredCalendar(accounts, "b/w/").calendar.url, "b/w/");
  assert.equal(events.preferredCalendar(accounts, "a/ro/").calendar.url, "a/w/", "a read-only default is not used");
  assert.equal(events.preferredCalendar(accounts, "gone/").calendar.url, "a/w/");
  assert.equal(events.preferredCalendar([], ""), null);
});

test("a change to one occurrence says which part of the series it is for, and a series moves whole", () => {
  const occurrence = { summary: "Team sync", location: "Room 5", recurrence_id: "2027-01-26T10:00:00" };
  assert.deepEqual(events.withScope(occurrence, "this"), { ...occurrence, scope: "this" });
  assert.deepEqual(events.withScope({ summary: "Once" }, "all"), { summary: "Once" }, "no scope without an occurrence");
  assert.deepEqual(events.withScope(occurrence, ""), occurrence);

  // Only texts travel with the move, read against the occurrence they came from;
  // times go after it, relative to the occurrence.
  let split = events.splitSeriesMove({ ...occurrence, scope: "all" }, "series-1");
  assert.deepEqual(split, { carried: { uid: "series-1", recurrence_id: occurrence.recurrence_id, scope: "all",
                                      summary: "Team sync", location: "Room 5" }, reshape: null });
  split = events.splitSeriesMove({ summary: "Team sync", start: "2027-01-26T11:00:00", end: "2027-01-26T12:00:00",
                                   all_day: false, rrule: "FREQ=DAILY", recurrence_id: "2027-01-26T10:00:00", scope: "all" }, "series-1");
  assert.deepEqual(split.carried, { uid: "series-1", recurrence_id: "2027-01-26T10:00:00", scope: "all", summary: "Team sync" });
  assert.deepEqual(split.reshape, { recurrence_id: "2027-01-26T10:00:00", scope: "all", start: "2027-01-26T11:00:00",
                                    end: "2027-01-26T12:00:00", all_day: false, rrule: "FREQ=DAILY" });
});

test("after a write of our own every occurrence of the written object carries the new ETag", () => {
  const series = "https://h/cal/series.ics";
  const records = [
    { url: series, etag: '"1"', recurrence_id: "20270202T100000" },
    { url: series, etag: '"1"', recurrence_id: "20270209T100000" },
    { url: "https://h/cal/other.ics", etag: '"7"' },
  ];
  events.noteOwnWrite(records, { ok: false, error: "HTTP 412", url: series, etag: '"9"' });
  events.noteOwnWrite(records, { ok: true });
  assert.deepEqual(records.map((record) => record.etag), ['"1"', '"1"', '"7"'], "failures and answers without an ETag change nothing");
  events.noteOwnWrite(records, { ok: true, url: series, etag: '"2"' });
  assert.deepEqual(records.map((record) => record.etag), ['"2"', '"2"', '"7"']);
});
