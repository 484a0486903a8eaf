// The settings dialog's reminders: on or off, their sound, and the alert new
// events start with. Each choice is applied as soon as it is made.
import { h } from "./dom.js";
import { t } from "./i18n.js";
import { alertChoices, alertLabel, NO_ALERT } from "./alerts.js";

function alertSelect(allDay, current) {
  const select = h("select", {}, h("option", { value: NO_ALERT }, t("alert_none")),
    ...alertChoices(allDay).map((minutes) => {
      const label = alertLabel(minutes, allDay);
      return h("option", { value: String(minutes) }, t(label.key, label.values));
    }));
  select.value = current === null || current === undefined ? NO_ALERT : String(current);
  return select;
}

function labelled(id, label, control) {
  control.id = id;
  return h("div", { class: "field" }, h("label", { for: id }, label), control);
}

function switchRow(id, label, checked) {
  const input = h("input", { type: "checkbox", role: "switch", checked });
  input.id = id;
  return { input, row: h("div", { class: "field checkbox" }, input, h("label", { for: id }, label)) };
}

// `report(promise)` shows the outcome in the dialog.
export function reminderSettingsSection(store, report) {
  const current = store.state.reminders;
  const enabled = switchRow("settings-reminders", t("reminders"), current.enabled !== false);
  const sound = switchRow("settings-reminder-sound", t("reminder_sound"), current.sound !== false);
  const timed = alertSelect(false, current.default_alert);
  const allDay = alertSelect(true, current.default_all_day_alert);
  const minutes = (select) => (select.value === NO_ALERT ? null : Number(select.value));
  enabled.input.addEventListener("change", () => report(store.setReminders({ enabled: enabled.input.checked })));
  sound.input.addEventListener("change", () => report(store.setReminders({ sound: sound.input.checked })));
  timed.addEventListener("change", () => report(store.setReminders({ default_alert: minutes(timed) })));
  allDay.addEventListener("change", () => report(store.setReminders({ default_all_day_alert: minutes(allDay) })));
  return h("section", { "aria-labelledby": "settings-reminders-heading" },
    h("h3", { id: "settings-reminders-heading" }, t("reminders")),
    h("div", { class: "form" }, enabled.row, sound.row,
      labelled("settings-default-alert", t("default_alert"), timed),
      labelled("settings-default-all-day-alert", t("default_all_day_alert"), allDay)));
}
