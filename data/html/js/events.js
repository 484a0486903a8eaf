// Pure conversions between the program's event records and what the calendar
// view and the editor work with. No DOM here, so the rules can be tested alone.
export const HOLIDAY_CALENDAR = "local:tw_holidays";
export const DEFAULT_COLOR = "#1BADF8";

const pad = (n) => String(n).padStart(2, "0");

// Server colours come as #RRGGBB or #RRGGBBAA (sometimes #RGB). The alpha is
// applied; a fully transparent colour would hide the calendar's events, so it
// is taken as opaque. Anything unreadable falls back to the default blue.
export function parseColor(text) {
  const raw = String(text || "").trim().replace(/^#/, "");
  let hex = raw;
  if (/^[0-9a-f]{3,4}$/i.test(hex)) hex = [...hex].map((c) => c + c).join("");
  if (!/^([0-9a-f]{6}|[0-9a-f]{8})$/i.test(hex)) return parseColor(DEFAULT_COLOR);
  const r = parseInt(hex.slice(0, 2), 16), g = parseInt(hex.slice(2, 4), 16), b = parseInt(hex.slice(4, 6), 16);
  let a = hex.length === 8 ? parseInt(hex.slice(6, 8), 16) / 255 : 1;
  if (a === 0) a = 1;
  return { r, g, b, a: Math.round(a * 1000) / 1000 };
}

export function cssColor(text) {
  const { r, g, b, a } = parseColor(text);
  return a === 1 ? `rgb(${r}, ${g}, ${b})` : `rgba(${r}, ${g}, ${b}, ${a})`;
}

// Black or white, whichever reads better on the colour as it shows on the
// page's dark background.
export function textColorOn(text, background = { r: 13, g: 15, b: 20 }) {
  const { r, g, b, a } = parseColor(text);
  const mix = (c, base) => c * a + base * (1 - a);
  const channel = (c) => { const s = c / 255; return s <= 0.03928 ? s / 12.92 : ((s + 0.055) / 1.055) ** 2.4; };
  const luminance = 0.2126 * channel(mix(r, background.r)) + 0.7152 * channel(mix(g, background.g)) + 0.0722 * channel(mix(b, background.b));
  return (luminance + 0.05) / 0.05 > 1.05 / (luminance + 0.05) ? "#0b0d12" : "#ffffff";
}

export const isHoliday = (record) => record.calendar_url === HOLIDAY_CALENDAR;
export const isReadOnly = (record) => isHoliday(record) || record.read_only === true || !record.url;
export const isRepeating = (record) => Boolean(record.recurring || record.rrule);

// A key that stays the same across refetches, so an open event keeps its place.
export function eventKey(record) {
  if (isHoliday(record)) return "holiday:" + record.start;
  return (record.url || record.uid || "") + "|" + (record.recurrence_id || record.start || "");
}

export function dateOnly(date) {
  return `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())}`;
}

export function wallTime(date) {
  return `${dateOnly(date)}T${pad(date.getHours())}:${pad(date.getMinutes())}:${pad(date.getSeconds())}`;
}

// "YYYY-MM-DD" (or the date that starts a longer text) as a local date,
// `days` later.
export function localDate(dateText, days = 0) {
  const [y, m, d] = dateText.slice(0, 10).split("-").map(Number);
  return new Date(y, m - 1, d + days);
}

export function addDays(dateText, days) {
  return dateOnly(localDate(dateText, days));
}

// The calendar view's event for one record. All-day events end on the day
// after their last day; an all-day record without an end lasts one day.
export function toViewEvent(record) {
  const color = record.color || DEFAULT_COLOR;
  const allDay = record.all_day === true;
  let end = record.end || null;
  if (allDay && (!end || end.slice(0, 10) <= record.start.slice(0, 10))) end = addDays(record.start, 1);
  return {
    id: eventKey(record),
    title: record.summary || "",
    start: allDay ? record.start.slice(0, 10) : record.start,
    end: allDay ? end.slice(0, 10) : end,
    allDay,
    backgroundColor: cssColor(color),
    borderColor: cssColor(color),
    textColor: textColorOn(color),
    editable: !isReadOnly(record),
    classNames: isHoliday(record) ? ["holiday"] : [],
    extendedProps: { record },
  };
}

// After a write of our own, every listed occurrence of the written object
// carries the ETag the server answered with, so that the next edit is not
// refused as a conflict while the refetch is still on its way.
export function noteOwnWrite(records, answer) {
  if (!answer || answer.ok !== true || !answer.url || !answer.etag) return;
  for (const record of records) if (record.url === answer.url) record.etag = answer.etag;
}

// Which events the view shows: hidden calendars and, when switched off, the
// holidays stay in the cache but out of the view.
export function visibleRecords(records, { isVisible, showHolidays }) {
  return records.filter((record) => (isHoliday(record) ? showHolidays : isVisible(record.calendar_url)));
}

// The rule as the editor holds it: the RRULE value, "" for none.
export const ruleText = (rrule) => String(rrule || "").replace(/^RRULE:/i, "").trim();

// The fields to send for the editor's values. `original` is the record being
// edited (absent for a new event). Times are sent only when they changed, and
// the rule only when the user made another one, so an edit never
// rewrites what it did not touch (a custom rule, a series' own start).
export function fieldsFromForm(form, original) {
  const fields = { summary: form.title, location: form.location, description: form.notes };
  const before = original ? formFromRecord(original) : null;
  const timesChanged = !before || ["allDay", "startDate", "endDate"].some((key) => form[key] !== before[key]) ||
    (!form.allDay && (form.startTime !== before.startTime || form.endTime !== before.endTime));
  if (timesChanged) {
    fields.all_day = form.allDay;
    fields.start = form.allDay ? form.startDate : `${form.startDate}T${form.startTime}${secondsKept(form.startTime, original?.start)}`;
    fields.end = form.allDay ? addDays(form.endDate, 1) : `${form.endDate}T${form.endTime}${secondsKept(form.endTime, original?.end)}`;
  }
  const repeatBefore = before ? before.repeat : "";
  if (form.repeat !== repeatBefore) fields.rrule = form.repeat;
  if (original?.recurrence_id) fields.recurrence_id = original.recurrence_id;
  return fields;
}

// Of the fields the editor sends, those the user actually changed from
// `original`: what a save onto another version of the event writes, so the
// other side's changes to the rest survive.
export function userChanges(fields, original) {
  const changed = { ...fields };
  for (const [key, recordKey] of [["summary", "summary"], ["location", "location"], ["description", "description"]])
    if ((fields[key] ?? "") === (original[recordKey] ?? "")) delete changed[key];
  return changed;
}

// The form shows hours and minutes only: a time of day the user left as it
// was keeps the seconds another program gave it.
function secondsKept(time, originalText) {
  const text = originalText || "";
  return text.length >= 19 && text.slice(11, 16) === time ? text.slice(16, 19) : ":00";
}

// The editor's starting values for a record; all-day ends are shown as the
// last day, as people read them.
export function formFromRecord(record) {
  const allDay = record.all_day === true;
  const start = record.start || "";
  let end = record.end || "";
  if (allDay) {
    const last = end && end.slice(0, 10) > start.slice(0, 10) ? addDays(end, -1) : start.slice(0, 10);
    return { title: record.summary || "", allDay, startDate: start.slice(0, 10), startTime: "09:00",
             endDate: last, endTime: "10:00", location: record.location || "", notes: record.description || "",
             repeat: ruleText(record.rrule) };
  }
  if (!end) end = start;
  return { title: record.summary || "", allDay, startDate: start.slice(0, 10), startTime: start.slice(11, 16) || "09:00",
           endDate: end.slice(0, 10), endTime: end.slice(11, 16) || "10:00", location: record.location || "",
           notes: record.description || "", repeat: ruleText(record.rrule) };
}

// Whether the form's end comes before its start (the server would refuse it).
export function endBeforeStart(form) {
  if (form.allDay) return form.endDate < form.startDate;
  return `${form.endDate}T${form.endTime}` < `${form.startDate}T${form.startTime}`;
}

// Fields for an event dragged or resized in the view to new times.
export function fieldsForMove(record, start, end, allDay) {
  const fields = { all_day: allDay };
  if (allDay) {
    fields.start = dateOnly(start);
    fields.end = end ? dateOnly(end) : addDays(dateOnly(start), 1);
  } else {
    fields.start = wallTime(start);
    fields.end = end ? wallTime(end) : wallTime(new Date(start.getTime() + 3600 * 1000));
  }
  if (record.recurrence_id) fields.recurrence_id = record.recurrence_id;
  return fields;
}

// Marks which part of a series a change to one occurrence applies to:
// "this" (an override for the occurrence) or "all" (the whole series).
export function withScope(fields, scope) {
  return fields.recurrence_id && scope ? { ...fields, scope } : fields;
}

const SERIES_SHAPE = ["all_day", "start", "end", "rrule"];

// A series moved to another calendar goes over as it is stored, with only
// its texts changed on the way; new times or a new rule are applied in its
// new place afterwards, relative to the occurrence that was opened, so the
// series keeps its first day. The texts go with the occurrence they were
// read from: one the occurrence only shows (an override's own title) is no
// change to the series. `reshape` is null when nothing of that changed.
export function splitSeriesMove(fields, uid) {
  const carried = fields.recurrence_id ? { uid, recurrence_id: fields.recurrence_id, scope: "all" } : { uid };
  const reshape = { recurrence_id: fields.recurrence_id, scope: "all" };
  let reshaped = false;
  for (const [key, value] of Object.entries(fields)) {
    if (SERIES_SHAPE.includes(key)) { reshape[key] = value; reshaped = true; }
    else if (key !== "recurrence_id" && key !== "scope") carried[key] = value;
  }
  if (!fields.recurrence_id) delete reshape.recurrence_id;
  return { carried, reshape: reshaped ? reshape : null };
}

// Calendars a new or moved event may go to, grouped by account.
export function writableCalendars(accounts) {
  return accounts
    .map((account) => ({ account, calendars: (account.calendars || []).filter((c) => c.read_only !== true) }))
    .filter((group) => group.calendars.length > 0);
}

// The calendar preselected for a new event: the default when it is still
// writable, otherwise the first writable one.
export function preferredCalendar(accounts, defaultUrl) {
  const groups = writableCalendars(accounts);
  for (const group of groups)
    for (const calendar of group.calendars)
      if (calendar.url === defaultUrl) return { account: group.account, calendar };
  return groups.length ? { account: groups[0].account, calendar: groups[0].calendars[0] } : null;
}
