// What the page knows of the program's state: accounts and their calendars,
// the default calendar, the view and the holiday switch. Views subscribe to
// changes instead of asking the program themselves.
import { DEFAULT_READING } from "./reading-rules.js";
import { DEFAULT_ZONE, setCalendarZone } from "./zone.js";
import { ask } from "./boot.js";

export function createStore(api) {
  const listeners = new Set();
  const state = {
    accounts: [],
    defaultCalendar: "",
    view: "month",
    showHolidays: true,
    language: "en",
    reminders: { enabled: true, sound: true, default_alert: null, default_all_day_alert: null },
    defaultAlerts: { timed: null, all_day: null },  // the alert new events start with
    errors: new Map(),  // calendar URL → error text of its last fetch
    timeZone: DEFAULT_ZONE,
    reading: { ...DEFAULT_READING },
  };
  const changed = () => { for (const listener of listeners) listener(state); };

  function setAccounts(accounts, defaultCalendar) {
    state.accounts = accounts || [];
    if (defaultCalendar !== undefined) state.defaultCalendar = defaultCalendar || "";
    changed();
  }

  function setReminders(reminders) {
    state.reminders = reminders;
    state.defaultAlerts = { timed: reminders.default_alert, all_day: reminders.default_all_day_alert };
  }

  return {
    state,
    subscribe(listener) { listeners.add(listener); return () => listeners.delete(listener); },
    changed,
    async loadInitial() {
      const initial = await ask("get_initial_state");
      state.view = initial.view;
      state.showHolidays = initial.show_tw_holidays !== false;
      state.language = initial.language;
      state.timeZone = initial.time_zone || DEFAULT_ZONE;
      setCalendarZone(state.timeZone);
      state.reading = { ...DEFAULT_READING, ...(initial.reading || {}) };
      if (initial.reminders) setReminders(initial.reminders);
      setAccounts(initial.accounts, initial.default_calendar);
      return initial;
    },
    async reloadAccounts() {
      const listed = await api.list_accounts();
      setAccounts(listed.accounts, listed.default_calendar);
    },
    setAccounts,
    calendarByUrl(url) {
      for (const account of state.accounts)
        for (const calendar of account.calendars || [])
          if (calendar.url === url) return { account, calendar };
      return null;
    },
    isVisible(url) {
      const found = this.calendarByUrl(url);
      return !found || found.calendar.visible !== false;
    },
    async setVisible(accountId, url, visible) {
      const found = this.calendarByUrl(url);
      if (found) found.calendar.visible = visible;
      changed();
      await api.set_calendar_visible(accountId, url, visible);
    },
    async setDefault(url) {
      state.defaultCalendar = url;
      changed();
      await api.set_default_calendar(url);
    },
    async setHolidays(visible) {
      state.showHolidays = visible;
      changed();
      await api.set_tw_holidays(visible);
    },
    async setView(view) {
      const answer = await api.set_view(view);
      state.view = answer.view;
    },
    async setReading(changes) {
      state.reading = { ...state.reading, ...changes };
      changed();
      const answer = await api.set_reading_settings(changes);
      if (answer?.reading) state.reading = { ...DEFAULT_READING, ...answer.reading };
    },
    async setTimeZone(zone) {
      const answer = await api.set_time_zone(zone);
      if (!answer || answer.ok !== true) throw new Error(answer?.error || zone);
      state.timeZone = answer.time_zone;
      setCalendarZone(state.timeZone);
      changed();
    },
    async setReminders(changes) {
      setReminders(await api.set_reminder_settings(changes));
      changed();
    },
    setErrors(errorsByUrl) {
      state.errors = errorsByUrl;
      changed();
    },
  };
}
