// For an event written in another zone than the calendar's, its start in
// that zone beside the calendar's: "09:00 New York (22:00 here)". It follows
// the start as it is edited, in the clock the reading settings choose.
import { h } from "./dom.js";
import { t, currentLanguage } from "./i18n.js";
import { calendarZone, instantOf, wallText, cityOf, isZone } from "./zone.js";
import { formatTime } from "./date-format.js";
import { twelveHourOf } from "./reading-rules.js";

// tzid: the event's own zone; clock: the reading setting; times(): the form's
// { allDay, startDate, startTime }.
export function createZoneHint({ tzid, clock, times }) {
  const element = h("p", { class: "note zone-hint" });
  const shown = Boolean(tzid) && tzid !== calendarZone() && isZone(tzid);
  function update() {
    const { allDay, startDate, startTime } = times();
    element.hidden = !shown || allDay || !startDate || !startTime;
    if (element.hidden) return;
    const there = wallText(instantOf(`${startDate}T${startTime}`, calendarZone()), tzid);
    const twelve = twelveHourOf({ clock }, currentLanguage());
    const time = formatTime(there.slice(11), twelve);
    // A start on another day there says which.
    const date = there.slice(0, 10) === startDate ? "" : dayName(there.slice(0, 10)) + " ";
    element.textContent = t("zone_hint", { time: date + time, city: cityOf(tzid), here: formatTime(startTime, twelve) });
  }
  update();
  return { element, update };
}

function dayName(iso) {
  const [y, m, d] = iso.split("-").map(Number);
  const language = currentLanguage() === "zh-Hant" ? "zh-TW" : "en";
  return new Intl.DateTimeFormat(language, { weekday: "short", month: "short", day: "numeric" }).format(new Date(y, m - 1, d));
}
