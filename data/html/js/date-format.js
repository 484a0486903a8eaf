// Dates and times as the page's language writes them, and read back from
// what people type. Pure: no DOM, no imports, so the rules can be tested alone.
// Dates are "YYYY-MM-DD", times "HH:MM" (24-hour) inside the program.

const MONTHS = ["jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"];
const MONTH_NAMES = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"];
const WEEKDAYS_EN = ["Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"];
const WEEKDAYS_ZH = ["週日", "週一", "週二", "週三", "週四", "週五", "週六"];
const pad = (n) => String(n).padStart(2, "0");

export function isoDate(y, m, d) {
  const date = new Date(y, m - 1, d);
  if (date.getFullYear() !== y || date.getMonth() !== m - 1 || date.getDate() !== d) return null;
  return `${y}-${pad(m)}-${pad(d)}`;
}

export function formatDate(iso, language = "en") {
  const [y, m, d] = (iso || "").split("-").map(Number);
  if (!y || !m || !d) return "";
  const weekday = new Date(y, m - 1, d).getDay();
  if (language === "zh-Hant") return `${y}年${m}月${d}日 ${WEEKDAYS_ZH[weekday]}`;
  return `${WEEKDAYS_EN[weekday]} ${d} ${MONTH_NAMES[m - 1]} ${y}`;
}

// Reads "2027-01-06", "2027/1/6", "6 Jan 2027", "Jan 6, 2027", "January 6
// 2027", "2027年1月6日" (a weekday anywhere is ignored); null when unreadable.
export function parseDate(text) {
  const raw = String(text || "").trim().toLowerCase()
    .replace(/週[日一二三四五六]|星期[日一二三四五六天]|\b(sun|mon|tue|wed|thu|fri|sat)[a-z]*\b\.?/g, " ").trim();
  let match = /^(\d{4})\s*[-/.年]\s*(\d{1,2})\s*[-/.月]\s*(\d{1,2})\s*日?$/.exec(raw);
  if (match) return isoDate(+match[1], +match[2], +match[3]);
  const monthOf = (word) => MONTHS.indexOf(word.slice(0, 3)) + 1;
  match = /^(\d{1,2})\s+([a-z]{3,})\.?,?\s+(\d{4})$/.exec(raw);
  if (match && monthOf(match[2])) return isoDate(+match[3], monthOf(match[2]), +match[1]);
  match = /^([a-z]{3,})\.?\s+(\d{1,2}),?\s+(\d{4})$/.exec(raw);
  if (match && monthOf(match[1])) return isoDate(+match[3], monthOf(match[1]), +match[2]);
  return null;
}

export function formatTime(hhmm, twelveHours) {
  const [h, m] = (hhmm || "").split(":").map(Number);
  if (Number.isNaN(h) || Number.isNaN(m)) return "";
  if (!twelveHours) return `${pad(h)}:${pad(m)}`;
  return `${h % 12 || 12}:${pad(m)} ${h < 12 ? "AM" : "PM"}`;
}

// Reads "14:30", "1430", "9", "2pm", "2:30 p.m.", "上午9:00", "下午2點30分";
// null when unreadable.
export function parseTime(text) {
  let raw = String(text || "").trim().toLowerCase().replace(/\s+/g, "").replace(/\./g, "");
  let half = null;
  const marks = [[/^(上午|早上|凌晨)/, "am"], [/^(下午|晚上|中午)/, "pm"], [/(am|a)$/, "am"], [/(pm|p)$/, "pm"]];
  for (const [pattern, which] of marks)
    if (pattern.test(raw)) { half = which; raw = raw.replace(pattern, ""); }
  raw = raw.replace(/[點点時时]/, ":").replace(/分$/, "").replace(/:$/, "");
  const match = /^(\d{1,2})(?::?(\d{2}))?$/.exec(raw);
  if (!match) return null;
  let h = Number(match[1]);
  const m = Number(match[2] || 0);
  if (m > 59) return null;
  if (half) {
    if (h < 1 || h > 12) return null;
    h = (h % 12) + (half === "pm" ? 12 : 0);
  } else if (h > 23) return null;
  return `${pad(h)}:${pad(m)}`;
}

export function addDaysIso(iso, days) {
  const [y, m, d] = iso.split("-").map(Number);
  const date = new Date(y, m - 1, d + days);
  return `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())}`;
}

export function addMinutes(hhmm, minutes) {
  const [h, m] = hhmm.split(":").map(Number);
  const total = (((h * 60 + m + minutes) % 1440) + 1440) % 1440;
  return `${pad(Math.floor(total / 60))}:${pad(total % 60)}`;
}

// The weeks of a month for the picker: rows of seven ISO dates (null outside
// the month), weeks starting on `firstDay` (0 Sunday, 1 Monday).
export function monthGrid(year, month, firstDay = 0) {
  const first = new Date(year, month - 1, 1).getDay();
  const offset = (first - firstDay + 7) % 7;
  const days = new Date(year, month, 0).getDate();
  const cells = [...Array(offset).fill(null), ...Array.from({ length: days }, (_, i) => isoDate(year, month, i + 1))];
  while (cells.length % 7) cells.push(null);
  const weeks = [];
  for (let i = 0; i < cells.length; i += 7) weeks.push(cells.slice(i, i + 7));
  return weeks;
}

// The picker's column heads, from `firstDay` on.
export const weekdayNames = (language, firstDay = 0) => {
  const names = language === "zh-Hant" ? WEEKDAYS_ZH.map((name) => name.slice(1)) : WEEKDAYS_EN;
  return [...names.slice(firstDay), ...names.slice(0, firstDay)];
};

export function monthTitle(year, month, language = "en") {
  return language === "zh-Hant" ? `${year}年${month}月` : `${MONTH_NAMES[month - 1]} ${year}`;
}
