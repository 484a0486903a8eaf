// The sidebar's display settings: time zone, theme, week start, clock, week
// numbers and lunar dates. Each choice is saved and applied at once.
import { h, replaceKeepingFocus } from "./dom.js";
import { t, onLanguageChange, currentLanguage } from "./i18n.js";
import { zoneChoices, systemZone } from "./zone.js";
import { showBanner } from "./banner.js";

export function createReadingSettings({ element, store }) {
  function choice(key, label, options, value, onChange) {
    const id = "reading-" + key;
    const select = h("select", { id, "data-focus-key": id },
      ...options.map(([optionValue, text]) => h("option", { value: optionValue }, text)));
    select.value = value;
    select.addEventListener("change", () => onChange(select.value).catch(showBanner));
    return h("div", { class: "reading-row" }, h("label", { for: id }, label), select);
  }

  function toggle(key, label, checked, onChange) {
    const box = h("input", { type: "checkbox", role: "switch", checked, "data-focus-key": "reading-" + key });
    box.addEventListener("change", () => onChange(box.checked).catch(showBanner));
    return h("label", { class: "switch" }, box, h("span", {}, label));
  }

  function render() {
    const { reading, timeZone } = store.state;
    shown = JSON.stringify([reading, timeZone]);
    const language = currentLanguage();
    const system = systemZone();
    const zones = zoneChoices().map((zone) => [zone, zone === system ? t("zone_system", { zone }) : zone]);
    if (!zones.some(([zone]) => zone === timeZone)) zones.unshift([timeZone, timeZone]);
    const lunarDefault = language === "zh-Hant";
    replaceKeepingFocus(element,
      h("details", { class: "reading" },
        h("summary", {}, t("display")),
        h("div", { class: "reading-body" },
          choice("zone", t("time_zone"), zones, timeZone, (zone) => store.setTimeZone(zone)),
          choice("theme", t("theme"), [["system", t("theme_system")], ["light", t("theme_light")], ["dark", t("theme_dark")]],
                 reading.theme, (theme) => store.setReading({ theme })),
          choice("week-start", t("week_start"), [["system", t("week_start_system")], ["sunday", t("sunday")], ["monday", t("monday")]],
                 reading.week_start, (value) => store.setReading({ week_start: value })),
          choice("clock", t("clock"), [["language", t("clock_language")], ["12", t("clock_12")], ["24", t("clock_24")]],
                 reading.clock, (clock) => store.setReading({ clock })),
          toggle("week-numbers", t("week_numbers"), reading.week_numbers === true, (on) => store.setReading({ week_numbers: on })),
          toggle("lunar", t("lunar_dates"), reading.lunar === "language" ? lunarDefault : reading.lunar === "on",
                 (on) => store.setReading({ lunar: on === lunarDefault ? "language" : on ? "on" : "off" })))));
    const details = element.querySelector("details");
    details.open = open;
    details.addEventListener("toggle", () => { open = details.open; });
  }

  // Rebuilt only when what it shows changed: the store changes after every
  // fetch, and the zone list is long.
  let open = false;
  let shown = "";
  store.subscribe(() => {
    const now = JSON.stringify([store.state.reading, store.state.timeZone]);
    if (now !== shown) render();
  });
  onLanguageChange(render);
  return { render };
}
