// The optional time zone of an event, hidden behind "Time zone" until asked
// for: an event can be made at 09:00 in another city's time and is kept in
// that zone. Without a choice a new event takes the account's home zone and
// an existing one keeps its own.
import { h } from "./dom.js";
import { t } from "./i18n.js";
import { zonesWith } from "./zone.js";

let counter = 0;

// home(): the zone of the calendar chosen now; initial: an existing event's
// own zone, when it has one.
export function createTimeZoneField({ home, initial = null }) {
  const kept = () => initial || home();
  const id = "event-zone-" + ++counter;
  const select = h("select", { id });
  const field = h("div", { class: "field", hidden: true }, h("label", { for: id }, t("time_zone")), select);
  const toggle = h("button", { type: "button", class: "link-button", "aria-expanded": "false", "aria-controls": id },
    t("time_zone"));
  let shownHome = null;
  const fill = () => {
    const zone = home();
    if (zone === shownHome) return;
    const chosen = select.value && select.value !== shownHome ? select.value : kept();
    shownHome = zone;
    select.replaceChildren(...zonesWith(zone).map((name) => h("option", { value: name, selected: name === chosen },
      name === zone ? t("home_zone", { zone: name }) : name.replaceAll("_", " "))));
  };
  toggle.addEventListener("click", () => {
    fill();
    field.hidden = false;
    toggle.hidden = true;
    toggle.setAttribute("aria-expanded", "true");
    select.focus();
  });
  return {
    element: h("div", { class: "zone-choice wide" }, toggle, field),
    // The zone to send, or null while the event's zone (or the home zone) holds.
    zone: () => (field.hidden || !select.value || select.value === kept() ? null : select.value),
    homeChanged: () => { if (!field.hidden) fill(); },
  };
}
