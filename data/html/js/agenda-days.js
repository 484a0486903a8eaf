// The agenda's days: each record listed under every day of the range it
// covers, with which part of it falls on that day. Pure, so it can be tested
// alone.
import { daysOf } from "./month-slice.js";

const pad = (n) => String(n).padStart(2, "0");
const dayText = (date) => `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())}`;
const nextDay = (text) => { const [y, m, d] = text.split("-").map(Number); return dayText(new Date(y, m - 1, d + 1)); };
const minutesOf = (text) => { const [h, m] = String(text).slice(11, 16).split(":").map(Number); return (h || 0) * 60 + (m || 0); };

// What of a record falls on `day`: "all-day" (an all-day record, or a day
// in the middle of a timed one), "whole" (a timed record within the day),
// "start" (from its start to midnight) or "end" (from midnight to its end).
function partOn(record, { first, last }, day) {
  if (record.all_day === true) return "all-day";
  if (first === last) return "whole";
  if (day === first) return "start";
  return day === last ? "end" : "all-day";
}

// On one day: what starts earlier first (all-day parts and days carried over
// from before start at midnight), then longer first, then by title.
function dayOrder(a, b) {
  const start = (entry) => (entry.part === "whole" || entry.part === "start" ? minutesOf(entry.record.start) : -1);
  return start(a) - start(b) || b.length - a.length ||
    String(a.record.summary || "").localeCompare(String(b.record.summary || ""));
}

// records: what the agenda shows; range: { start, end } day texts, end
// exclusive. Returns [{ date, entries: [{ record, part }] }] by date, only
// the days that have entries.
export function agendaDays(records, { start, end }) {
  const byDay = new Map();
  for (const record of records) {
    const span = daysOf(record);
    const length = Date.parse(String(record.end || record.start)) - Date.parse(String(record.start));
    const from = span.first < start ? start : span.first;
    for (let day = from; day <= span.last && day < end; day = nextDay(day)) {
      if (!byDay.has(day)) byDay.set(day, []);
      byDay.get(day).push({ record, part: partOn(record, span, day), length: length || 0 });
    }
  }
  return [...byDay.keys()].sort().map((date) => ({
    date, entries: byDay.get(date).sort(dayOrder).map(({ record, part }) => ({ record, part })),
  }));
}
