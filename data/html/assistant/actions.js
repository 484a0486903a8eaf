// Reading the assistant's action blocks out of an answer and writing the
// results back. Pure functions: no DOM and no bridge, so they can be tested
// on their own.

export const ACTIONS = ["query_events", "create_event", "update_event", "delete_event"];
export const CONFIRMED_ACTIONS = new Set(["create_event", "update_event", "delete_event"]);

const FENCE = "```";

// Splits an answer into text parts and action blocks, in the order they
// appear. Only fences tagged exactly `wrenfold-action` are actions; every
// other fence stays in the text for the Markdown renderer.
// → { parts: [{ kind: "text", text } | { kind: "action", index }], actions: [parsed] }
export function parseAnswer(answer) {
  const lines = String(answer ?? "").split(/\r?\n/);
  const parts = [];
  const actions = [];
  let text = [];
  let openFence = 0;  // length of the backtick run that opened a non-action fence
  const flushText = () => {
    const joined = text.join("\n");
    if (joined.trim()) parts.push({ kind: "text", text: joined });
    text = [];
  };
  for (let i = 0; i < lines.length; i++) {
    const line = lines[i];
    const trimmed = line.trim();
    if (!openFence && trimmed === FENCE + "wrenfold-action") {
      const body = [];
      let closed = false;
      for (i++; i < lines.length; i++) {
        if (lines[i].trim() === FENCE) { closed = true; break; }
        body.push(lines[i]);
      }
      flushText();
      parts.push({ kind: "action", index: actions.length });
      actions.push(closed ? parseActionBlock(body.join("\n")) : malformed("unclosed", body.join("\n")));
      continue;
    }
    const run = /^(`{3,})(.*)$/.exec(trimmed);
    if (run && !openFence) openFence = run[1].length;
    else if (run && run[1].length >= openFence && run[2].trim() === "") openFence = 0;
    text.push(line);
  }
  flushText();
  return { parts, actions };
}

function malformed(reason, source, detail = "", name = null) {
  return { name, payload: null, error: { reason, detail }, source };
}

// One block's JSON → { name, payload, error: null } or a malformed entry whose
// error says why (reason: "json", "object", "action", "unclosed").
export function parseActionBlock(source) {
  let value;
  try {
    value = JSON.parse(source);
  } catch (error) {
    return malformed("json", source, error.message);
  }
  if (value === null || typeof value !== "object" || Array.isArray(value)) return malformed("object", source);
  const { action, ...payload } = value;
  if (!ACTIONS.includes(action)) return malformed("action", source, String(action ?? ""), typeof action === "string" ? action : null);
  return { name: action, payload, error: null, source };
}

// The follow-up message that hands the settled actions back, one block each,
// in the order they were proposed. outcome: { ok, ...bridge result } |
// { declined: true } | { error } (malformed or failed).
export function resultBlock(action, outcome) {
  let value;
  if (outcome.declined) value = { action, ok: false, declined: true };
  else if (outcome.ok) value = { action, ...outcome, ok: true };
  else value = { action, ...outcome, ok: false, error: String(outcome.error ?? "") };
  return FENCE + "wrenfold-result\n" + JSON.stringify(value) + "\n" + FENCE;
}

// Whether any of an answer's actions waited for the person's Confirm or Decline.
export const askedForAClick = (actions) => actions.some((entry) => !entry.error && CONFIRMED_ACTIONS.has(entry.name));

export const resultsMessage = (settled) => settled.map(({ action, outcome }) => resultBlock(action, outcome)).join("\n\n");

// "2025-06-03", "2025-06-03T15:00:00", with or without seconds or an offset.
const DATE_TIME = /^(\d{4})-(\d{2})-(\d{2})(?:[T ](\d{2}):(\d{2})(?::(\d{2}))?(Z|[+-]\d{2}:?\d{2})?)?$/;

export function parseWhen(text) {
  const match = DATE_TIME.exec(String(text ?? "").trim());
  if (!match) return null;
  const [, y, mo, d, hh, mm, ss, zone] = match;
  let date;
  if (hh === undefined) date = new Date(+y, +mo - 1, +d);
  else if (zone) date = new Date(`${y}-${mo}-${d}T${hh}:${mm}:${ss || "00"}${zone.length === 5 ? zone.slice(0, 3) + ":" + zone.slice(3) : zone}`);
  else date = new Date(+y, +mo - 1, +d, +hh, +mm, +(ss || 0));
  return Number.isNaN(date.getTime()) ? null : { date, dateOnly: hh === undefined };
}

const sameDay = (a, b) => a.getFullYear() === b.getFullYear() && a.getMonth() === b.getMonth() && a.getDate() === b.getDate();

// A start and end in plain words of the user's language. An all-day end is
// the day after the last day, as the calendar stores it.
export function describeWhen(start, end, allDay, language, allDayWord) {
  const locale = language === "zh-Hant" ? "zh-TW" : "en-GB";
  const from = parseWhen(start);
  if (!from) return String(start ?? "");
  const day = new Intl.DateTimeFormat(locale, { weekday: "short", year: "numeric", month: "short", day: "numeric" });
  const time = new Intl.DateTimeFormat(locale, { hour: "2-digit", minute: "2-digit", hour12: false });
  const to = parseWhen(end);
  if (allDay || from.dateOnly) {
    if (!to) return `${day.format(from.date)}, ${allDayWord}`;
    const last = new Date(to.date);
    if (to.dateOnly) last.setDate(last.getDate() - 1);
    if (last <= from.date || sameDay(last, from.date)) return `${day.format(from.date)}, ${allDayWord}`;
    return `${day.format(from.date)} – ${day.format(last)}, ${allDayWord}`;
  }
  if (!to) return `${day.format(from.date)} ${time.format(from.date)}`;
  if (sameDay(from.date, to.date)) return `${day.format(from.date)} ${time.format(from.date)}–${time.format(to.date)}`;
  return `${day.format(from.date)} ${time.format(from.date)} – ${day.format(to.date)} ${time.format(to.date)}`;
}

const UPDATE_TIME_FIELDS = ["start", "end", "all_day"];

// The rows of an update card: only what the payload changes, the event as it
// stands beside the new value. `before` may be null when the event was not
// looked up; then the old values are unknown.
export function updateRows(before, payload) {
  const rows = [];
  const has = (key) => Object.prototype.hasOwnProperty.call(payload, key);
  const text = (value) => (value === null || value === undefined ? "" : String(value));
  if (has("summary")) rows.push({ field: "summary", before: before && text(before.summary), after: text(payload.summary) });
  if (UPDATE_TIME_FIELDS.some(has)) {
    const pick = (key) => (has(key) ? payload[key] : before?.[key]);
    rows.push({
      field: "when",
      before: before && { start: before.start, end: before.end, all_day: Boolean(before.all_day) },
      after: { start: pick("start"), end: pick("end"), all_day: has("all_day") ? allDayTruth(payload.all_day) : Boolean(before?.all_day) },
    });
  }
  for (const field of ["location", "description", "rrule"])
    if (has(field)) rows.push({ field, before: before && text(before[field]), after: text(payload[field]) });
  if (has("calendar") && text(payload.calendar).trim())
    rows.push({ field: "calendar", before: before && text(before.calendar ?? before.calendar_name), after: text(payload.calendar) });
  return rows;
}

// How the program reads "all_day": any non-empty string, even "false", is true.
export const allDayTruth = (value) => Boolean(value) && !(Array.isArray(value) && value.length === 0);
