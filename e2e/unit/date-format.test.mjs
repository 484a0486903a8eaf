// Dates and times written in the page's language and read back from typing.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { fileURLToPath } from "node:url";

const source = readFileSync(fileURLToPath(new URL("../../data/html/js/date-format.js", import.meta.url)), "utf8");
const dates = await import("data:text/javascript;charset=utf-8," + encodeURIComponent(source));

test("dates read from the ways people type them, and what the field shows reads back the same", () => {
  const cases = [
    ["2027-01-06", "2027-01-06"], ["2027/1/6", "2027-01-06"], ["2027年1月6日", "2027-01-06"], ["2027年1月6日 週三", "2027-01-06"],
    ["6 Jan 2027", "2027-01-06"], ["Wed 6 Jan 2027", "2027-01-06"], ["January 6, 2027", "2027-01-06"], ["jan 6 2027", "2027-01-06"],
    ["2027-02-29", null], ["31 Apr 2027", null], ["6 Foo 2027", null], ["tomorrow", null], ["", null],
  ];
  for (const [typed, iso] of cases) assert.equal(dates.parseDate(typed), iso, typed);
  for (const language of ["en", "zh-Hant"])
    for (const iso of ["2027-01-06", "2028-02-29", "2027-12-31"])
      assert.equal(dates.parseDate(dates.formatDate(iso, language)), iso, `${language} ${iso}`);
  assert.equal(dates.formatDate("2027-01-06", "en"), "Wed 6 Jan 2027");
  assert.equal(dates.formatDate("2027-01-06", "zh-Hant"), "2027年1月6日 週三");
});

test("times follow the clock of the language or setting and read from either clock", () => {
  const cases = [
    ["14:30", "14:30"], ["1430", "14:30"], ["9", "09:00"], ["2pm", "14:00"], ["2:30 p.m.", "14:30"], ["12 AM", "00:00"],
    ["12:15pm", "12:15"], ["上午9:00", "09:00"], ["下午2點30分", "14:30"], ["晚上11點", "23:00"],
    ["24:00", null], ["13pm", null], ["9:75", null], ["noon", null],
  ];
  for (const [typed, hhmm] of cases) assert.equal(dates.parseTime(typed), hhmm, typed);
  assert.equal(dates.formatTime("00:05", true), "12:05 AM");
  assert.equal(dates.formatTime("14:30", true), "2:30 PM");
  assert.equal(dates.formatTime("14:30", false), "14:30");
  assert.equal(dates.addMinutes("23:50", 15), "00:05");
});

test("the picker's month starts its weeks on the day asked for, and its heads follow", () => {
  const en = dates.monthGrid(2027, 2, 0), zh = dates.monthGrid(2027, 2, 1);
  assert.deepEqual(en[0].slice(0, 2), [null, "2027-02-01"], "1 Feb 2027 is a Monday");
  assert.equal(zh[0][0], "2027-02-01");
  assert.equal(zh.length, 4);
  assert.equal(en.flat().filter(Boolean).length, 28);
  assert.deepEqual(dates.weekdayNames("en", 1).slice(0, 2), ["Mon", "Tue"]);
  assert.deepEqual(dates.weekdayNames("zh-Hant", 0).slice(0, 2), ["日", "一"]);
});
