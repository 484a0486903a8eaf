// The dates a month view opens on: from the first day of the week holding the
// month's first day to the end of the week holding its last (end exclusive),
// as "YYYY-MM-DD" texts, the way the calendar asks for its events.
const pad = (n) => String(n).padStart(2, "0");
const dayText = (date) => `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())}`;

export function monthRange(today, firstDay) {
  const first = new Date(today.getFullYear(), today.getMonth(), 1);
  const last = new Date(today.getFullYear(), today.getMonth() + 1, 0);
  const start = new Date(first.getFullYear(), first.getMonth(), 1 - ((first.getDay() - firstDay + 7) % 7));
  const end = new Date(last.getFullYear(), last.getMonth(), last.getDate() + 7 - ((last.getDay() - firstDay + 7) % 7));
  return { start: dayText(start), end: dayText(end) };
}

// The month around `today` as either first day of the week would show it:
// what can be asked for before the settings say which one it is.
export function monthRangeEitherWeek(today) {
  const sunday = monthRange(today, 0), monday = monthRange(today, 1);
  return { start: sunday.start < monday.start ? sunday.start : monday.start,
           end: sunday.end > monday.end ? sunday.end : monday.end };
}

export const rangeHolds = (outer, inner) => outer.start <= inner.start && inner.end <= outer.end;
