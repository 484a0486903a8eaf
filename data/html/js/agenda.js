// The agenda's list, drawn by the page itself: one table of day rows and
// event rows built straight into the document. A few hundred entries cost a
// few milliseconds this way, where a component per row cost a tenth of a
// millisecond each to mount and as much again to unmount.
import { h } from "./dom.js";
import { t } from "./i18n.js";
import { toViewEvent, eventKey, isHoliday, localDate } from "./events.js";

// Heights in pixels of a day's name, of an entry and of one with a place, as
// calendar.css draws them.
const DAY_HEAD = 37.3;
const ROW = 33.9;
const ROW_WITH_PLACE = 52;
// Days before the opening day laid out at once.
const LAID_OUT_BEFORE = 3;
const WEEKDAYS = ["sun", "mon", "tue", "wed", "thu", "fri", "sat"];
const dayFormats = new Map();
let lists = 0;

function dayTitle(date, language) {
  const locale = language === "zh-Hant" ? "zh-TW" : "en";
  if (!dayFormats.has(locale))
    dayFormats.set(locale, new Intl.DateTimeFormat(locale, { weekday: "long", month: "long", day: "numeric", year: "numeric" }));
  return dayFormats.get(locale).format(localDate(date));
}

// The days' tables share their columns' widths.
const columns = () => h("colgroup", {}, h("col", { class: "agenda-time" }), h("col", { class: "agenda-dot" }), h("col", {}));

function dayClasses(date, today) {
  const [y, m, d] = date.split("-").map(Number);
  const when = date === today ? "fc-day-today" : date < today ? "fc-day-past" : "fc-day-future";
  return `fc-list-day fc-day fc-day-${WEEKDAYS[new Date(y, m - 1, d).getDay()]} ${when}`;
}

// days: from agendaDays, with { date, placeholder: true } for an empty today;
// from: the day the list opens on; twelveHour: whether times read 9:00am
// (wider) or 09:00; timeOf(record, part): the entry's time text; open(record, anchor) and openDay(date) answer a click on an entry and
// on a day's name. Each day is a table of its own that the browser lays out
// only when it comes near the screen (agenda-day.deferred in calendar.css), so
// a long list costs what the screen shows. The few days just before the
// opening day are laid out at once: scrolled to the top, the opening day
// would otherwise move as they come into reach at their own height.
export function agendaList({ days, from, today, language, twelveHour, timeOf, open, openDay }) {
  const opening = Math.max(0, days.findIndex((day) => day.date >= from));
  const id = `agenda-${++lists}`;
  const colors = new Map();
  const colorOf = (record) => {
    if (!colors.has(record.color)) colors.set(record.color, toViewEvent(record).borderColor);
    return colors.get(record.color);
  };
  const entries = [];
  const eventRow = (record, part, dayId) => {
    const time = timeOf(record, part);
    const title = record.summary || t("untitled");
    const link = h("a", { tabIndex: 0, "data-entry": String(entries.length), "data-focus-key": eventKey(record) },
      h("span", { class: "fc-event-title" }, title), record.location ? h("span", { class: "list-place" }, record.location) : null);
    entries.push(record);
    const holiday = isHoliday(record);
    return h("tr", { class: "fc-event fc-list-event" + (holiday ? " holiday" : ""),
                     title: [`${time} ${title}`, record.location].filter(Boolean).join("\n") },
      h("td", { class: "fc-list-event-time", headers: `${dayId}-time ${dayId}` }, time),
      h("td", { class: "fc-list-event-graphic", "aria-hidden": "true" },
        h("span", { class: "fc-list-event-dot", style: holiday ? {} : { borderColor: colorOf(record) } })),
      h("td", { class: "fc-list-event-title", headers: `${dayId}-event ${dayId}` }, link));
  };
  const emptyRow = (dayId) => h("tr", { class: "fc-event fc-list-event today-empty" },
    h("td", { class: "fc-list-event-time", headers: `${dayId}-time ${dayId}` }),
    h("td", { class: "fc-list-event-graphic", "aria-hidden": "true" }, h("span", { class: "fc-list-event-dot" })),
    h("td", { class: "fc-list-event-title", headers: `${dayId}-event ${dayId}` }, h("span", { class: "fc-event-title" }, t("nothing_today"))));
  const dayBoxes = days.map((day, index) => {
    const dayId = `${id}-${day.date}`;
    const name = h("a", { class: "fc-list-day-text", tabIndex: 0, "data-navlink": "", "data-date": day.date }, dayTitle(day.date, language));
    const cushion = h("div", { class: "fc-list-day-cushion fc-cell-shaded" }, name);
    if (day.date === today) cushion.append(h("span", { class: "today-mark" }, t("today")));
    const head = h("thead", {}, h("tr", {},
      h("th", { scope: "col", id: `${dayId}-time` }, t("list_time")),
      h("th", { scope: "col", "aria-hidden": "true" }),
      h("th", { scope: "col", id: `${dayId}-event` }, t("list_event"))));
    const rows = day.placeholder ? [emptyRow(dayId)] : day.entries.map(({ record, part }) => eventRow(record, part, dayId));
    // A day not laid out yet takes the height its rows will have, near enough
    // for the opening day to be scrolled to the top of a short list.
    const height = DAY_HEAD + day.entries.reduce((sum, { record }) => sum + (record.location ? ROW_WITH_PLACE : ROW), day.placeholder ? ROW : 0);
    const deferred = index < opening - LAID_OUT_BEFORE || index >= opening;
    return h("div", { class: deferred ? "agenda-day deferred" : "agenda-day", style: { containIntrinsicSize: `auto ${height}px` } }, h("table", { class: "fc-list-table" }, columns(), head, h("tbody", {},
      h("tr", { class: dayClasses(day.date, today), "data-date": day.date }, h("th", { scope: "colgroup", colSpan: 3, id: dayId }, cushion)),
      rows)));
  });
  const pick = (event) => {
    const day = event.target.closest("[data-navlink]");
    if (day) { openDay(day.dataset.date); return; }
    const row = event.target.closest(".fc-list-event");
    const link = row?.querySelector("[data-entry]");
    if (link) open(entries[Number(link.dataset.entry)], link);
  };
  const list = h("div", { class: twelveHour ? "agenda-days" : "agenda-days clock-24" }, dayBoxes);
  list.addEventListener("click", pick);
  list.addEventListener("keydown", (event) => {
    if ((event.key === "Enter" || event.key === " ") && event.target.matches("[data-entry], [data-navlink]")) {
      event.preventDefault();
      pick(event);
    }
  });
  return list;
}
