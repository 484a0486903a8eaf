// The calendar itself: FullCalendar's month, week, day and agenda views over
// the events of the visible range, fetched once with the hidden calendars
// included so that showing or hiding a calendar needs no request.
import { focusKeyed } from "./dom.js";
import { t, currentLanguage, onLanguageChange } from "./i18n.js";
import { toViewEvent, visibleRecords, dateOnly, fieldsForMove, isReadOnly, isRepeating, addDays, withScope, noteOwnWrite } from "./events.js";
import { answerOrder } from "./answer-order.js";
import { showBanner } from "./banner.js";
import { capture, afterOf, showUndo } from "./undo.js";
import { askSeries } from "./series.js";
import { sliceMonth } from "./month-slice.js";

export const VIEWS = { month: "dayGridMonth", week: "timeGridWeek", day: "timeGridDay", agenda: "listMonth" };
// Entries a month day cell holds, its "+n more" entry included.
const MONTH_ROWS = 4;
const VIEW_NAMES = Object.fromEntries(Object.entries(VIEWS).map(([name, type]) => [type, name]));

function localeOptions(language) {
  const chinese = language === "zh-Hant";
  const time = chinese ? { hour: "2-digit", minute: "2-digit", hour12: false }
                       : { hour: "numeric", minute: "2-digit", meridiem: "short" };
  return {
    locale: chinese ? "zh-tw" : "en",
    firstDay: chinese ? 1 : 0,
    eventTimeFormat: time,
    slotLabelFormat: time,
    buttonText: {},
    moreLinkText: (n) => t("more", { n }),
    noEventsText: "",
    // The agenda's column names, read out by screen readers.
    timeHint: t("list_time"),
    eventHint: t("list_event"),
  };
}

export function createCalendar({ element, store, ctx, openEditor }) {
  let fc = null;
  const cache = { start: "", end: "", records: [], stale: true };
  const dateListeners = new Set();

  let fetches = 0;
  const order = answerOrder();
  // Events this page wrote: their records carry the server's new ETag (so a
  // next edit is not refused) but still their old fields until the refetch
  // lands; `landing` is that refetch.
  const written = new Set();
  let landing = Promise.resolve();

  // The view asks for its range on every change of dates; a range inside the
  // one already fetched (a week of the month on screen) needs no request.
  async function fetchRange(info, success, failure) {
    const start = dateOnly(info.start);
    const end = dateOnly(info.end);
    try {
      await null;  // the view asks while it is being switched; its type is settled after that
      if (cache.stale || start < cache.start || end > cache.end) {
        const ticket = order.issue();
        const answer = await ctx.api.get_events(start, end, true);
        if (order.accept(ticket)) {
          const fetched = ++fetches;
          performance.mark("wrenfold-answer", { detail: fetched });  // the render benchmark starts here
          Object.assign(cache, { start, end, records: answer.events || [], stale: false });
          written.clear();
          store.setErrors(new Map((answer.errors || []).map((entry) => [entry.calendar, entry.error])));
        }
      }
      success(viewEvents({ start, end }));
    } catch (error) {
      showBanner(error);
      failure(error);
    }
  }

  function viewEvents(range) {
    const records = visibleRecords(cache.records, { isVisible: (url) => store.isVisible(url), showHolidays: store.state.showHolidays });
    if (fc?.view.type !== VIEWS.month) return records.map(toViewEvent);
    const { shown, more } = sliceMonth(records, range, MONTH_ROWS);
    const listedFirst = (event) => ({ ...event, extendedProps: { ...event.extendedProps, listedLast: 0 } });
    return [...shown.map((record) => listedFirst(toViewEvent(record))), ...more.map(moreEntry)];
  }

  // The "+n more" of a crowded day: an entry listed after the day's events
  // that opens the day.
  function moreEntry({ date, count }) {
    return { id: "more:" + date, title: t("more", { n: count }), start: date, allDay: true, editable: false,
             classNames: ["more-events"], extendedProps: { moreDate: date, listedLast: 1 } };
  }

  async function clickEvent(info) {
    info.jsEvent.preventDefault();
    const { record, moreDate } = info.event.extendedProps;
    if (moreDate) fc.changeView(VIEWS.day, moreDate);
    else openEditor({ record: await currentRecord(record) });
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
    const parts = [record.summary || t("untitled")];
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

  function datesSet(info) {
    document.getElementById("title").textContent = info.view.title;
    const name = VIEW_NAMES[info.view.type];
    for (const button of document.querySelectorAll("#views [data-view]"))
      button.setAttribute("aria-pressed", String(button.dataset.view === name));
    for (const listener of dateListeners) listener(fc.getDate(), info);
  }

  function start(view) {
    fc = new window.FullCalendar.Calendar(element, {
      initialView: VIEWS[view] || VIEWS.month,
      headerToolbar: false,
      height: "100%",
      nowIndicator: true,
      editable: true,
      selectable: true,
      selectMirror: true,
      dayMaxEvents: 4,
      navLinks: true,
      scrollTime: "08:00:00",
      eventDisplay: "block",
      views: { dayGridMonth: { displayEventEnd: false }, timeGrid: { displayEventEnd: true } },
      progressiveEventRendering: false,
      events: fetchRange,
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
      ...localeOptions(currentLanguage()),
    });
    fc.render();
    // Showing or hiding calendars or holidays filters the cached events again.
    let shownSignature = visibilitySignature();
    store.subscribe(() => {
      const signature = visibilitySignature();
      if (signature === shownSignature) return;
      shownSignature = signature;
      fc.getEventSources().forEach((source) => source.refetch());
    });
    onLanguageChange((language) => {
      applyLocale(language);
      fc.getEventSources().forEach((source) => source.refetch());  // the "+n more" texts
    });
  }

  function visibilitySignature() {
    const hidden = store.state.accounts.flatMap((account) => (account.calendars || []).filter((c) => c.visible === false).map((c) => c.url));
    return JSON.stringify([store.state.showHolidays, hidden]);
  }

  function applyLocale(language) {
    for (const [key, value] of Object.entries(localeOptions(language))) fc.setOption(key, value);
  }

  // Asks the program again for the range on screen; view, scroll position and
  // open dialogs stay as they are.
  function refetch() {
    cache.stale = true;
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
    today: () => fc.today(),
    prev: () => fc.prev(),
    next: () => fc.next(),
    gotoDate: (date) => fc.gotoDate(date),
    getDate: () => fc.getDate(),
    viewName: () => VIEW_NAMES[fc.view.type],
    async changeView(name) {
      if (!VIEWS[name]) return;
      fc.changeView(VIEWS[name]);
      try { await store.setView(name); } catch (error) { showBanner(error); }
    },
    newEvent() {
      const now = new Date();
      const day = fc.getDate();
      const start = new Date(day.getFullYear(), day.getMonth(), day.getDate(), now.getHours() + 1, 0);
      openEditor({ slot: { start, end: new Date(start.getTime() + 3600 * 1000), allDay: false } });
    },
    onDatesSet(listener) { dateListeners.add(listener); },
    records: () => cache.records,
  };
}
