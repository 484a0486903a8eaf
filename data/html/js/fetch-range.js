// Which dates to ask the program for. Views over the same weeks ask for
// different ranges (the month's whole weeks, the agenda's days around today),
// and a page holding only the last range asked for would fetch again on every
// switch between them. A range that meets the one held is fetched together
// with it, up to a bound, so the views of one period share a single answer.
// Pure, so it can be tested alone.

const DAY = 86400000;
const days = (range) => Math.round((Date.parse(range.end) - Date.parse(range.start)) / DAY);

// wanted, held: { start, end } day texts, end exclusive; held may be empty
// (start and end ""). Returns the range to fetch.
export function rangeToFetch(wanted, held, maxDays) {
  if (!held.start || !held.end || wanted.start > held.end || wanted.end < held.start) return wanted;
  const joined = { start: wanted.start < held.start ? wanted.start : held.start, end: wanted.end > held.end ? wanted.end : held.end };
  return days(joined) <= maxDays ? joined : wanted;
}
