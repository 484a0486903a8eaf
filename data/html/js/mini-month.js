// The small month in the sidebar: a grid of days to jump to, following the
// main view's date.
import { h, replaceKeepingFocus } from "./dom.js";
import { t, currentLanguage } from "./i18n.js";
import { dateOnly } from "./events.js";
import { zoneNow } from "./zone.js";
import { firstDayOf } from "./reading-rules.js";

// The formats of a language, made once: making one costs more than drawing
// the whole grid.
const formats = new Map();
function formatsOf(locale) {
  if (!formats.has(locale)) {
    const format = (options) => new Intl.DateTimeFormat(locale, options);
    formats.set(locale, { title: format({ year: "numeric", month: "long" }), full: format({ dateStyle: "full" }),
                          weekday: format({ weekday: "narrow" }), weekdayName: format({ weekday: "long" }) });
  }
  return formats.get(locale);
}

export function createMiniMonth({ element, onPick, reading }) {
  let shown = zoneNow();
  shown = new Date(shown.getFullYear(), shown.getMonth(), 1);
  let range = null;
  let drawn = "";

  function render() {
    const language = currentLanguage();
    const locale = language === "zh-Hant" ? "zh-TW" : "en";
    const firstDay = firstDayOf(reading(), language, navigator.language);
    const today = dateOnly(zoneNow());
    // Switching views within a month moves nothing here.
    const key = JSON.stringify([language, firstDay, today, dateOnly(shown), range]);
    if (key === drawn) return;
    drawn = key;
    const { title: titleFormat, full, weekday, weekdayName } = formatsOf(locale);
    const title = titleFormat.format(shown);
    const lead = (shown.getDay() - firstDay + 7) % 7;
    const first = new Date(shown.getFullYear(), shown.getMonth(), 1 - lead);

    const head = h("tr", {}, ...Array.from({ length: 7 }, (_, i) => {
      const day = new Date(2024, 0, 7 + firstDay + i);  // 7 January 2024 was a Sunday
      return h("th", { scope: "col", abbr: weekdayName.format(day) }, weekday.format(day));
    }));
    const rows = [];
    for (let week = 0; week < 6; week++) {
      const cells = [];
      for (let i = 0; i < 7; i++) {
        const day = new Date(first.getFullYear(), first.getMonth(), first.getDate() + week * 7 + i);
        const key = dateOnly(day);
        const classes = ["day"];
        if (day.getMonth() !== shown.getMonth()) classes.push("other");
        if (key === today) classes.push("today");
        if (range && key >= range.start && key < range.end) classes.push("in-view");
        cells.push(h("td", {}, h("button", {
          type: "button", class: classes.join(" "), "aria-label": full.format(day), "data-focus-key": key,
          "aria-current": key === today ? "date" : false,
          onclick: () => onPick(day),
        }, String(day.getDate()))));
      }
      rows.push(h("tr", {}, ...cells));
    }
    replaceKeepingFocus(element,
      h("div", { class: "mini-head" },
        h("span", { class: "mini-title" }, title),
        h("button", { type: "button", class: "icon", "aria-label": t("mini_prev"), title: t("mini_prev"), "data-focus-key": "previous",
                      onclick: () => step(-1) }, "‹"),
        h("button", { type: "button", class: "icon", "aria-label": t("mini_next"), title: t("mini_next"), "data-focus-key": "next",
                      onclick: () => step(1) }, "›")),
      h("table", { class: "mini-grid", "aria-label": t("mini_month") }, h("thead", {}, head), h("tbody", {}, ...rows)));
  }

  function step(months) {
    shown = new Date(shown.getFullYear(), shown.getMonth() + months, 1);
    render();
  }

  return {
    render,
    follow(date, viewStart, viewEnd) {
      shown = new Date(date.getFullYear(), date.getMonth(), 1);
      // A week or a day on screen is marked; a whole month needs no mark.
      range = viewEnd - viewStart <= 7 * 86400000 ? { start: dateOnly(viewStart), end: dateOnly(viewEnd) } : null;
      render();
    },
  };
}
