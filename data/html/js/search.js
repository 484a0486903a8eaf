// The header's search: events of every calendar by title, place or notes,
// answered from the program's local copy; results listed by day with their
// calendar's colour. Enter or a click opens the day and highlights the event.
import { t, currentLanguage, onLanguageChange } from "./i18n.js";
import { cssColor } from "./events.js";

const LIMIT = 50;
const WAIT_FOR_TYPING = 150;

// The results grouped by their day ("YYYY-MM-DD"), days in order.
export function groupByDay(records) {
  const days = new Map();
  for (const record of [...records].sort((a, b) => String(a.start).localeCompare(String(b.start)))) {
    const day = String(record.start).slice(0, 10);
    if (!days.has(day)) days.set(day, []);
    days.get(day).push(record);
  }
  return [...days];
}

export function bindSearch({ api, calendar, onError }) {
  const input = document.getElementById("search");
  const panel = document.getElementById("search-results");
  let asked = 0;
  let results = [];
  let timer = 0;

  const placeholder = () => { input.placeholder = t("search_placeholder"); };
  placeholder();
  onLanguageChange(() => { placeholder(); render(); });

  input.addEventListener("input", () => { clearTimeout(timer); timer = setTimeout(run, WAIT_FOR_TYPING); });
  input.addEventListener("keydown", (event) => {
    if (event.key === "Enter") {
      event.preventDefault();
      clearTimeout(timer);
      run().then(() => { if (results[0]) open(results[0]); });
    } else if (event.key === "Escape") {
      event.preventDefault();
      input.value = "";
      results = [];
      render();
      input.blur();
    }
  });

  async function run() {
    const text = input.value.trim();
    const ticket = ++asked;
    if (!text) { results = []; render(); return; }
    try {
      const answer = await api.search_events(text, LIMIT);
      if (ticket !== asked) return;  // a newer search has been asked
      results = answer.events || [];
      render();
    } catch (error) {
      onError(error);
    }
  }

  function dayHeading(day) {
    const [y, m, d] = day.split("-").map(Number);
    const locale = currentLanguage() === "zh-Hant" ? "zh-TW" : "en-US";
    return new Date(y, m - 1, d).toLocaleDateString(locale, { weekday: "short", year: "numeric", month: "long", day: "numeric" });
  }

  function hit(record) {
    const button = document.createElement("button");
    button.type = "button";
    button.className = "search-hit";
    const dot = document.createElement("span");
    dot.className = "search-dot";
    dot.style.background = cssColor(record.color);
    const title = document.createElement("span");
    title.className = "search-title";
    title.textContent = record.summary || t("untitled");
    const detail = document.createElement("span");
    detail.className = "search-detail";
    const time = record.all_day ? t("all_day") : String(record.start).slice(11, 16);
    detail.textContent = [time, record.location, record.calendar_name].filter(Boolean).join(" · ");
    button.append(dot, title, detail);
    button.addEventListener("click", () => open(record));
    return button;
  }

  function render() {
    panel.replaceChildren();
    const text = input.value.trim();
    panel.hidden = !text;
    if (!text) return;
    if (!results.length) {
      const none = document.createElement("p");
      none.className = "search-none";
      none.textContent = t("search_none");
      panel.append(none);
      return;
    }
    for (const [day, records] of groupByDay(results)) {
      const section = document.createElement("section");
      const heading = document.createElement("h3");
      heading.textContent = dayHeading(day);
      const list = document.createElement("ul");
      for (const record of records) {
        const item = document.createElement("li");
        item.append(hit(record));
        list.append(item);
      }
      section.append(heading, list);
      panel.append(section);
    }
  }

  async function open(record) {
    panel.hidden = true;
    wanted = record.summary || "";
    await calendar.changeView("day");
    calendar.gotoDate(record.start.slice(0, 10));
    highlight();
  }

  // The event opened from the results stays marked, also when the view
  // draws its entries anew (a refetch, a change of language).
  let wanted = null;
  function highlight() {
    if (wanted === null) return;
    const entry = [...document.querySelectorAll("#calendar .fc-event")]
      .find((node) => node.querySelector(".fc-event-title")?.textContent === wanted);
    if (!entry || entry.classList.contains("search-highlight")) return;
    for (const old of document.querySelectorAll(".search-highlight")) old.classList.remove("search-highlight");
    entry.classList.add("search-highlight");
    entry.scrollIntoView({ block: "center" });
  }
  new MutationObserver(highlight).observe(document.getElementById("calendar"), { childList: true, subtree: true });

  document.addEventListener("click", (event) => {
    if (!event.target.closest?.(".search")) panel.hidden = true;
  });
  input.addEventListener("focus", () => { if (input.value.trim()) render(); });
}
