// What the month view is handed: a day cell shows only a few events, so a
// crowded month gives the calendar just those and one "+n more" entry per
// crowded day instead of every event (laying out thousands of events only to
// hide most of them is what made a busy month slow). Pure, so it can be
// tested alone.

const pad = (n) => String(n).padStart(2, "0");
const dayText = (date) => `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())}`;

function nextDay(text) {
  const [y, m, d] = text.split("-").map(Number);
  return dayText(new Date(y, m - 1, d + 1));
}

function previousDay(text) {
  const [y, m, d] = text.split("-").map(Number);
  return dayText(new Date(y, m - 1, d - 1));
}

// The first and last day a record covers. All-day ends are exclusive; a
// timed event ending at midnight does not reach into the next day.
export function daysOf(record) {
  const first = String(record.start || "").slice(0, 10);
  const end = String(record.end || "");
  let last = end.slice(0, 10) || first;
  if (record.all_day === true) last = last > first ? previousDay(last) : first;
  else if (last > first && /T00:00(:00)?$/.test(end.slice(0, 19))) last = previousDay(last);
  return { first, last: last < first ? first : last };
}

// Steps from a day text to the next, each step worked out once: a month's
// events share a few dozen days, and making a Date for every step of every
// event was most of the time a crowded month took.
function dayStepper() {
  const known = new Map();
  return (day) => {
    let after = known.get(day);
    if (after === undefined) known.set(day, (after = nextDay(day)));
    return after;
  };
}

function spanLength({ first, last }, next) {
  let n = 1;
  for (let day = first; day < last && n < 400; day = next(day)) n++;
  return n;
}

// Day and time texts sort as their characters do.
const byText = (a, b) => (a < b ? -1 : a > b ? 1 : 0);

// The order a day cell lists its events in: earlier first, longer first,
// all-day before timed, then by title (as localeCompare orders them).
function cellOrder(titles) {
  return (a, b) => byText(a.first, b.first) || b.length - a.length || b.allDay - a.allDay ||
    byText(a.start, b.start) || titles.compare(a.title, b.title);
}

// The items of `list` (taken apart) in `order`, as a stable sort would give
// them, one at a time until `done()`.
function* inOrderUntil(list, order, done) {
  while (list.length > 0 && !done()) {
    let first = 0;
    for (let i = 1; i < list.length; i++) if (order(list[i], list[first]) < 0) first = i;
    yield list.splice(first, 1)[0];
  }
}

// records: what the view would show; range: { start, end } day texts (end
// exclusive); rows: how many entries a day cell holds. A day with more events
// than rows shows rows - 1 of them and a "+n more" entry counting the rest.
// Returns { shown: [record], more: [{ date, count }] }.
export function sliceMonth(records, { start, end }, rows) {
  const next = dayStepper();
  const byFirst = new Map();  // the spans starting on each day
  const total = new Map();
  for (const record of records) {
    const days = daysOf(record);
    if (days.last < start || days.first >= end) continue;
    const first = days.first < start ? start : days.first;
    const last = days.last >= end ? previousDay(end) : days.last;
    const span = { record, first, last, length: spanLength(days, next), allDay: Number(record.all_day === true),
                   start: String(record.start), title: String(record.summary || "") };
    const group = byFirst.get(first);
    if (group) group.push(span); else byFirst.set(first, [span]);
    for (let day = first; day <= last; day = next(day)) total.set(day, (total.get(day) || 0) + 1);
  }
  const capacity = (day) => (total.get(day) > rows ? rows - 1 : rows);
  const used = new Map();
  const shown = [];
  const order = cellOrder(new Intl.Collator());
  // A day's spans all cover that day, so once it is full none of the rest
  // fits: only the first few of a crowded day are put in order. Before it
  // is full, at most one of them can fail to fit (on a later, fuller day
  // whose spans all cover this one), so a day takes at most rows + 1 picks.
  for (const first of [...byFirst.keys()].sort(byText)) {
    const full = () => (used.get(first) || 0) >= capacity(first);
    for (const span of inOrderUntil(byFirst.get(first), order, full)) {
      let fits = true;
      for (let day = span.first; fits && day <= span.last; day = next(day)) fits = (used.get(day) || 0) < capacity(day);
      if (!fits) continue;
      for (let day = span.first; day <= span.last; day = next(day)) used.set(day, (used.get(day) || 0) + 1);
      shown.push(span.record);
    }
  }
  const more = [];
  for (const [date, count] of total) {
    const hidden = count - (used.get(date) || 0);
    if (hidden > 0) more.push({ date, count: hidden });
  }
  more.sort((a, b) => byText(a.date, b.date));
  return { shown, more };
}
