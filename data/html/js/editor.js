// The event editor: one dialog to create, change, move and delete an event.
// A failed save keeps the dialog open with the program's text and everything
// the user typed.
import { h } from "./dom.js";
import { t } from "./i18n.js";
import { openDialog, confirmDialog } from "./dialog.js";
import {
  fieldsFromForm, formFromRecord, endBeforeStart, writableCalendars, preferredCalendar,
  isReadOnly, isHoliday, isRepeating, dateOnly, wallTime, cssColor, withScope, splitSeriesMove,
} from "./events.js";
import { zoneNow } from "./zone.js";
import { askSeries } from "./series.js";
import { createRepeatEditor } from "./repeat-editor.js";
import { createDateField, createTimeField } from "./date-time-field.js";
import { createTimeZoneField } from "./timezone-field.js";
import { createZoneHint } from "./zone-hint.js";
import { showFailure } from "./failure-view.js";
import { failureKind } from "./plain-errors.js";
import { resolveConflict } from "./conflict.js";
import { capture, afterOf, showUndo } from "./undo.js";
import { exportEvent } from "./ics-files.js";
import { alertChoices, alertsFromRecord, alertsField, defaultAlerts, alertLabel, customAlertWords, NO_ALERT } from "./alerts.js";

let fieldCounter = 0;

function field(label, control, extraClass = "") {
  control.id = control.id || "field-" + ++fieldCounter;
  return h("div", { class: "field " + extraClass }, h("label", { for: control.id }, label), control);
}

function formFromSlot(slot) {
  const allDay = slot.allDay;
  if (allDay) {
    const start = dateOnly(slot.start);
    return { title: "", allDay, startDate: start, startTime: "09:00", endDate: slot.lastDay || start, endTime: "10:00",
             location: "", notes: "", repeat: "" };
  }
  const start = wallTime(slot.start), end = wallTime(slot.end);
  return { title: "", allDay, startDate: start.slice(0, 10), startTime: start.slice(11, 16),
           endDate: end.slice(0, 10), endTime: end.slice(11, 16), location: "", notes: "", repeat: "" };
}

// The writable calendars grouped by account, `chosen` selected.
export function calendarSelect(accounts, chosen) {
  const select = h("select", { name: "calendar" });
  const choices = [];
  for (const group of writableCalendars(accounts)) {
    const options = group.calendars.map((cal) => {
      choices.push({ account: group.account, calendar: cal });
      return h("option", { value: String(choices.length - 1), selected: chosen && cal.url === chosen.calendar.url },
        cal.name || cal.url);
    });
    select.append(h("optgroup", { label: group.account.apple_id }, ...options));
  }
  return { select, chosen: () => choices[Number(select.value)] || null };
}

// options: { record } to open an event, { slot } for a new one.
export function openEventEditor(ctx, { record = null, slot = null } = {}) {
  const { store } = ctx;
  const readOnly = record ? isReadOnly(record) : false;
  const initial = record ? formFromRecord(record) : formFromSlot(slot || { start: zoneNow(), end: new Date(zoneNow().getTime() + 3600e3), allDay: false });
  const title = record ? (readOnly ? t("show_event_title") : t("edit_event_title")) : t("new_event_title");

  let busyNow = false;
  let requestClose = () => true;
  return openDialog({
    title,
    className: "editor",
    // Closing while the program saves would hide a failure, as if it had
    // saved; closing over unsaved changes asks first.
    onCancel: () => !busyNow && requestClose(),
    build: (close) => buildForm(close),
  });

  function buildForm(close) {
    const inputs = {
      title: h("input", { type: "text", name: "title", value: initial.title, autofocus: !readOnly, autocomplete: "off" }),
      allDay: h("input", { type: "checkbox", name: "all_day", checked: initial.allDay }),
      location: h("input", { type: "text", name: "location", value: initial.location, autocomplete: "off" }),
      notes: h("textarea", { name: "notes", rows: 3, value: initial.notes }),
      alertFirst: h("select", { name: "alert" }),
      alertSecond: h("select", { name: "second_alert" }),
    };
    const reading = () => store.state.reading;
    const when = {
      startDate: createDateField({ label: t("start"), value: initial.startDate, reading }),
      startTime: createTimeField({ label: t("start_time"), value: initial.startTime, reading }),
      endDate: createDateField({ label: t("end"), value: initial.endDate, reading }),
      endTime: createTimeField({ label: t("end_time"), value: initial.endTime, reading }),
    };
    const showTimes = () => { for (const time of [when.startTime, when.endTime]) time.field.hidden = inputs.allDay.checked; };
    showTimes();
    inputs.allDay.addEventListener("change", showTimes);
    const alerts = record ? alertsFromRecord(record) : defaultAlerts(store.state.defaultAlerts, initial.allDay);
    setAlertChoices(inputs, initial.allDay, alerts);
    inputs.allDay.addEventListener("change", () => {
      setAlertChoices(inputs, inputs.allDay.checked,
                      record ? { first: NO_ALERT, second: NO_ALERT } : defaultAlerts(store.state.defaultAlerts, inputs.allDay.checked));
    });
    const customAlerts = alerts.custom.length
      ? h("p", { class: "note custom-alerts" }, alerts.custom.map((alarm) => {
          const words = customAlertWords(alarm);
          return t("alert_custom", { text: t(words.key, words.values) });
        }).join(" · "))
      : null;

    const repeat = createRepeatEditor({ original: initial.repeat, start: () => when.startDate.value() || initial.startDate,
                                        allDay: () => inputs.allDay.checked });
    when.startDate.input.addEventListener("change", () => repeat.startChanged());

    const original = record ? store.calendarByUrl(record.calendar_url) : null;
    const preselected = record ? original : preferredCalendar(store.state.accounts, store.state.defaultCalendar);
    const calendarPicker = readOnly ? null : calendarSelect(store.state.accounts, preselected);
    const calendarField = readOnly
      ? h("div", { class: "field" }, h("span", { class: "field-label" }, t("calendar")),
          h("span", { class: "calendar-readonly" },
            h("span", { class: "swatch", style: { background: cssColor(record.color) }, "aria-hidden": "true" }),
            record.calendar_name || ""))
      : field(t("calendar"), calendarPicker.select);

    const error = h("p", { class: "form-error", role: "alert" });
    const status = h("p", { class: "form-status", "aria-live": "polite" });
    const note = readOnly ? h("p", { class: "note" }, isHoliday(record) ? t("holiday_note") : t("read_only_note"))
                          : (!calendarPicker.chosen() ? h("p", { class: "note" }, t("no_writable")) : null);

    const save = h("button", { type: "submit", class: "primary" }, t("save"));
    const remove = record && !readOnly ? h("button", { type: "button", class: "danger", onclick: () => deleteEvent() }, t("delete")) : null;
    const exportButton = record && !isHoliday(record)
      ? h("button", { type: "button", onclick: () => exportEvent(ctx, record).catch((failure) => showFailure(error, failure)) },
          t("export_event"))
      : null;
    const cancel = h("button", { type: "button", onclick: () => { if (requestClose()) close(null); } },
      readOnly ? t("close") : t("cancel"));
    if (!calendarPicker?.chosen()) save.disabled = true;
    // A new event may be made in another zone; an existing one keeps its own
    // unless the user picks another (a series keeps its zone).
    const zone = readOnly || (record && (isRepeating(record) || record.all_day)) ? null
      : createTimeZoneField({ home: () => calendarPicker.chosen()?.account.home_tzid || "Asia/Taipei", initial: record?.tzid });
    calendarPicker?.select.addEventListener("change", () => zone?.homeChanged());
    const zoneHint = createZoneHint({ tzid: record?.tzid, clock: store.state.reading?.clock,
                                      times: () => readTimes(inputs.allDay, when) });

    const form = h("form", { class: "form", novalidate: true },
      field(t("title"), inputs.title, "wide"),
      h("div", { class: "field checkbox" }, inputs.allDay, h("label", { for: inputs.allDay.id = "field-" + ++fieldCounter }, t("all_day"))),
      h("div", { class: "row when" }, when.startDate.field, when.startTime.field, when.endDate.field, when.endTime.field),
      zone?.element,
      zoneHint.element,
      field(t("location"), inputs.location, "wide"),
      field(t("notes"), inputs.notes, "wide"),
      calendarField,
      repeat.element,
      h("div", { class: "row" }, field(t("alert"), inputs.alertFirst), field(t("second_alert"), inputs.alertSecond)),
      customAlerts, note, error, status,
      h("div", { class: "actions" }, remove, exportButton, h("span", { class: "spacer" }), cancel, readOnly ? null : save));
    if (readOnly) {
      for (const input of [...Object.values(inputs), ...Object.values(when).map((part) => part.input)]) input.disabled = true;
      repeat.setDisabled(true);
    }
    form.addEventListener("submit", (event) => { event.preventDefault(); saveEvent(); });
    form.addEventListener("change", zoneHint.update);

    // True when the dialog may close now; otherwise asks, and closes itself
    // once the user chose to discard.
    const opened = JSON.stringify(readForm());
    requestClose = () => {
      if (readOnly || JSON.stringify(readForm()) === opened) return true;
      confirmDialog({ title: t("discard_title"), message: t("discard_question"), confirm: t("discard"), danger: true,
                      cancelLabel: t("keep_editing") })
        .then((discard) => { if (discard) close(null); });
      return false;
    };

    function busy(on, text = "") {
      busyNow = on;
      for (const button of [save, remove, cancel]) if (button) button.disabled = on;
      status.textContent = text;
    }

    function readForm() {
      return { ...readTimes(inputs.allDay, when), title: inputs.title.value.trim(), location: inputs.location.value,
               notes: inputs.notes.value, repeat: repeat.rule(),
               alertFirst: inputs.alertFirst.value, alertSecond: inputs.alertSecond.value };
    }

    async function saveEvent() {
      const form = readForm();
      error.textContent = "";
      if (!form.title) { error.textContent = t("title_needed"); inputs.title.focus(); return; }
      const unreadable = Object.values(when).find((part) => !part.field.hidden && part.value() === null);
      if (unreadable) { error.textContent = t("unreadable_time"); unreadable.input.focus(); return; }
      if (endBeforeStart(form)) { error.textContent = t("end_before_start"); when.endDate.input.focus(); return; }
      const target = calendarPicker.chosen();
      if (!target) { error.textContent = t("no_writable"); return; }
      const scope = await askScope(form, target);
      if (scope === null) return;
      busy(true, t("saving"));
      const before = record ? await capture(ctx.api, record) : null;
      try {
        const answer = await send(form, target, scope);
        if (answer && answer.ok === false) throw new Error(answer.error);
        // A series cut in two is two objects: writing one back cannot undo it.
        finishSave(answer, scope === "future" ? null : before, target);
      } catch (failure) {
        busy(false);
        if (record && target.calendar.url === record.calendar_url && failureKind(failure.message) === "conflict") {
          await settleConflict(form, scope, failure, target);
          return;
        }
        showFailure(error, failure);
      }
    }

    function finishSave(answer, before, target) {
      ctx.calendar.noteOwnWrite(answer);
      close({ saved: true });
      const name = readForm().title;
      const moved = record && target.calendar.url !== record.calendar_url;
      const notice = !record ? "notice_created" : moved ? "notice_moved" : "notice_saved";
      if (record && !before) showUndo({ api: ctx.api, message: t(notice, { name }), before: null, after: null });
      else showUndo({ api: ctx.api, message: t(notice, { name }), before, after: afterOf(target.account.id, answer),
                      onDone: ctx.refetch });
      ctx.refetch();
    }

    // The version on the server changed since the editor opened.
    async function settleConflict(form, scope, failure, target) {
      let outcome;
      try {
        outcome = await resolveConflict(ctx, record, withScope(fieldsFromForm(form, record), scope));
      } catch (reading) {
        showFailure(error, failure);
        return;
      }
      if (outcome === "theirs") { close(null); await ctx.refetch(); return; }
      // The version before this save is theirs, which was never read whole: no undo.
      if (outcome && outcome.answer) { finishSave(outcome.answer, null, target); return; }
      showFailure(error, failure);
    }

    // "this", "all", "" for an event that does not repeat, or null when the
    // user cancelled the question.
    async function askScope(form, target) {
      if (!record || !isRepeating(record)) return "";
      if (target.calendar.url !== record.calendar_url) return askSeries(record, "move");
      return askSeries(record, "change", { onlyAll: "rrule" in fieldsFromForm(form, record) });
    }

    async function send(form, target, scope) {
      const fields = withScope(fieldsFromForm(form, record), scope);
      const alerts = alertsField(form, record);
      if (alerts !== undefined) fields.alerts = alerts;
      const tzid = form.allDay ? null : zone?.zone();
      if (!record) return ctx.api.create_event(target.account.id, target.calendar.url, tzid ? { ...fields, tzid } : fields);
      if (target.calendar.url === record.calendar_url)
        return ctx.api.update_event(record.account_id, record.url, record.etag || "", tzid ? { ...fields, tzid } : fields);
      if (isRepeating(record)) return moveSeries(fields, target);
      // A moved event keeps its identity.
      const moved = { ...fieldsFromForm(form, null), uid: record.uid };
      if (fields.alerts) moved.alerts = fields.alerts;
      if (tzid) moved.tzid = tzid;
      delete moved.recurrence_id;
      return ctx.api.move_event(record.account_id, record.url, record.etag || "", target.account.id, target.calendar.url, moved);
    }

    async function moveSeries(fields, target) {
      const { carried, reshape } = splitSeriesMove(fields, record.uid);
      const moved = await ctx.api.move_event(record.account_id, record.url, record.etag || "",
                                             target.account.id, target.calendar.url, carried);
      if (!reshape || (moved && moved.ok === false)) return moved;
      return ctx.api.update_event(target.account.id, moved.url, moved.etag || "", reshape);
    }

    async function deleteEvent() {
      const name = record.summary || t("untitled");
      const scope = isRepeating(record)
        ? await askSeries(record, "delete")
        : (await confirmDialog({ title: t("delete_title"), message: t("delete_question", { name }), confirm: t("delete"), danger: true })) && "";
      if (scope === null || scope === false) return;
      busy(true);
      const before = await capture(ctx.api, record);
      try {
        // An invitation to single occurrences of someone else's series is
        // one object of several events: the one shown is the one deleted.
        const alone = !isRepeating(record) && record.recurrence_id;
        const occurrence = scope === "this" || alone ? [record.recurrence_id]
          : scope === "future" ? [record.recurrence_id, "future"] : [];
        const answer = await ctx.api.delete_event(record.account_id, record.url, record.etag || "", ...occurrence);
        if (answer && answer.ok === false) throw new Error(answer.error);
        ctx.calendar.noteOwnWrite(answer);
        close({ deleted: true });
        showUndo({ api: ctx.api, message: t("notice_deleted", { name }), before, after: afterOf(record.account_id, answer),
                   onDone: ctx.refetch });
        await ctx.refetch();
      } catch (failure) {
        busy(false);
        showFailure(error, failure);
      }
    }

    return form;
  }
}

// The times as the form holds them; an all-day event keeps the times it had
// so that switching back shows them again.
function readTimes(allDay, when) {
  return { allDay: allDay.checked, startDate: when.startDate.value() || "", startTime: when.startTime.value() || "",
           endDate: when.endDate.value() || "", endTime: when.endTime.value() || "" };
}

// The two alert choices for the event's kind; a value the kind does not
// offer becomes "none".
function setAlertChoices(inputs, allDay, chosen) {
  for (const [select, value] of [[inputs.alertFirst, chosen.first], [inputs.alertSecond, chosen.second]]) {
    const options = [h("option", { value: NO_ALERT }, t("alert_none"))];
    for (const minutes of alertChoices(allDay)) {
      const label = alertLabel(minutes, allDay);
      options.push(h("option", { value: String(minutes) }, t(label.key, label.values)));
    }
    select.replaceChildren(...options);
    select.value = options.some((option) => option.value === value) ? value : NO_ALERT;
  }
}

