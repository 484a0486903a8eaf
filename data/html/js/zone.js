// The calendar's time zone. Events come as wall-clock times of that zone; the
// page's today, its now-line and every time it shows are taken in the same
// zone, whatever zone the browser or the machine is in.
export const DEFAULT_ZONE = "Asia/Taipei";
let zone = DEFAULT_ZONE;

export const calendarZone = () => zone;

export function setCalendarZone(name) {
  zone = isZone(name) ? name : DEFAULT_ZONE;
}

// A zone the browser knows; its formatter, made to find out, is the one the
// clock reads (the first one made costs tens of milliseconds at start).
export function isZone(name) {
  if (typeof name !== "string" || !name) return false;
  try { formatterFor(name); return true; } catch { return false; }
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

// The instant a wall-clock time "YYYY-MM-DDTHH:MM[:SS]" of a zone stands for:
// in an hour the clocks repeat the earlier one, and a time inside a gap comes
// out moved forward by the gap.
export function instantOf(text, name = zone) {
  const [date, time = "00:00"] = String(text).split("T");
  const [year, month, day] = date.split("-").map(Number);
  const [hour, minute, second = 0] = time.split(":").map(Number);
  const wanted = Date.UTC(year, month - 1, day, hour, minute, second);
  const wallOf = (instant) => {
    const c = wallClock(new Date(instant), name);
    return Date.UTC(c.year, c.month - 1, c.day, c.hour, c.minute, c.second);
  };
  const first = wanted - (wallOf(wanted) - wanted);
  const second_ = wanted - (wallOf(first) - first);
  const candidates = [Math.min(first, second_), Math.max(first, second_)];
  return new Date(candidates.find((instant) => wallOf(instant) === wanted) ?? candidates[1]);
}

// The wall clock of an instant in a zone as "YYYY-MM-DDTHH:MM".
export function wallText(instant, name = zone) {
  const c = wallClock(instant, name);
  const pad = (n) => String(n).padStart(2, "0");
  return `${c.year}-${pad(c.month)}-${pad(c.day)}T${pad(c.hour)}:${pad(c.minute)}`;
}

// "America/New_York" as people say it: "New York".
export const cityOf = (name) => String(name).split("/").pop().replaceAll("_", " ");

// Now in the calendar's zone, as a Date whose local fields read that wall
// clock: the calendar lays events out by local fields, so this is the now
// that belongs among them.
export function zoneNow() {
  const c = wallClock();
  return new Date(c.year, c.month - 1, c.day, c.hour, c.minute, c.second);
}

// Every zone the browser knows, read once; an engine without the list knows
// none.
let known = null;
function knownZones() {
  if (!known) {
    try { known = Intl.supportedValuesOf("timeZone"); } catch { known = []; }
  }
  return known;
}

// The zones to offer for the calendar: the system's own first, then every
// zone the browser knows (or the default one, when it lists none).
export function zoneChoices() {
  const all = knownZones().length ? knownZones() : [DEFAULT_ZONE];
  const first = systemZone();
  return [first, ...all.filter((name) => name !== first)];
}

// The zones to offer for an event: every zone the browser knows, and the
// calendar's `home` in front when the browser does not list it.
export function zonesWith(home) {
  return knownZones().includes(home) ? knownZones() : [home, ...knownZones()];
}
