// What the first painted month needs, asked for the moment the page starts,
// while its other scripts and the calendar library are still loading: the
// starting state and, beside it, the events, holiday names and lunar dates
// of this month as either first weekday would show it, which holds the month
// the state then names unless its zone's today is in another month. A call
// made later with the same arguments takes the early answer instead of asking
// again; any other call goes to the program. The lunar dates come whether or
// not the settings show them: they cost the program next to nothing, while
// waiting for the state to know cost a turn of the page's busiest moment.
import { api, hasToken } from "./shim.js";
import { DEFAULT_READING, firstDayOf, lunarOf } from "./reading-rules.js";
import { DEFAULT_ZONE, setCalendarZone, zoneNow } from "./zone.js";
import { monthRange, monthRangeEitherWeek, rangeHolds } from "./first-month.js";

const early = new Map();
const arrived = new Map();  // the values of early answers already in, by key
let firstMonth = null;
let firstEvents = null;
const keyOf = (method, args) => JSON.stringify([method, ...args]);

// Settles (never fails) once the early answers of the month the calendar
// opens on are all in; null when none were asked for. The calendar waits for
// it so as to draw that month once, with its events.
export const firstMonthSettled = () => firstMonth;

// Whether the program has begun to send the first month's events.
export const firstMonthBegun = () => firstEvents?.begun === true;

function askEarly(method, ...args) {
  return keepEarly(keyOf(method, args), api[method](...args));
}

function keepEarly(key, answer) {
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

// The month's answers are those asked for beside the state when they hold
// its range: the calendar keeps events out of the range it shows, and looks
// holiday names and lunar dates up by day.
function askFirstMonth(state, guessed) {
  if (state.view !== "month") return;
  setCalendarZone(state.time_zone || DEFAULT_ZONE);
  const reading = { ...DEFAULT_READING, ...(state.reading || {}) };
  const range = monthRange(zoneNow(), firstDayOf(reading, state.language, navigator.language));
  const held = rangeHolds(guessed.range, range);
  const early = (method, ...args) =>
    (held ? keepEarly(keyOf(method, [range.start, range.end, ...args]), guessed[method])
          : askEarly(method, range.start, range.end, ...args));
  firstEvents = early("get_events", true);
  const answers = [firstEvents, early("get_holiday_names")];
  if (lunarOf(reading, state.language)) answers.push(early("get_lunar_dates"));
  firstMonth = Promise.allSettled(answers);
}

if (hasToken()) {
  const state = askEarly("get_initial_state");
  // Guessed from the browser's own clock: the zone's clock costs tens of
  // milliseconds the first time it is read, spent below while both answers
  // are on their way. At a month's edge, with the browser in another zone
  // than the calendar, the guess may miss the month and it is asked again.
  const range = monthRangeEitherWeek(new Date());
  const guessed = { range, get_events: api.get_events(range.start, range.end, true),
                    get_holiday_names: api.get_holiday_names(range.start, range.end),
                    get_lunar_dates: api.get_lunar_dates(range.start, range.end) };
  // Whoever takes one of them sees its failure.
  for (const method of ["get_events", "get_holiday_names", "get_lunar_dates"]) guessed[method].catch(() => {});
  state.then((answer) => askFirstMonth(answer, guessed), () => {});
  zoneNow();
}
