// The calendar itself: FullCalendar's month, week, day and agenda views over
// the events of the visible range, fetched once with the hidden calendars
// included so that showing or hiding a calendar needs no request. Each view
// is a calendar of its own, kept drawn while another is shown, so switching
// back to a view of the same dates draws nothing anew.
import { focusKeyed, afterPaint } from "./dom.js";
import { t, currentLanguage, onLanguageChange } from "./i18n.js";
import { toViewEvent, visibleRecords, dateOnly, fieldsForMove, isReadOnly, isRepeating, isHoliday, addDays, localDate, withScope, noteOwnWrite } from "./events.js";
import { answerOrder } from "./answer-order.js";
import { showBanner } from "./banner.js";
import { capture, afterOf, showUndo } from "./undo.js";
import { askSeries } from "./series.js";
import { sliceMonth, daysOf } from "./month-slice.js";
import { rangeToFetch } from "./fetch-range.js";
import { agendaDays } from "./agenda-days.js";
import { agendaList } from "./agenda.js";
import { h } from "./dom.js";
import { openPopover, closePopover } from "./popover.js";
import { zoneNow, calendarZone } from "./zone.js";
import { firstDayOf, twelveHourOf, lunarOf } from "./reading-rules.js";
import { setTheme } from "./theme.js";
import { ask, arrivedAnswers, firstMonthSettled, firstMonthBegun } from "./boot.js";
import { monthRange } from "./first-month.js";
import { drawMonthSketch } from "./month-sketch.js";

export const VIEWS = { month: "dayGridMonth", week: "timeGridWeek", day: "timeGridDay", agenda: "listAgenda" };
// Heights in pixels of a month entry, of a day cell's number and of the row
// of weekday names, as calendar.css draws them: a cell holds as many entries
// as its height leaves room for.
const MONTH_ENTRY = 22;
const MONTH_DAY_HEAD = 30;
const MONTH_DAY_HEAD_LUNAR = 44;
const MONTH_COLUMN_HEAD = 34;
// Where a week opens when neither now nor an event says otherwise.
const MORNING = "07:00:00";
// The agenda shows two weeks before the day it opens on and two months after.
const AGENDA_BEFORE = 14;
const AGENDA_AFTER = 61;
// The most days one request covers when it takes in the range already held.
const FETCH_SPAN = 100;
// The first month is drawn once, with its events, when they are in hand or
// being received by the time the page is ready for it (give or take a
// moment). Otherwise it is drawn empty at once and filled when they come:
// laid out twice, but its first layout, the costlier one, is then done while
// the program is still working on the answer.
const FIRST_DRAW_GRACE = 50;
const FIRST_DRAW_WAIT = 1000;
const VIEW_NAMES = Object.fromEntries(Object.entries(VIEWS).map(([name, type]) => [type, name]));

// FullCalendar makes new Intl formatters for every time range it writes,
// which made a view of hundreds of events slow to draw. The same few times
// recur (9:00am - 10:00am), so each is written once, by FullCalendar itself
// through `write`, and remembered.
function rememberedTimes(format, write) {
  const known = new Map();
  const wall = (part) => new Date(part.year, part.month, part.day, part.hour, part.minute, part.second);
  const level = (a, b) => (a.year !== b.year ? 5 : a.month !== b.month ? 4 : a.day !== b.day ? 2 : 0);
  return ({ start, end }) => {
    const key = `${start.hour}:${start.minute}:${start.second}` + (end ? `-${end.hour}:${end.minute}:${end.second}/${level(start, end)}` : "");
    if (!known.has(key)) known.set(key, write(wall(start), end && wall(end), format));
    return known.get(key);
  };
}

function localeOptions(language, reading, write, agendaContent) {
  const chinese = language === "zh-Hant";
  const twelve = twelveHourOf(reading, language);
  const time = twelve ? { hour: "numeric", minute: "2-digit", meridiem: "short", hour12: true }
                      : { hour: "2-digit", minute: "2-digit", hour12: false };
  // In a month cell the time only leads the title; the short form leaves it the width.
  const monthTime = twelve ? { hour: "numeric", minute: "2-digit", omitZeroMinute: true, meridiem: "narrow", hour12: true }
                           : { hour: "numeric", minute: "2-digit", hour12: false };
  return {
    locale: chinese ? "zh-tw" : "en",
    firstDay: firstDayOf(reading, language, navigator.language),
    weekNumbers: reading.week_numbers === true,
    eventTimeFormat: rememberedTimes(time, write),
    slotLabelFormat: time,
    views: {
      dayGridMonth: { displayEventEnd: false, eventTimeFormat: rememberedTimes(monthTime, write) },
      timeGrid: { displayEventEnd: true },
      // The page's own list (agenda.js); FullCalendar keeps its dates and events.
      listAgenda: { content: agendaContent, classNames: ["fc-list", "fc-list-sticky"], visibleRange: agendaRange,
                    dateIncrement: { days: 28 } },
    },
    buttonText: {},
    moreLinkText: (n) => t("more", { n }),
  };
}

// Two weeks before the day the agenda opens on, so the days just past are
// one scroll up, and two months after it.
function agendaRange(current) {
  const day = new Date(current.getFullYear(), current.getMonth(), current.getDate());
  return { start: new Date(day.getFullYear(), day.getMonth(), day.getDate() - AGENDA_BEFORE),
           end: new Date(day.getFullYear(), day.getMonth(), day.getDate() + AGENDA_AFTER) };
}

// "YYYY-MM-DD" as a local date; a Date as it is.
const asDate = (day) => (typeof day === "string" ? localDate(day) : day);

const daySpan = (start, end) => Math.round((Date.parse(end) - Date.parse(start)) / 86400000);

export function createCalendar({ element, store, ctx, openEditor }) {
  let fc = null;  // the view on screen
  // Each view type's calendar, made when first shown. A view not on screen is
  // taken out of the document and told of what changed meanwhile only when it
  // is shown again: `drawn` is the version of the events it was handed,
  // `options` that of its options and `size` the size it was laid out at.
  const views = new Map();
  let eventsVersion = 0;
  let optionsVersion = 0;
  let switching = false;  // a view is being shown
  let viewDate = null;  // the day the user is on, which a kept view's own may lag
  let monthRowsShown = 0;
  let scrollPending = false;
  let agendaTime = null;  // writes an agenda entry's times
  const cache = { start: "", end: "", records: [], stale: true, holidayNames: {}, lunar: new Map() };
  const dateListeners = new Set();

  let fetches = 0;
  let fetching = 0;  // fetches on their way
  let answeredToken;  // the refresh token the events on screen were read at
  const order = answerOrder();
  // Events this page wrote: their records carry the server's new ETag (so a
  // next edit is not refused) but still their old fields until the refetch
  // lands; `landing` is that refetch.
  const written = new Set();
  let landing = Promise.resolve();

  // The view asks for its range on every change of dates; a range inside the
  // one already fetched (a week of the month on screen) needs no request.
  async function fetchRange(type, info, success, failure) {
    const start = dateOnly(info.start);
    const end = dateOnly(info.end);
    let asked = false;
    try {
      if (cache.stale || start < cache.start || end > cache.end) {
        fetching += 1;
        asked = true;
        const ticket = order.issue();
        // A switch of views takes in the range held, so that switching back
        // needs no request; moving to other dates fetches them alone, so
        // coming back asks again and brings what changed meanwhile.
        const range = switching ? rangeToFetch({ start, end }, cache, FETCH_SPAN) : { start, end };
        const [answer, names, lunar] = answersInHand(range) || await Promise.all([
          ask("get_events", range.start, range.end, true), holidayNames(range.start, range.end), lunarDates(range.start, range.end)]);
        if (order.accept(ticket)) takeAnswer(range, answer, names, lunar);
      }
      const view = views.get(type);
      if (view) view.drawn = eventsVersion;
      success(viewEvents({ start, end }, type));
    } catch (error) {
      showBanner(error);
      failure(error);
    } finally {
      if (asked) fetching -= 1;
    }
  }

  // The answers of a range become what the views are handed.
  function takeAnswer(range, answer, names, lunar) {
    const fetched = ++fetches;
    performance.mark("wrenfold-answer", { detail: fetched });  // the render benchmark starts here
    Object.assign(cache, { ...range, records: answer.events || [], stale: false, holidayNames: names, lunar });
    eventsVersion++;
    answeredToken = answer.refresh_token;
    written.clear();
    store.setErrors(new Map((answer.errors || []).map((entry) => [entry.calendar, entry.error])));
  }

  // The first month's answers when the page's start has them all in already:
  // handed over in the same turn, the calendar draws the month once, with its
  // events, rather than empty first and again a moment later.
  function answersInHand({ start, end }) {
    const lunar = lunarOf(store.state.reading, currentLanguage());
    const values = arrivedAnswers(["get_events", start, end, true], ["get_holiday_names", start, end],
                                  ...(lunar ? [["get_lunar_dates", start, end]] : []));
    return values && [values[0], namesOf(values[1]), lunar ? lunarDaysOf(values[2]) : new Map()];
  }

  // The names of the range's holidays in both languages; the events carry
  // the Chinese one only. Without them the page still shows that one.
  const namesOf = (answer) => answer?.names || {};
  async function holidayNames(start, end) {
    try { return namesOf(await ask("get_holiday_names", start, end)); } catch { return {}; }
  }

  const lunarDaysOf = (answer) => new Map((answer?.days || []).map((day) => [day.date, day]));
  async function lunarDates(start, end) {
    if (!lunarOf(store.state.reading, currentLanguage())) return new Map();
    try { return lunarDaysOf(await ask("get_lunar_dates", start, end)); } catch { return new Map(); }
  }

  // A holiday named in the page's language.
  function holidayName(record) {
    return cache.holidayNames[String(record.start).slice(0, 10)]?.[currentLanguage()] || record.summary || "";
  }

  function shownRecords() {
    // Asked once per calendar, not once per event: a month holds thousands.
    const visible = new Map();
    const isVisible = (url) => {
      if (!visible.has(url)) visible.set(url, store.isVisible(url));
      return visible.get(url);
    };
    return visibleRecords(cache.records, { isVisible, showHolidays: store.state.showHolidays })
      .map((record) => (isHoliday(record) ? { ...record, summary: holidayName(record) } : record));
  }

  // Holidays have a look of their own (calendar.css) instead of a calendar colour.
  function viewEvent(record) {
    const event = toViewEvent(record);
    return isHoliday(record) ? { ...event, backgroundColor: "", borderColor: "", textColor: "" } : event;
  }

  function viewEvents(range, type) {
    const records = shownRecords();
    // A week of a fetched month is handed its own events only, not the month's.
    const inRange = (record) => { const days = daysOf(record); return days.last >= range.start && days.first < range.end; };
    if (type === VIEWS.week || type === VIEWS.day) return records.filter(inRange).map(toGridEvent);
    if (type !== VIEWS.month) return withTodayRow(records.filter(inRange).map(viewEvent), range, records);
    monthRowsShown = monthRows(range);
    const { shown, more } = sliceMonth(records, range, monthRowsShown);
    const listedFirst = (event) => ({ ...event, extendedProps: { ...event.extendedProps, listedLast: 0 } });
    return [...shown.map((record) => listedFirst(viewEvent(record))), ...more.map(moreEntry)];
  }

  // In the week and day grids a timed event that runs into another day is
  // drawn once, as a bar across its days in the all-day row, not as a slab
  // in every column. Dragging it there would turn it into an all-day event,
  // so it is changed in the editor.
  function toGridEvent(record) {
    const event = viewEvent(record);
    if (record.all_day === true) return event;
    const { first, last } = daysOf(record);
    if (first === last) return event;
    return { ...event, allDay: true, start: first, end: addDays(last, 1), editable: false,
             classNames: [...event.classNames, "spanning"] };
  }

  // The agenda lists only days with events; an empty today still gets its
  // row, so the list opens on today and says there is nothing in it.
  function withTodayRow(events, range, records) {
    const today = dateOnly(zoneNow());
    if (today < range.start || today >= range.end) return events;
    if (records.some((record) => { const days = daysOf(record); return days.first <= today && today <= days.last; })) return events;
    return [...events, { id: "today-empty", title: t("nothing_today"), start: today, allDay: true, editable: false,
                         interactive: false, classNames: ["today-empty"], extendedProps: { placeholder: true } }];
  }

  // How many entries a day cell of the month holds, its "+n more" included:
  // the weeks share the height of the calendar. The sizes are those last
  // seen (by the resize observer, and once a month is drawn): measuring here,
  // in the middle of a switch, would lay out the view being left.
  const measured = { height: 0, columnHead: MONTH_COLUMN_HEAD };
  function monthRows({ start, end }) {
    const weeks = Math.max(1, Math.round(daySpan(start, end) / 7));
    const cell = ((measured.height || element.clientHeight) - measured.columnHead) / weeks;
    return Math.max(1, Math.floor((cell - dayHeadHeight()) / MONTH_ENTRY));
  }
  // A day's number, with the lunar date under it when shown.
  const dayHeadHeight = () => (lunarOf(store.state.reading, currentLanguage()) ? MONTH_DAY_HEAD_LUNAR : MONTH_DAY_HEAD);

  // A window made taller or shorter changes what a cell holds; the
  // assistant's panel or the sidebar taking or giving back width changes the
  // calendar's size without the window's.
  let size = "";
  function followSize() {
    let timer = 0;
    size = `${element.clientWidth}x${element.clientHeight}`;
    // Paper has a size of its own; what the cells hold stays as on screen.
    const printing = window.matchMedia("print");
    new ResizeObserver(() => {
      measured.height = element.clientHeight;
      const now = `${element.clientWidth}x${element.clientHeight}`;
      if (now === size || printing.matches) return;
      size = now;
      clearTimeout(timer);
      timer = setTimeout(() => {
        if (!fc) return;
        fc.updateSize();
        views.get(fc.view.type).size = size;
        refillMonth();
      }, 80);
    }).observe(element);
  }

  // A month drawn with other sizes than it has is filled again. A fetch on
  // its way measures the month when its answer is laid out; filling again
  // meanwhile would ask anew and drop that answer (at start, the early one).
  function refillMonth() {
    if (fc?.view.type !== VIEWS.month) return;
    measured.columnHead = element.querySelector(".fc-col-header")?.getBoundingClientRect().height || measured.columnHead;
    const range = { start: dateOnly(fc.view.activeStart), end: dateOnly(fc.view.activeEnd) };
    if (fetching === 0 && monthRows(range) !== monthRowsShown) fc.getEventSources().forEach((source) => source.refetch());
  }

  // The "+n more" of a crowded day: an entry listed after the day's events
  // that lists the whole day beside it.
  function moreEntry({ date, count }) {
    return { id: "more:" + date, title: t("more", { n: count }), start: date, allDay: true, editable: false,
             classNames: ["more-events"], extendedProps: { moreDate: date, listedLast: 1 } };
  }

  async function clickEvent(info) {
    info.jsEvent.preventDefault();
    const { record, moreDate, placeholder } = info.event.extendedProps;
    if (placeholder) return;
    if (moreDate) showDay(moreDate, info.el);
    else if (isHoliday(record)) showHoliday(record, info.el);
    else openEditor({ record: await currentRecord(record) });
  }

  // Every event of a day, in a small panel beside the cell.
  function showDay(date, anchor) {
    const records = shownRecords().filter((record) => {
      const days = daysOf(record);
      return days.first <= date && date <= days.last;
    }).sort((a, b) => Number(b.all_day === true) - Number(a.all_day === true) || String(a.start).localeCompare(String(b.start)));
    const title = new Intl.DateTimeFormat(currentLanguage() === "zh-Hant" ? "zh-TW" : "en", { dateStyle: "full" })
      .format(localDate(date));
    const list = h("ul", { class: "day-list" }, ...records.map((record) => h("li", {},
      h("button", { type: "button", class: "day-entry", onclick: () => { closePopover(); openRecord(record); } },
        h("span", { class: "dot", style: { background: toViewEvent(record).backgroundColor } }),
        h("span", { class: "day-entry-time" }, entryTime(record, date)),
        h("span", { class: "day-entry-title" }, record.summary || t("untitled"))))));
    openPopover({ anchor, title, body: list });
  }

  async function openRecord(record, anchor = document.activeElement) {
    if (isHoliday(record)) showHoliday(record, anchor);
    else openEditor({ record: await currentRecord(record) });
  }

  // A holiday cannot be edited: a click names it.
  function showHoliday(record, anchor) {
    openPopover({ anchor, title: holidayName(record), body: h("p", { class: "note" }, t("holiday_note")) });
  }

  // Red numbers on holidays, and the lunar date under each day number.
  function decorateDays() {
    const holidays = new Set(store.state.showHolidays
      ? cache.records.filter(isHoliday).map((record) => String(record.start).slice(0, 10)) : []);
    const lunarShown = fc?.view.type === VIEWS.month && cache.lunar.size > 0;
    element.classList.toggle("lunar-on", lunarShown);
    for (const cell of element.querySelectorAll(".fc-daygrid-day[data-date], .fc-col-header-cell[data-date]")) {
      cell.classList.toggle("holiday-day", holidays.has(cell.dataset.date));
      const top = cell.querySelector(".fc-daygrid-day-top");
      if (!top) continue;
      top.querySelector(".lunar")?.remove();
      const lunar = lunarShown && cache.lunar.get(cell.dataset.date);
      if (lunar) top.append(h("span", { class: "lunar " + lunar.kind }, lunar.label));
    }
  }

  // "All day", or the start time on the day the event starts and the end
  // time on the day it ends.
  function entryTime(record, date) {
    if (record.all_day === true) return t("all_day");
    const { first } = daysOf(record);
    const clock = first === date ? String(record.start).slice(11, 16) : "00:00";
    const [hours, minutes] = clock.split(":").map(Number);
    const chinese = currentLanguage() === "zh-Hant";
    return new Intl.DateTimeFormat(chinese ? "zh-TW" : "en", chinese ? { hour: "2-digit", minute: "2-digit", hourCycle: "h23" }
      : { hour: "numeric", minute: "2-digit" }).format(new Date(2000, 0, 1, hours || 0, minutes || 0));
  }

  // An editor opened on a record with a new ETag and old fields would send
  // the old fields back and the server would take them, undoing the change
  // just saved; it waits for the refetch and opens on what it brought.
  async function currentRecord(record) {
    if (!record.url || !written.has(record.url)) return record;
    await landing;
    const same = (other) => other.url === record.url && (other.recurrence_id || "") === (record.recurrence_id || "");
    return cache.records.find(same) || record;
  }

  function noteWrite(answer) {
    noteOwnWrite(cache.records, answer);
    if (answer && answer.ok === true && answer.url) written.add(answer.url);
  }

  function selectSlot(info) {
    fc.unselect();
    const allDay = info.allDay;
    const end = allDay ? addDays(dateOnly(info.end), -1) : null;
    openEditor({ slot: { start: info.start, end: info.end, allDay, lastDay: end } });
  }

  async function moveInView(info) {
    const record = info.event.extendedProps.record;
    if (isReadOnly(record)) { info.revert(); return; }
    const scope = isRepeating(record) ? await askSeries(record, "change") : "";
    if (scope === null) { info.revert(); return; }
    const fields = withScope(fieldsForMove(record, info.event.start, info.event.end, info.event.allDay), scope);
    const before = scope === "future" ? null : await capture(ctx.api, record);
    try {
      const answer = await ctx.api.update_event(record.account_id, record.url, record.etag || "", fields);
      if (answer && answer.ok === false) throw new Error(answer.error);
      noteWrite(answer);
      showUndo({ api: ctx.api, message: t("notice_moved", { name: record.summary || t("untitled") }), before,
                 after: before ? afterOf(record.account_id, answer) : null, onDone: refetch });
      await refetch();
    } catch (error) {
      info.revert();
      showBanner(error);
    }
  }

  function decorate(info) {
    if (info.event.id) info.el.dataset.focusKey = info.event.id;
    const record = info.event.extendedProps.record;
    if (!record) return;  // the outline drawn while selecting a slot
    info.el.style.setProperty("--event-color", info.event.borderColor);
    const parts = [info.timeText ? `${info.timeText} ${record.summary || t("untitled")}` : record.summary || t("untitled")];
    if (record.location) parts.push(record.location);
    info.el.title = parts.join("\n");
  }

  // A refetch draws every event anew, the one holding the focus included (as
  // it does when an editor closes); its new element takes the focus back so
  // that a keyboard user keeps their place.
  let focusedKey = null;
  function keepFocus(info) {
    if (!info.event.id || !info.el.contains(document.activeElement)) return;
    focusedKey = info.event.id;
    setTimeout(restoreFocus);
  }

  function restoreFocus() {
    const key = focusedKey;
    focusedKey = null;
    if (!key || (document.activeElement && document.activeElement !== document.body)) return;
    focusKeyed(element, key);
  }

  // In the week and day grids the title comes first, so that a short event
  // shows what it is; the time follows on the same line or below.
  function eventContent(arg) {
    if (!arg.view.type.startsWith("timeGrid") || arg.event.allDay) return true;
    const minutes = arg.event.end ? (arg.event.end - arg.event.start) / 60000 : 60;
    return { domNodes: [h("div", { class: "grid-event" + (minutes < 45 ? " short" : "") },
      h("span", { class: "fc-event-title" }, arg.event.title || t("untitled")),
      h("span", { class: "fc-event-time" }, arg.timeText))] };
  }

  // One scroller for the agenda's lists: a list drawn anew while on screen (a
  // refetch, a calendar shown) keeps the place it was scrolled to.
  const agendaScroller = h("div", { class: "fc-scroller fc-scroller-liquid", style: { overflow: "hidden auto" } });
  let agendaShown = [];

  // The agenda, drawn anew only when its events, dates, language or day
  // change: FullCalendar asks for it on every redraw of the view.
  let agendaProps = null;
  function agendaContent(props) {
    agendaProps = props;
    const day = (marker) => marker.toISOString().slice(0, 10);  // markers carry wall time as UTC
    const range = { start: day(props.dateProfile.activeRange.start), end: day(props.dateProfile.activeRange.end) };
    const today = dateOnly(zoneNow());
    const from = dateOnly(fc.getDate());
    const key = [props.eventStore, range.start, range.end, currentLanguage(), agendaTime, today, from];
    if (key.every((part, i) => part === agendaShown[i])) return { domNodes: [agendaScroller] };
    const defs = Object.values(props.eventStore.defs);
    const records = defs.map((def) => def.extendedProps.record).filter(Boolean);
    const days = agendaDays(records, range);
    if (defs.some((def) => def.extendedProps.placeholder)) {
      days.push({ date: today, placeholder: true, entries: [] });
      days.sort((a, b) => a.date.localeCompare(b.date));
    }
    const list = agendaList({ days, from, today, language: currentLanguage(),
                              twelveHour: twelveHourOf(store.state.reading, currentLanguage()), timeOf: agendaEntryTime, open: openRecord,
                              openDay: (date) => show(VIEWS.day, date) });
    const sameDays = [1, 2, 6].every((i) => key[i] === agendaShown[i]);
    agendaShown = key;
    const old = agendaScroller.firstElementChild;
    if (sameDays && old) {
      // The same days drawn anew stay as they were placed.
      list.style.paddingBottom = old.style.paddingBottom;
      if (!old.querySelector(".deferred")) for (const day of list.querySelectorAll(".deferred")) day.classList.remove("deferred");
    }
    const top = agendaScroller.scrollTop;
    const focused = old?.contains(document.activeElement) ? document.activeElement.dataset.focusKey : undefined;
    agendaScroller.replaceChildren(list);
    agendaScroller.scrollTop = top;
    if (focused !== undefined) focusKeyed(list, focused);  // a keyboard user keeps their place
    if (sameDays) keepAgendaPlace();
    return { domNodes: [agendaScroller] };
  }

  // An agenda entry's time: all day, its times within the day, or from or
  // to midnight for the first and last day of a timed event over several.
  function agendaEntryTime(record, part) {
    if (part === "all-day") return t("all_day");
    const wall = (text) => { const [y, mo, d, hh, mi, ss] = String(text).split(/[-T:]/).map(Number);
                             return { year: y, month: mo - 1, day: d, hour: hh || 0, minute: mi || 0, second: ss || 0 }; };
    const start = part === "end" ? `${String(record.end).slice(0, 10)}T00:00:00` : record.start;
    const end = part === "start" ? `${addDays(record.start, 1)}T00:00:00` : record.end;
    return agendaTime({ start: wall(start), end: end ? wall(end) : null });
  }

  // Weeks open on now, or on another week's first event, or on the morning;
  // the agenda on the day it was opened on.
  function scrollIntoPlace() {
    if (!scrollPending || !fc) return;
    // Drawn with the last range's events while its own are on their way:
    // the place is taken once they are in.
    const start = dateOnly(fc.view.activeStart), end = dateOnly(fc.view.activeEnd);
    if (cache.stale || start < cache.start || end > cache.end) return;
    scrollPending = false;
    const type = fc.view.type;
    if (type === VIEWS.agenda) { scrollAgenda(); return; }
    if (type !== VIEWS.week && type !== VIEWS.day) return;
    fc.scrollToTime(gridOpening(fc.view.activeStart, fc.view.activeEnd));
  }

  function gridOpening(start, end) {
    const now = zoneNow();
    const hour = (date) => `${String(Math.max(0, date.getHours() - 1)).padStart(2, "0")}:00:00`;
    if (now >= start && now < end) return hour(now);
    const first = fc.getEvents().filter((event) => !event.allDay && event.start >= start && event.start < end)
      .sort((a, b) => (a.start.getHours() * 60 + a.start.getMinutes()) - (b.start.getHours() * 60 + b.start.getMinutes()))[0];
    return first ? hour(first.start) : MORNING;
  }

  // The day it opened on goes to the top; a short list gets room below it so
  // that it can.
  function scrollAgenda() {
    const from = dateOnly(fc.getDate());
    const row = [...element.querySelectorAll(".fc-list-day[data-date]")].find((node) => node.dataset.date >= from);
    const scroller = row?.closest(".fc-scroller");
    if (!scroller) return;
    const list = scroller.firstElementChild;
    list.style.paddingBottom = "";
    const offset = row.getBoundingClientRect().top - list.getBoundingClientRect().top;
    // Days not laid out yet count with an estimate: when what follows may
    // not fill the screen, they are laid out to know.
    if (list.offsetHeight - offset < 3 * scroller.clientHeight)
      for (const day of list.querySelectorAll(".deferred")) day.classList.remove("deferred");
    const missing = scroller.clientHeight - (list.offsetHeight - offset);
    if (missing > 0) list.style.paddingBottom = missing + "px";
    scroller.scrollTop = offset;
    agendaPlace = { date: row.dataset.date, top: scroller.scrollTop };
    keepAgendaPlace();
  }

  // The days that come into view are laid out in the next frame at their own
  // height rather than the estimate, and a list drawn anew starts from the
  // estimates again: the day scrolled to the top is put back there, unless
  // the user has scrolled since.
  let agendaPlace = null;
  function keepAgendaPlace(frames = 4) {
    requestAnimationFrame(() => {
      const place = agendaPlace;
      if (!place) return;
      if (agendaScroller.scrollTop !== place.top) { agendaPlace = null; return; }
      const row = agendaScroller.querySelector(`.fc-list-day[data-date="${place.date}"]`);
      const off = row ? Math.round(row.getBoundingClientRect().top - agendaScroller.getBoundingClientRect().top) : 0;
      if (!off) return;
      agendaScroller.scrollTop += off;
      place.top = agendaScroller.scrollTop;
      if (frames > 1) keepAgendaPlace(frames - 1);
    });
  }

  // A title that does not fit beside its time keeps the width and the time
  // steps aside (it stays in the entry's tooltip).
  function fitMonthTitles() {
    if (fc?.view.type !== VIEWS.month) return;
    const crowded = [...element.querySelectorAll(".fc-daygrid-dot-event:not(.time-aside)")]
      .filter((entry) => { const title = entry.querySelector(".fc-event-title"); return title && title.scrollWidth > title.clientWidth; });
    for (const entry of crowded) entry.classList.add("time-aside");
  }

  function datesSet(info) {
    if (info.view.type !== fc?.view.type) return;  // a view not on screen
    viewDate = fc.getDate();
    announceDates(info);
  }

  function announceDates(info) {
    scrollPending = true;
    markHeader(info.view.title, VIEW_NAMES[info.view.type]);
    for (const listener of dateListeners) listener(viewDate, info);
  }

  // The header's title, and its button of the view shown pressed.
  function markHeader(title, viewName) {
    document.getElementById("title").textContent = title;
    for (const button of document.querySelectorAll("#views [data-view]"))
      button.setAttribute("aria-pressed", String(button.dataset.view === viewName));
  }

  function afterDraw() {
    decorateDays();
    fitMonthTitles();
    scrollIntoPlace();
    refillMonth();
  }

  // Shows the view of a type on a date: the one kept from before, brought up
  // to date with what changed while it was away, or a new one.
  function show(type, day = viewDate) {
    const date = asDate(day);
    closePopover();
    switching = true;
    try {
      if (fc?.view.type === type) {
        if (dateOnly(fc.getDate()) !== dateOnly(date)) fc.gotoDate(date);
        return;
      }
      if (fc) putAway(views.get(fc.view.type));
      const view = views.get(type);
      if (!view) { makeView(type, date); return; }
      fc = view.fc;
      // Out of the document, whatever the view drew anew was measured at no
      // size, and clicks would find no day under the pointer: it is drawn
      // anew on its date.
      const redrawnAway = view.redrawn || view.away.takeRecords().length > 0;
      view.away.disconnect();
      const clockMoved = minuteOf(view.stoppedAt) !== minuteOf(zoneNow());
      view.stoppedAt = null;
      // A month or week already showing the day stays as drawn; the agenda
      // starts at its day.
      const holds = type !== VIEWS.agenda && dateOnly(date) >= dateOnly(fc.view.currentStart) &&
        dateOnly(date) < dateOnly(fc.view.currentEnd);
      const moved = redrawnAway || (dateOnly(fc.getDate()) !== dateOnly(date) && !holds);
      const current = view.drawn === eventsVersion && view.options === optionsVersion;
      // The agenda's thousands of elements are drawn anew rather than put
      // back: put back, the browser lays out every day of the list again,
      // while a new list has only the days near the screen laid out.
      if (type === VIEWS.agenda) {
        agendaShown = [];
        if (current && !moved) { if (agendaProps) agendaContent(agendaProps); }
        else agendaScroller.replaceChildren();  // drawn anew just below
      }
      element.append(view.host);
      if (clockMoved) rereadNow();
      fc.batchRendering(() => {
        if (view.options !== optionsVersion) applyLocale(currentLanguage());
        if (view.size !== size) { fc.updateSize(); view.size = size; }
      });
      // Another date draws the view anew with its events fetched again.
      if (moved) { fc.gotoDate(date); return; }
      viewDate = date;
      announceDates({ view: fc.view });
      if (view.drawn !== eventsVersion) fc.refetchEvents();
      else afterDraw();
    } finally { switching = false; }
  }

  function makeView(type, date) {
    const host = h("div", { class: "calendar-view" });
    element.append(host);
    // Known before the calendar is made: events already in hand are handed to
    // it while it is being made.
    const view = { host, size, options: optionsVersion, redrawn: false, stoppedAt: null };
    view.away = new MutationObserver(() => { view.redrawn = true; });
    views.set(type, view);
    fc = view.fc = new window.FullCalendar.Calendar(host, { ...viewOptions(type), initialView: type, initialDate: date });
    fc.render();
  }

  // A view out of the document sees the time stand still, so that its clock
  // (the now-line, today) draws nothing there; shown again, it reads now.
  const minuteOf = (date) => Math.floor(date / 60000);
  function putAway(view) {
    view.host.remove();
    view.stoppedAt = zoneNow();
    view.redrawn = false;
    view.away.observe(view.host, { subtree: true, childList: true, attributes: true, characterData: true });
  }

  function viewOptions(type) {
    return {
      headerToolbar: false,
      // Sizes follow the calendar's element (followSize); a view out of the
      // document would otherwise be laid out at no size on a window resize.
      handleWindowResize: false,
      height: "100%",
      nowIndicator: true,
      editable: true,
      selectable: true,
      selectMirror: true,
      fixedWeekCount: false,
      navLinks: true,
      navLinkDayClick: (date) => show(VIEWS.day, date),
      navLinkWeekClick: (date) => show(VIEWS.week, date),
      scrollTime: MORNING,
      scrollTimeReset: false,
      slotEventOverlap: false,
      eventDisplay: "auto",
      eventContent,
      eventsSet: () => setTimeout(afterDraw),
      // Today and the now-line are those of the calendar's zone, like the events.
      now: () => views.get(type)?.stoppedAt || zoneNow(),
      progressiveEventRendering: false,
      events: (info, success, failure) => fetchRange(type, info, success, failure),
      select: selectSlot,
      eventClick: clickEvent,
      eventOrder: "listedLast,start,-duration,allDay,title",
      lazyFetching: false,
      eventDrop: moveInView,
      eventResize: moveInView,
      eventDidMount: decorate,
      eventWillUnmount: keepFocus,
      // A day cell named by its number alone would hide the events inside it
      // from screen readers; named by its content it reads the date and events.
      dayCellDidMount: (info) => info.el.removeAttribute("aria-labelledby"),
      datesSet,
      ...optionsFor(currentLanguage()),
    };
  }

  // Draws the view the page opens on, with the month's events asked for at
  // the page's start when they are about to be in. Until it is drawn the
  // calendar's actions wait.
  let drawnFirst;
  const firstDrawn = new Promise((resolve) => { drawnFirst = resolve; });
  const afterFirstDraw = (action) => (...args) => (fc ? action(...args) : firstDrawn.then(() => action(...args)));

  function start(view) {
    followSize();
    setTheme(store.state.reading.theme);
    const draw = () => {
      show(VIEWS[view] || VIEWS.month, zoneNow());
      followChanges();
      drawnFirst();
    };
    const early = firstMonthSettled();
    if (!early) { draw(); return firstDrawn; }
    const after = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
    let sketch = null;
    Promise.race([early, after(FIRST_DRAW_GRACE)])
      .then(() => firstMonthBegun() && Promise.race([early, after(FIRST_DRAW_WAIT)]))
      .then(() => {
        // A picture that cannot be made leaves the month to the library.
        try { sketch = sketchFirstMonth(view); } catch (error) { console.error(error); }
        return sketch && afterPaint();
      })
      .then(() => {
        draw();
        if (sketch) whenMonthPainted(sketch);
      });
    return firstDrawn;
  }

  const firstDay = () => firstDayOf(store.state.reading, currentLanguage(), navigator.language);
  // The dates of the month the calendar opens on, today's.
  const openingMonth = () => monthRange(zoneNow(), firstDay());

  // The month the page opens on, pictured from its answers in hand before the
  // library's first layout of it (see month-sketch.js); the answers are taken
  // into the cache, where the library's month finds them. Answers
  // { takeAway, entries }, or null when there is no picture.
  function sketchFirstMonth(view) {
    if ((VIEWS[view] || VIEWS.month) !== VIEWS.month) return null;
    const range = openingMonth();
    const inHand = answersInHand(range);
    if (!inHand) return null;
    takeAnswer(range, ...inHand);
    const language = currentLanguage();
    const locale = language === "zh-Hant" ? "zh-TW" : "en";
    const entries = viewEvents(range, VIEWS.month);
    const takeAway = drawMonthSketch(element, {
      range, today: dateOnly(zoneNow()), firstDay: firstDay(), locale, hour12: twelveHourOf(store.state.reading, language),
      entries, lunar: cache.lunar, dayHead: dayHeadHeight(),
    });
    // The header as the month's own will write it.
    markHeader(new Intl.DateTimeFormat(locale, { year: "numeric", month: "long" }).format(localDate(addDays(range.start, 7))),
               "month");
    return { takeAway, entries: entries.length };
  }

  // The picture goes in the frame that paints the library's month with its
  // entries (before each frame is painted, the month's entries are looked
  // for), or once another view is asked for, or after a few seconds whatever
  // happens (frames are not drawn in a hidden window).
  function whenMonthPainted({ takeAway, entries }) {
    let gone = false;
    const remove = () => {
      if (!gone) takeAway();
      gone = true;
    };
    const painted = () => fc.view.type !== VIEWS.month || (element.querySelector(".fc-daygrid-body") &&
      (entries === 0 || element.querySelector(".fc-daygrid-event")));
    const check = () => {
      if (gone) return;
      if (painted()) remove();
      else requestAnimationFrame(check);
    };
    requestAnimationFrame(check);
    setTimeout(remove, 3000);
  }

  function followChanges() {
    // Showing or hiding calendars or holidays filters the cached events again.
    let shownSignature = visibilitySignature();
    let readingSignature = JSON.stringify([store.state.reading, calendarZone()]);
    store.subscribe(() => {
      const reading = JSON.stringify([store.state.reading, calendarZone()]);
      if (reading !== readingSignature) {
        readingSignature = reading;
        setTheme(store.state.reading.theme);
        optionsVersion++;
        applyLocale(currentLanguage());
        rereadNow();
        refetch();  // lunar dates on or off, or another zone's times
        return;
      }
      const signature = visibilitySignature();
      if (signature === shownSignature) return;
      shownSignature = signature;
      eventsVersion++;
      fc.getEventSources().forEach((source) => source.refetch());
    });
    onLanguageChange((language) => {
      optionsVersion++;
      applyLocale(language);
      refetch();  // the "+n more" texts, the holidays' names, the lunar dates
    });
  }

  function writeTime(start, end, format) {
    return end ? fc.formatRange(start, end, format) : fc.formatDate(start, format);
  }

  function visibilitySignature() {
    const hidden = store.state.accounts.flatMap((account) => (account.calendars || []).filter((c) => c.visible === false).map((c) => c.url));
    return JSON.stringify([store.state.showHolidays, hidden]);
  }

  // The calendar's clocks (today, the now-line) re-read now only at their
  // next tick or when the window becomes visible again; another zone moves
  // now by hours, so they are told to re-read it at once.
  function rereadNow() {
    document.dispatchEvent(new Event("visibilitychange"));
  }

  // The options of a language; the agenda writes its times as the other views do.
  function optionsFor(language) {
    const options = localeOptions(language, store.state.reading, writeTime, agendaContent);
    agendaTime = options.eventTimeFormat;
    return options;
  }

  function applyLocale(language) {
    for (const [key, value] of Object.entries(optionsFor(language))) fc.setOption(key, value);
    views.get(fc.view.type).options = optionsVersion;
  }

  // Asks the program again for the range on screen; view, scroll position and
  // open dialogs stay as they are.
  function refetch() {
    cache.stale = true;
    eventsVersion++;
    landing = new Promise((resolve) => {
      if (!fc) { resolve(); return; }
      const done = () => { fc.off("eventsSet", done); resolve(); };
      fc.on("eventsSet", done);
      fc.refetchEvents();
      setTimeout(done, 10000);
    });
    return landing;
  }

  return {
    start,
    refetch,
    noteOwnWrite: noteWrite,
    today: afterFirstDraw(() => fc.today()),
    prev: afterFirstDraw(() => fc.prev()),
    next: afterFirstDraw(() => fc.next()),
    gotoDate: afterFirstDraw((date) => fc.gotoDate(date)),
    getDate: () => viewDate,
    // Until it is drawn, the calendar is waiting to show the month it opens on.
    shownRange: () => (fc ? { start: dateOnly(fc.view.activeStart), end: dateOnly(fc.view.activeEnd) } : openingMonth()),
    viewName: () => (fc ? VIEW_NAMES[fc.view.type] : store.state.view),
    changeView: afterFirstDraw(async (name) => {
      if (!VIEWS[name]) return;
      show(VIEWS[name]);
      try { await store.setView(name); } catch (error) { showBanner(error); }
    }),
    newEvent: afterFirstDraw(() => {
      const now = zoneNow();
      const day = viewDate;
      const start = new Date(day.getFullYear(), day.getMonth(), day.getDate(), now.getHours() + 1, 0);
      openEditor({ slot: { start, end: new Date(start.getTime() + 3600 * 1000), allDay: false } });
    }),
    onDatesSet(listener) { dateListeners.add(listener); },
    records: () => cache.records,
    refreshToken: () => answeredToken,
  };
}
