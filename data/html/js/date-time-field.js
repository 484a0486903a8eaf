// Date and time fields written in the page's language and clock, read from
// what people type, with a month picker that works from the keyboard:
// arrows move by a day or a week, Page Up/Down by a month, Enter picks, Esc
// closes. In the fields themselves Up/Down step a day or 15 minutes.
import { h } from "./dom.js";
import { t, currentLanguage } from "./i18n.js";
import {
  formatDate, parseDate, formatTime, parseTime, addDaysIso, addMinutes, monthGrid, weekdayNames, monthTitle,
} from "./date-format.js";
import { DEFAULT_READING, firstDayOf, twelveHourOf } from "./reading-rules.js";

let counter = 0;

// A text field whose value is kept in the program's form; typing is read
// when the field is left, and an unreadable entry is marked invalid.
function readableField({ label, value, format, parse, step, className }) {
  const input = h("input", { id: "dt-" + ++counter, type: "text", class: className, autocomplete: "off", spellcheck: false });
  let current = value;
  const show = () => { input.value = format(current); input.removeAttribute("aria-invalid"); };
  const read = () => {
    if (input.value.trim() === format(current)) return true;
    const parsed = parse(input.value);
    if (!parsed) { input.setAttribute("aria-invalid", "true"); return false; }
    current = parsed;
    show();
    input.dispatchEvent(new Event("change", { bubbles: true }));
    return true;
  };
  input.addEventListener("blur", read);
  input.addEventListener("keydown", (event) => {
    if (event.key === "Enter") read();
    if (event.key !== "ArrowUp" && event.key !== "ArrowDown") return;
    event.preventDefault();
    read();
    current = step(current, event.key === "ArrowUp" ? 1 : -1);
    show();
    input.dispatchEvent(new Event("change", { bubbles: true }));
  });
  show();
  const field = h("div", { class: "field" }, h("label", { for: input.id }, label), input);
  return {
    field, input,
    // The value, or null when the typed text cannot be read.
    value: () => (read() ? current : null),
    set(next) { current = next; show(); },
    refresh: show,
  };
}

// `reading` gives the display settings in force (first day of the week,
// clock); without it the language's custom holds.
export function createDateField({ label, value, reading = () => DEFAULT_READING }) {
  const language = () => currentLanguage();
  const firstDay = () => firstDayOf(reading(), language(), navigator.language);
  const date = readableField({ label, value, className: "date-input", format: (iso) => formatDate(iso, language()),
                               parse: parseDate, step: (iso, days) => addDaysIso(iso, days) });
  const open = h("button", { type: "button", class: "icon picker-button", "aria-label": t("choose_date", { field: label }),
                             "aria-haspopup": "dialog", "aria-expanded": "false" }, "▾");
  const holder = h("div", { class: "date-with-picker" });
  date.input.replaceWith(holder);
  holder.append(date.input, open);
  let picker = null;

  open.addEventListener("click", () => (picker ? closePicker() : openPicker()));
  function closePicker(focusField = true) {
    picker?.remove();
    picker = null;
    open.setAttribute("aria-expanded", "false");
    if (focusField) date.input.focus();
  }
  function openPicker() {
    const chosen = date.value() || value;
    let focus = chosen;
    picker = h("div", { class: "date-picker", role: "dialog", "aria-label": label });
    open.setAttribute("aria-expanded", "true");
    holder.append(picker);
    draw();
    function draw() {
      const [y, m] = focus.split("-").map(Number);
      const prev = h("button", { type: "button", class: "icon", "aria-label": t("mini_prev"), onclick: () => { focus = shiftMonth(focus, -1); draw(); } }, "‹");
      const next = h("button", { type: "button", class: "icon", "aria-label": t("mini_next"), onclick: () => { focus = shiftMonth(focus, 1); draw(); } }, "›");
      const title = monthTitle(y, m, language());
      const grid = h("table", { role: "grid", "aria-label": title },
        h("thead", {}, h("tr", {}, ...weekdayNames(language(), firstDay()).map((name) => h("th", { scope: "col", "aria-hidden": "true" }, name)))),
        h("tbody", {}, ...monthGrid(y, m, firstDay()).map((week) => h("tr", {}, ...week.map((iso) => h("td", {},
          iso ? h("button", {
            type: "button", tabindex: iso === focus ? "0" : "-1", "aria-label": formatDate(iso, language()),
            "aria-pressed": String(iso === chosen), class: iso === chosen ? "chosen" : "", "data-date": iso,
            onclick: () => pick(iso),
          }, String(Number(iso.slice(8)))) : null))))));
      grid.addEventListener("keydown", onKey);
      picker.replaceChildren(h("div", { class: "picker-head" }, prev, h("span", { "aria-live": "polite" }, title), next), grid);
      picker.querySelector(`[data-date="${focus}"]`)?.focus();
    }
    function onKey(event) {
      const moves = { ArrowLeft: -1, ArrowRight: 1, ArrowUp: -7, ArrowDown: 7 };
      if (event.key in moves) focus = addDaysIso(focus, moves[event.key]);
      else if (event.key === "PageUp") focus = shiftMonth(focus, -1);
      else if (event.key === "PageDown") focus = shiftMonth(focus, 1);
      else if (event.key === "Escape") { event.preventDefault(); event.stopPropagation(); closePicker(); return; }
      else return;
      event.preventDefault();
      draw();
    }
    // Esc inside the picker closes only the picker, not the dialog around it.
    picker.addEventListener("keydown", (event) => {
      if (event.key === "Escape") { event.preventDefault(); event.stopPropagation(); closePicker(); }
    });
    function pick(iso) {
      date.set(iso);
      date.input.dispatchEvent(new Event("change", { bubbles: true }));
      closePicker();
    }
  }
  return { field: date.field, input: date.input, value: date.value, set: date.set, refresh: date.refresh,
           close: () => picker && closePicker(false) };
}

function shiftMonth(iso, months) {
  const [y, m, d] = iso.split("-").map(Number);
  const last = new Date(y, m - 1 + months + 1, 0).getDate();
  const target = new Date(y, m - 1 + months, Math.min(d, last));
  return `${target.getFullYear()}-${String(target.getMonth() + 1).padStart(2, "0")}-${String(target.getDate()).padStart(2, "0")}`;
}

// Times offered while typing: every half hour of the day.
export function createTimeField({ label, value, reading = () => DEFAULT_READING }) {
  const twelve = () => twelveHourOf(reading(), currentLanguage());
  const time = readableField({ label, value, className: "time-input", format: (hhmm) => formatTime(hhmm, twelve()),
                               parse: parseTime, step: (hhmm, dir) => addMinutes(hhmm, dir * 15) });
  const list = h("datalist", { id: time.input.id + "-times" });
  for (let minutes = 0; minutes < 1440; minutes += 30)
    list.append(h("option", { value: formatTime(addMinutes("00:00", minutes), twelve()) }));
  time.input.setAttribute("list", list.id);
  time.field.append(list);
  return time;
}
