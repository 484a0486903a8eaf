// The calendar's time zone. Events come as wall-clock times of that zone; the
// page's today, its now-line and every time it shows are taken in the same
// zone, whatever zone the browser or the machine is in.
export const DEFAULT_ZONE = "Asia/Taipei";
let zone = DEFAULT_ZONE;

export const calendarZone = () => zone;

export function setCalendarZone(name) {
  zone = isZone(name) ? name : DEFAULT_ZONE;
}

export function isZone(name) {
  if (typeof name !== "string" || !name) return false;
  try { new Intl.DateTimeFormat("en", { timeZone: name }); return true; } catch { return false; }
}

export function systemZone() {
  return Intl.DateTimeFormat().resolvedOptions().timeZone || "UTC";
}

// Making a formatter is slow and the calendar asks for now many times a
// render, so there is one per zone.
const formatters = new Map();
function formatterFor(name) {
  if (!formatters.has(name))
    formatters.set(name, new Intl.DateTimeFormat("en-US", { timeZone: name, hourCycle: "h23", year: "numeric", month: "numeric",
      day: "numeric", hour: "numeric", minute: "numeric", second: "numeric" }));
  return formatters.get(name);
}

// The wall clock of an instant in a zone, as numbers.
export function wallClock(instant = new Date(), name = zone) {
  const parts = formatterFor(name).formatToParts(instant);
  const value = Object.fromEntries(parts.map((part) => [part.type, Number(part.value)]));
  return { year: value.year, month: value.month, day: value.day, hour: value.hour % 24, minute: value.minute, second: value.second };
}

// Now in the calendar's zone, as a Date whose local fields read that wall
// clock: the calendar lays events out by local fields, so this is the now
// that belongs among them.
export function zoneNow() {
  const c = wallClock();
  return new Date(c.year, c.month - 1, c.day, c.hour, c.minute, c.second);
}

// The zones to offer: the system's own first, then every zone the browser knows.
export function zoneChoices() {
  const all = typeof Intl.supportedValuesOf === "function" ? Intl.supportedValuesOf("timeZone") : [DEFAULT_ZONE];
  const first = systemZone();
  return [first, ...all.filter((name) => name !== first)];
}
