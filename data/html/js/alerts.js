// The editor's two alerts: which of an event's alarms they show, and what to
// send when the user changes them. No DOM here, so the rules can be tested
// alone. Minutes count before the start; an all-day event starts at midnight
// of its day, so "on the day at 09:00" is -540.
export const TIMED_ALERTS = [0, 5, 10, 15, 30, 60, 120, 1440, 2880, 10080];
export const ALL_DAY_ALERTS = [-540, 900, 2340, 9540];
export const NO_ALERT = "none";

export const alertChoices = (allDay) => (allDay ? ALL_DAY_ALERTS : TIMED_ALERTS);

const delivered = (alarm) => alarm.action === "DISPLAY" || alarm.action === "AUDIO";

// An alarm that one of the choices shows (the program's rule is the same,
// so an alarm shown here is the one a change replaces).
export function isChoiceAlarm(alarm, allDay) {
  return delivered(alarm) && !alarm.related && alarm.at === undefined && !alarm.repeat &&
    alertChoices(allDay).includes(alarm.minutes);
}

// { first, second }: the values of the two choices ("none" or minutes as
// text), and `custom`: the delivered alarms no choice can show, which are
// kept as they are.
export function alertsFromRecord(record) {
  const allDay = record.all_day === true;
  const alarms = Array.isArray(record.alarms) ? record.alarms : [];
  const shown = alarms.filter((alarm) => isChoiceAlarm(alarm, allDay)).map((alarm) => String(alarm.minutes));
  return {
    first: shown[0] ?? NO_ALERT,
    second: shown[1] ?? NO_ALERT,
    custom: alarms.filter((alarm) => delivered(alarm) && !isChoiceAlarm(alarm, allDay)),
  };
}

// The starting alerts of a new event: the user's default alert, if any.
export function defaultAlerts(defaults, allDay) {
  const minutes = defaults?.[allDay ? "all_day" : "timed"];
  const valid = Number.isInteger(minutes) && alertChoices(allDay).includes(minutes);
  return { first: valid ? String(minutes) : NO_ALERT, second: NO_ALERT, custom: [] };
}

// The "alerts" field for the editor's values, or undefined when the
// choices stay as `record` (absent for a new event) had them.
export function alertsField(form, record) {
  const chosen = [form.alertFirst, form.alertSecond].filter((value) => value && value !== NO_ALERT);
  const alerts = [...new Set(chosen.map(Number))];
  if (!record) return alerts.length ? alerts : undefined;
  const before = alertsFromRecord(record);
  const earlier = [before.first, before.second].filter((value) => value !== NO_ALERT);
  const same = form.allDay === (record.all_day === true) && chosen.length === earlier.length &&
    chosen.every((value, i) => value === earlier[i]);
  return same ? undefined : alerts;
}

// The key and values of the text naming one choice.
export function alertLabel(minutes, allDay) {
  if (allDay) return { key: "alert_all_day_" + String(minutes).replace("-", "m") };
  if (minutes === 0) return { key: "alert_at_start" };
  for (const [unit, size] of [["week", 10080], ["day", 1440], ["hour", 60]])
    if (minutes % size === 0) return counted(unit, minutes / size);
  return counted("minute", minutes);
}

const counted = (unit, n) => ({ key: n === 1 ? `alert_one_${unit}` : `alert_${unit}s`, values: { n } });

// The key and values of the words for an alarm no choice shows.
export function customAlertWords(alarm) {
  if (alarm.at !== undefined) return { key: "alert_custom_at", values: { time: alarm.at.replace("T", " ").slice(0, 16) } };
  const minutes = Number(alarm.minutes) || 0;
  const end = alarm.related === "end";
  const key = minutes >= 0 ? (end ? "alert_custom_before_end" : "alert_custom_before")
                           : (end ? "alert_custom_after_end" : "alert_custom_after");
  return { key, values: { n: Math.abs(Math.round(minutes)) } };
}
