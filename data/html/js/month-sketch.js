// A first picture of the month, drawn from the events the page starts with
// while the calendar library lays out its own month, which the first time
// takes a few hundred milliseconds. It is a picture only: laid over the
// calendar's place, hidden from screen readers, passed through by the
// pointer, and taken away in the frame that paints the library's month.
// Titles are text, never HTML.
import { h } from "./dom.js";
import { daysOf } from "./month-slice.js";
import { addDays } from "./events.js";

// The month's entries by day: each entry (as the calendar's month is handed
// them, its "+n more" entries last) on every day of the range it covers.
function entriesByDay(entries, { start, end }) {
  const byDay = new Map();
  for (const entry of entries) {
    const { first, last } = daysOf({ start: entry.start, end: entry.end || "", all_day: entry.allDay === true });
    for (let day = first < start ? start : first; day <= last && day < end; day = addDays(day, 1)) {
      if (!byDay.has(day)) byDay.set(day, []);
      byDay.get(day).push(entry);
    }
  }
  return byDay;
}

// The start time as the month writes it: "15:00", or "3p" and "3:30p".
function timeText(entry, locale, hour12) {
  const [hour, minute] = String(entry.start).slice(11, 16).split(":").map(Number);
  if (hour12 && locale === "en")
    return `${hour % 12 || 12}${minute ? ":" + String(minute).padStart(2, "0") : ""}${hour < 12 ? "a" : "p"}`;
  return new Date(2000, 0, 1, hour, minute).toLocaleTimeString(locale, { hour: "numeric", minute: "2-digit", hour12 });
}

function entryElement(entry, locale, hour12) {
  const classes = entry.classNames || [];
  if (classes.includes("more-events")) return h("div", { class: "sketch-entry sketch-more", text: entry.title });
  if (entry.allDay || classes.includes("holiday"))
    return h("div", { class: ["sketch-entry sketch-bar", ...classes].join(" "),
                      style: { background: entry.backgroundColor || "", color: entry.textColor || "" }, text: entry.title });
  return h("div", { class: "sketch-entry" },
           h("span", { class: "sketch-dot", style: { borderColor: entry.backgroundColor || "" } }),
           h("span", { class: "sketch-time", text: timeText(entry, locale, hour12) }),
           h("span", { class: "sketch-title", text: entry.title }));
}

// Draws the picture over `element` and answers a function that takes it away.
// month: { range, today, firstDay, locale, hour12, entries, lunar (a Map of
// day to { label, kind }, empty when not shown), dayHead (the height of a
// day's number, in pixels) }
export function drawMonthSketch(element, { range, today, firstDay, locale, hour12, entries, lunar, dayHead }) {
  const byDay = entriesByDay(entries, range);
  const weekday = new Intl.DateTimeFormat(locale, { weekday: "short" });
  const names = Array.from({ length: 7 }, (_, i) => weekday.format(new Date(2023, 0, 1 + ((firstDay + i) % 7))));
  const dayNumber = (n) => (locale === "en" ? String(n) : `${n}日`);
  const month = addDays(range.start, 7).slice(0, 7);  // the range's first week may begin in the month before
  const days = [];
  for (let day = range.start; day < range.end; day = addDays(day, 1)) {
    const dayEntries = byDay.get(day) || [];
    const holiday = dayEntries.some((entry) => (entry.classNames || []).includes("holiday"));
    const classes = ["sketch-day", day.slice(0, 7) !== month && "sketch-other", day === today && "sketch-today",
                     holiday && "sketch-holiday"];
    days.push(h("div", { class: classes.filter(Boolean).join(" ") },
                h("div", { class: "sketch-number", style: { height: `${dayHead}px` } },
                  h("span", { class: "sketch-date", text: dayNumber(Number(day.slice(8))) }),
                  lunar.has(day) && h("span", { class: "lunar " + lunar.get(day).kind, text: lunar.get(day).label })),
                ...dayEntries.map((entry) => entryElement(entry, locale, hour12))));
  }
  const sketch = h("div", { class: "month-sketch", "aria-hidden": "true", inert: true,
                            style: { gridTemplateRows: `auto repeat(${days.length / 7}, 1fr)` } },
                   ...names.map((name) => h("div", { class: "sketch-weekday" }, h("span", { text: name }))),
                   ...days);
  // Over the calendar's place, wherever a banner coming or going moves it.
  const place = () => {
    const box = element.getBoundingClientRect();
    Object.assign(sketch.style, { top: `${box.top}px`, left: `${box.left}px`, width: `${box.width}px`, height: `${box.height}px` });
  };
  place();
  const follow = new ResizeObserver(place);
  follow.observe(element);
  document.body.append(sketch);
  return () => {
    follow.disconnect();
    sketch.remove();
  };
}
