// The editor's repeat section: the kind of repetition, its interval, days and
// end, and the rule in words. A rule the controls cannot show stays as it is
// until the user picks another repetition.
import { h } from "./dom.js";
import { t, currentLanguage } from "./i18n.js";
import { WEEKDAYS, modelFromRule, ruleFromModel, describeRule, monthlyChoicesFor, monthlyChoiceText, dayName } from "./repeat-rule.js";

const KINDS = ["none", "daily", "weekdays", "weekly", "monthly", "yearly"];
const UNITS = { daily: "unit_days", weekly: "unit_weeks", monthly: "unit_months", yearly: "unit_years" };
let counter = 0;

// `original`: the stored rule text ("" for none); `start()`: the start date
// "YYYY-MM-DD"; `allDay()`: whether the event is all-day.
export function createRepeatEditor({ original, start, allDay }) {
  const id = (name) => `repeat-${name}-${++counter}`;
  const model = modelFromRule(original);
  const custom = model.kind === "custom";
  let touched = false;

  const kind = h("select", { id: id("kind"), name: "repeat" },
    ...KINDS.map((value) => h("option", { value, selected: model.kind === value }, t("repeat_" + value))),
    custom ? h("option", { value: "custom", selected: true }, t("repeat_custom")) : null);
  const interval = h("input", { id: id("interval"), type: "number", min: 1, max: 999, value: model.interval || 1, inputMode: "numeric" });
  const unit = h("span", { class: "repeat-unit" });
  const dayBoxes = WEEKDAYS.map((day) => h("input", { type: "checkbox", value: day, checked: (model.days || []).includes(day),
                                                      "aria-label": dayName(day, currentLanguage()) }));
  const monthBy = h("select", { id: id("month") });
  const ends = h("select", { id: id("ends") },
    ...["never", "until", "count"].map((value) => h("option", { value, selected: (model.ends || "never") === value }, t("ends_" + value))));
  const until = h("input", { id: id("until"), type: "date", value: model.until || "" });
  const count = h("input", { id: id("count"), type: "number", min: 1, max: 999, value: model.count || 10, inputMode: "numeric" });
  const summary = h("p", { class: "repeat-summary", "aria-live": "polite" });

  const labelled = (label, control, ...rest) => h("div", { class: "field" }, h("label", { for: control.id }, label), control, ...rest);
  const everyRow = h("div", { class: "repeat-every" }, labelled(t("repeat_every"), interval), unit);
  const daysRow = h("fieldset", { class: "repeat-days" }, h("legend", {}, t("repeat_on_days")),
    ...dayBoxes.map((box) => h("label", { class: "day-toggle" }, box, h("span", { "aria-hidden": "true" }, dayName(box.value, currentLanguage(), true)))));
  const monthRow = labelled(t("repeat_month_on"), monthBy);
  const endsRow = h("div", { class: "repeat-ends" }, labelled(t("repeat_ends"), ends),
    labelled(t("repeat_until"), until), labelled(t("repeat_count"), count));
  const details = h("div", { class: "repeat-details" }, everyRow, daysRow, monthRow, endsRow);
  const element = h("div", { class: "repeat-editor wide" }, labelled(t("repeat"), kind), details, summary);

  function fillMonthly() {
    const chosen = monthBy.value;
    const choices = monthlyChoicesFor(start());
    if (model.kind === "monthly" && model.monthBy !== "start" &&
        !choices.some((c) => c.monthBy === model.monthBy && c.monthDay === model.monthDay && c.nth === model.nth)) choices.push(model);
    monthBy.replaceChildren(...choices.map((choice) => h("option", { value: JSON.stringify(choice) },
      monthlyChoiceText(choice, currentLanguage()))));
    const initial = JSON.stringify(model.kind === "monthly" && model.monthBy !== "start"
      ? { monthBy: model.monthBy, ...(model.monthBy === "day" ? { monthDay: model.monthDay } : { nth: model.nth, weekday: model.weekday }) }
      : choices[0]);
    monthBy.value = [...monthBy.options].some((o) => o.value === chosen) ? chosen : initial;
    if (monthBy.selectedIndex < 0) monthBy.selectedIndex = 0;
  }

  function currentModel() {
    const month = monthBy.value ? JSON.parse(monthBy.value) : {};
    return { kind: kind.value, interval: interval.value, days: dayBoxes.filter((b) => b.checked).map((b) => b.value),
             ...month, ends: ends.value, until: until.value, count: count.value };
  }

  // The rule to store: the original until the user changes something.
  function rule() {
    if (!touched || kind.value === "custom") return original;
    return ruleFromModel(currentModel(), { allDay: allDay() });
  }

  function show() {
    const k = kind.value;
    details.hidden = k === "none" || k === "custom";
    everyRow.hidden = !UNITS[k];
    unit.textContent = UNITS[k] ? t(UNITS[k]) : "";
    daysRow.hidden = k !== "weekly";
    monthRow.hidden = k !== "monthly";
    until.parentElement.hidden = ends.value !== "until";
    count.parentElement.hidden = ends.value !== "count";
    summary.textContent = k === "none" ? "" : describeRule(rule(), currentLanguage(), start());
  }

  function change() {
    touched = true;
    // A weekly rule with no day chosen repeats on the start's weekday.
    if (kind.value === "weekly" && !dayBoxes.some((b) => b.checked)) {
      const [y, m, d] = start().split("-").map(Number);
      const day = WEEKDAYS[(new Date(y, m - 1, d).getDay() + 6) % 7];
      for (const box of dayBoxes) box.checked = box.value === day;
    }
    if (ends.value === "until" && !until.value) until.value = start();
    show();
  }

  for (const control of [kind, interval, monthBy, ends, until, count, ...dayBoxes]) {
    control.addEventListener("change", change);
    control.addEventListener("input", change);
  }
  fillMonthly();
  show();
  return {
    element,
    rule,
    // The start date changed: the monthly choices follow it.
    startChanged() { fillMonthly(); show(); },
    setDisabled(on) { for (const control of element.querySelectorAll("input, select")) control.disabled = on; },
  };
}
