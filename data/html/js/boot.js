// What the first painted month needs, asked for the moment the page starts,
// while its other scripts and the calendar library are still loading: the
// starting state, then the events, holiday names and lunar dates of the month
// the calendar opens on. A call made later with the same arguments takes the
// early answer instead of asking again; any other call goes to the program.
import { api, hasToken } from "./shim.js";
import { DEFAULT_READING, firstDayOf, lunarOf } from "./reading-rules.js";
import { DEFAULT_ZONE, setCalendarZone, zoneNow } from "./zone.js";
import { monthRange } from "./first-month.js";

const early = new Map();
const arrived = new Map();  // the values of early answers already in, by key
const keyOf = (method, args) => JSON.stringify([method, ...args]);

function askEarly(method, ...args) {
  const key = keyOf(method, args);
  const answer = api[method](...args);
  answer.then((value) => { if (early.get(key) === answer) arrived.set(key, value); },
              () => {});  // whoever takes it sees the failure
  early.set(key, answer);
  return answer;
}

function take(key) {
  early.delete(key);
  arrived.delete(key);
}

// The early answer to this call when there is one (once), else a new call.
export function ask(method, ...args) {
  const key = keyOf(method, args);
  const answer = early.get(key);
  if (!answer) return api[method](...args);
  take(key);
  return answer;
}

// The values of the early answers to these calls ([method, ...args] each),
// taken, when every one has arrived; otherwise null and nothing is taken.
// Whoever has them in hand can draw at once instead of a turn later.
export function arrivedAnswers(...calls) {
  const keys = calls.map(([method, ...args]) => keyOf(method, args));
  if (!keys.every((key) => arrived.has(key))) return null;
  const values = keys.map((key) => arrived.get(key));
  keys.forEach(take);
  return values;
}

function askFirstMonth(state) {
  if (state.view !== "month") return;
  setCalendarZone(state.time_zone || DEFAULT_ZONE);
  const reading = { ...DEFAULT_READING, ...(state.reading || {}) };
  const { start, end } = monthRange(zoneNow(), firstDayOf(reading, state.language, navigator.language));
  askEarly("get_events", start, end, true);
  askEarly("get_holiday_names", start, end);
  if (lunarOf(reading, state.language)) askEarly("get_lunar_dates", start, end);
}

if (hasToken()) askEarly("get_initial_state").then(askFirstMonth, () => {});
