// Repetition rules (RRULE values) read into the repeat editor's choices,
// written back from them, and described in words in both languages. Pure: no
// DOM, no imports, so the rules can be tested alone.

export const WEEKDAYS = ["MO", "TU", "WE", "TH", "FR", "SA", "SU"];
const WORKDAYS = "MO,TU,WE,TH,FR";
const KNOWN_PARTS = new Set(["FREQ", "INTERVAL", "BYDAY", "BYMONTHDAY", "BYMONTH", "BYSETPOS", "UNTIL", "COUNT", "WKST"]);

// { FREQ: "WEEKLY", BYDAY: "MO,TH", ... } in upper case, or null for no rule.
export function ruleParts(rrule) {
  const text = String(rrule || "").replace(/^RRULE:/i, "").trim();
  if (!text) return null;
  const parts = {};
  for (const piece of text.split(";")) {
    const [name, ...rest] = piece.split("=");
    if (name) parts[name.trim().toUpperCase()] = rest.join("=").trim().toUpperCase();
  }
  return parts;
}

const positiveInt = (text) => (/^\d+$/.test(text || "") && Number(text) > 0 ? Number(text) : null);

// A weekday with its position in the month: "2TU" → { day: "TU", nth: 2 }.
function byDayEntries(text) {
  if (!text) return [];
  return text.split(",").map((entry) => {
    const match = /^([+-]?\d{1,2})?(MO|TU|WE|TH|FR|SA|SU)$/.exec(entry.trim());
    return match ? { day: match[2], nth: match[1] ? Number(match[1]) : 0 } : { day: null, nth: 0 };
  });
}

// UNTIL as a calendar date "YYYY-MM-DD" as the user sees it: a UTC time is
// shown on the local day it falls on.
export function untilDate(text) {
  const match = /^(\d{4})(\d{2})(\d{2})(?:T(\d{2})(\d{2})(\d{2})(Z)?)?$/.exec(text || "");
  if (!match) return null;
  const [, y, mo, d, hh, mm, ss, utc] = match;
  if (!utc) return `${y}-${mo}-${d}`;
  const local = new Date(Date.UTC(+y, +mo - 1, +d, +hh, +mm, +ss));
  const pad = (n) => String(n).padStart(2, "0");
  return `${local.getFullYear()}-${pad(local.getMonth() + 1)}-${pad(local.getDate())}`;
}

// The editor's choices for a rule, or { kind: "custom" } when the editor
// cannot show it exactly (it is then kept as it is).
// Model: { kind: none|daily|weekdays|weekly|monthly|yearly|custom, interval,
//          days: ["MO", …], monthBy: "day"|"weekday", monthDay, nth, weekday,
//          ends: never|until|count, until: "YYYY-MM-DD", count }
export function modelFromRule(rrule) {
  const parts = ruleParts(rrule);
  if (!parts) return { kind: "none" };
  const custom = { kind: "custom" };
  if (Object.keys(parts).some((name) => !KNOWN_PARTS.has(name))) return custom;
  const interval = parts.INTERVAL === undefined ? 1 : positiveInt(parts.INTERVAL);
  if (!interval) return custom;
  const ends = parts.UNTIL !== undefined ? "until" : parts.COUNT !== undefined ? "count" : "never";
  if (parts.UNTIL !== undefined && parts.COUNT !== undefined) return custom;
  const until = ends === "until" ? untilDate(parts.UNTIL) : null;
  const count = ends === "count" ? positiveInt(parts.COUNT) : null;
  if ((ends === "until" && !until) || (ends === "count" && !count)) return custom;
  const base = { interval, ends, until, count };
  const days = byDayEntries(parts.BYDAY);
  const plainDays = days.length > 0 && days.every((entry) => entry.day && entry.nth === 0);

  switch (parts.FREQ) {
    case "DAILY":
      return parts.BYDAY || parts.BYMONTHDAY || parts.BYMONTH || parts.BYSETPOS ? custom : { ...base, kind: "daily" };
    case "WEEKLY": {
      if (parts.BYMONTHDAY || parts.BYMONTH || parts.BYSETPOS || (parts.BYDAY && !plainDays)) return custom;
      const chosen = WEEKDAYS.filter((day) => days.some((entry) => entry.day === day));
      if (interval === 1 && chosen.join(",") === WORKDAYS) return { ...base, kind: "weekdays", days: chosen };
      return { ...base, kind: "weekly", days: chosen };
    }
    case "MONTHLY": {
      if (parts.BYMONTH) return custom;
      if (parts.BYMONTHDAY && !parts.BYDAY && !parts.BYSETPOS) {
        const day = Number(parts.BYMONTHDAY);
        return /^\d+$/.test(parts.BYMONTHDAY) && day >= 1 && day <= 31 ? { ...base, kind: "monthly", monthBy: "day", monthDay: day } : custom;
      }
      if (parts.BYDAY && !parts.BYMONTHDAY && days.length === 1 && days[0].day) {
        let nth = days[0].nth;
        if (parts.BYSETPOS !== undefined) {
          if (nth !== 0 || !/^-?\d$/.test(parts.BYSETPOS)) return custom;
          nth = Number(parts.BYSETPOS);
        }
        return (nth >= 1 && nth <= 4) || nth === -1 ? { ...base, kind: "monthly", monthBy: "weekday", nth, weekday: days[0].day } : custom;
      }
      return parts.BYDAY || parts.BYMONTHDAY || parts.BYSETPOS ? custom : { ...base, kind: "monthly", monthBy: "start" };
    }
    case "YEARLY":
      // The month and day given again as the start's own are still "yearly".
      if (parts.BYDAY || parts.BYSETPOS || (parts.BYMONTH && !/^\d+$/.test(parts.BYMONTH)) ||
          (parts.BYMONTHDAY && !/^\d+$/.test(parts.BYMONTHDAY))) return custom;
      return { ...base, kind: "yearly", month: parts.BYMONTH ? Number(parts.BYMONTH) : null,
               monthDay: parts.BYMONTHDAY ? Number(parts.BYMONTHDAY) : null };
    default:
      return custom;
  }
}

// UNTIL for the last day chosen: a date for all-day events, the end of that
// local day in UTC for timed ones (RFC 5545 wants UTC when the start has a zone).
export function untilValue(date, allDay) {
  const [y, m, d] = date.split("-").map(Number);
  if (allDay) return date.replaceAll("-", "");
  return new Date(y, m - 1, d, 23, 59, 59).toISOString().replace(/[-:]/g, "").replace(/\.\d{3}/, "");
}

// The rule for the editor's choices ("" for none).
export function ruleFromModel(model, { allDay = false } = {}) {
  if (!model || model.kind === "none") return "";
  const interval = Math.max(1, Math.floor(Number(model.interval) || 1));
  const parts = [];
  const every = () => { if (interval > 1) parts.push("INTERVAL=" + interval); };
  switch (model.kind) {
    case "daily": parts.push("FREQ=DAILY"); every(); break;
    case "weekdays": parts.push("FREQ=WEEKLY", "BYDAY=" + WORKDAYS); break;
    case "weekly": {
      parts.push("FREQ=WEEKLY"); every();
      const days = WEEKDAYS.filter((day) => (model.days || []).includes(day));
      if (days.length) parts.push("BYDAY=" + days.join(","));
      break;
    }
    case "monthly":
      parts.push("FREQ=MONTHLY"); every();
      if (model.monthBy === "day") parts.push("BYMONTHDAY=" + model.monthDay);
      else if (model.monthBy === "weekday") parts.push("BYDAY=" + model.nth + model.weekday);
      break;
    case "yearly": parts.push("FREQ=YEARLY"); every(); break;
    default: return null;
  }
  if (model.ends === "until" && model.until) parts.push("UNTIL=" + untilValue(model.until, allDay));
  else if (model.ends === "count" && Number(model.count) > 0) parts.push("COUNT=" + Math.floor(Number(model.count)));
  return parts.join(";");
}

// The monthly choices that fit a start date: its day of the month, and its
// weekday's place in the month (the last one when no fifth exists after it).
export function monthlyChoicesFor(dateText) {
  const [y, m, d] = dateText.split("-").map(Number);
  const weekday = WEEKDAYS[(new Date(y, m - 1, d).getDay() + 6) % 7];
  const nth = Math.ceil(d / 7);
  const daysInMonth = new Date(y, m, 0).getDate();
  const choices = [{ monthBy: "day", monthDay: d }];
  if (nth <= 4) choices.push({ monthBy: "weekday", nth, weekday });
  if (d + 7 > daysInMonth) choices.push({ monthBy: "weekday", nth: -1, weekday });
  return choices;
}

const WORDS = {
  "en": {
    days: { MO: "Monday", TU: "Tuesday", WE: "Wednesday", TH: "Thursday", FR: "Friday", SA: "Saturday", SU: "Sunday" },
    months: ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"],
    ordinals: { 1: "first", 2: "second", 3: "third", 4: "fourth", 5: "fifth", "-1": "last", "-2": "second to last" },
    unit: { DAILY: ["day", "days"], WEEKLY: ["week", "weeks"], MONTHLY: ["month", "months"], YEARLY: ["year", "years"],
            HOURLY: ["hour", "hours"], MINUTELY: ["minute", "minutes"], SECONDLY: ["second", "seconds"] },
    every: (unit, n) => (n === 1 ? `Every ${unit[0]}` : `Every ${n} ${unit[1]}`),
    weekdays: "Every weekday",
    list: (items) => (items.length < 2 ? items.join("") : items.slice(0, -1).join(", ") + " and " + items.at(-1)),
    onDays: (text) => ` on ${text}`,
    onMonthDay: (n) => ` on day ${n}`,
    onNth: (ordinal, day) => ` on the ${ordinal} ${day}`,
    onDate: (month, day) => ` on ${day} ${month}`,
    inMonths: (text) => ` in ${text}`,
    date: (y, m, d, months) => `${d} ${months[m - 1]} ${y}`,
    until: (date) => `, until ${date}`,
    count: (n) => (n === 1 ? ", once" : `, ${n} times`),
    more: " (with further conditions)",
    none: "Does not repeat",
  },
  "zh-Hant": {
    days: { MO: "星期一", TU: "星期二", WE: "星期三", TH: "星期四", FR: "星期五", SA: "星期六", SU: "星期日" },
    months: ["1月", "2月", "3月", "4月", "5月", "6月", "7月", "8月", "9月", "10月", "11月", "12月"],
    ordinals: { 1: "第一個", 2: "第二個", 3: "第三個", 4: "第四個", 5: "第五個", "-1": "最後一個", "-2": "倒數第二個" },
    unit: { DAILY: ["天", "天"], WEEKLY: ["週", "週"], MONTHLY: ["月", "個月"], YEARLY: ["年", "年"],
            HOURLY: ["小時", "小時"], MINUTELY: ["分鐘", "分鐘"], SECONDLY: ["秒", "秒"] },
    every: (unit, n) => (n === 1 ? `每${unit[0]}` : `每 ${n} ${unit[1]}`),
    weekdays: "每個工作日",
    list: (items) => items.join("、"),
    onDays: (text) => `的${text}`,
    onMonthDay: (n) => `的 ${n} 日`,
    onNth: (ordinal, day) => `的${ordinal}${day}`,
    onDate: (month, day) => `的${month}${day}日`,
    inMonths: (text) => `（${text}）`,
    date: (y, m, d) => `${y}年${m}月${d}日`,
    until: (date) => `，至 ${date}`,
    count: (n) => `，共 ${n} 次`,
    more: "（另有其他條件）",
    none: "不重複",
  },
};

// The rule in words, e.g. "Every 2 weeks on Monday and Thursday, until 31
// Mar 2027". Parts the words cannot say are named as further conditions.
export function describeRule(rrule, language = "en", start = "") {
  const w = WORDS[language] || WORDS.en;
  const parts = ruleParts(rrule);
  if (!parts) return w.none;
  const unit = w.unit[parts.FREQ];
  if (!unit) return String(rrule).replace(/^RRULE:/i, "").trim();  // no frequency to say: shown as written
  const interval = positiveInt(parts.INTERVAL) || 1;
  const said = new Set(["FREQ", "INTERVAL", "WKST"]);
  let text;
  const model = modelFromRule(rrule);
  if (model.kind === "weekdays") { text = w.weekdays; said.add("BYDAY"); }
  else text = w.every(unit, interval);

  const days = byDayEntries(parts.BYDAY);
  if (model.kind !== "weekdays" && days.length && days.every((entry) => entry.day)) {
    const setpos = parts.BYSETPOS !== undefined && /^-?\d$/.test(parts.BYSETPOS) ? Number(parts.BYSETPOS) : null;
    if (days.every((entry) => entry.nth === 0) && setpos === null) {
      text += w.onDays(w.list(WEEKDAYS.filter((d) => days.some((e) => e.day === d)).map((d) => w.days[d])));
      said.add("BYDAY");
    } else if (days.length === 1 && w.ordinals[days[0].nth || setpos]) {
      text += w.onNth(w.ordinals[days[0].nth || setpos], w.days[days[0].day]);
      said.add("BYDAY");
      if (setpos !== null) said.add("BYSETPOS");
    }
  }
  const monthDay = /^\d{1,2}$/.test(parts.BYMONTHDAY || "") ? Number(parts.BYMONTHDAY) : null;
  const months = (parts.BYMONTH || "").split(",").filter((m) => /^\d{1,2}$/.test(m) && m >= 1 && m <= 12).map(Number);
  if (parts.FREQ === "YEARLY" && !parts.BYDAY) {
    const [, , sm, sd] = /^(\d{4})-(\d{2})-(\d{2})/.exec(start) || [];
    const month = months.length === 1 ? months[0] : !parts.BYMONTH && sm ? Number(sm) : null;
    const day = monthDay || (!parts.BYMONTHDAY && sd ? Number(sd) : null);
    if (month && day && (months.length === 1 || !parts.BYMONTH)) {
      text += w.onDate(w.months[month - 1], day);
      said.add("BYMONTH"); if (monthDay) said.add("BYMONTHDAY");
    }
  } else if (monthDay && parts.FREQ === "MONTHLY") {
    text += w.onMonthDay(monthDay);
    said.add("BYMONTHDAY");
  }
  if (!said.has("BYMONTH") && months.length && months.length === (parts.BYMONTH || "").split(",").length) {
    text += w.inMonths(w.list(months.map((m) => w.months[m - 1])));
    said.add("BYMONTH");
  }
  const until = parts.UNTIL !== undefined ? untilDate(parts.UNTIL) : null;
  if (until) {
    const [y, m, d] = until.split("-").map(Number);
    text += w.until(w.date(y, m, d, w.months));
    said.add("UNTIL");
  }
  const count = positiveInt(parts.COUNT);
  if (count) { text += w.count(count); said.add("COUNT"); }
  if (Object.keys(parts).some((name) => !said.has(name))) text += w.more;
  return text;
}

// A weekday's name ("Monday" / "星期一"), or its short form for a toggle.
export function dayName(day, language = "en", short = false) {
  const name = (WORDS[language] || WORDS.en).days[day] || day;
  if (!short) return name;
  return language === "zh-Hant" ? name.slice(-1) : name.slice(0, 3);
}

// A monthly choice as the editor lists it: "Day 15", "The last Friday".
export function monthlyChoiceText(choice, language = "en") {
  const w = WORDS[language] || WORDS.en;
  if (language === "zh-Hant")
    return choice.monthBy === "day" ? `${choice.monthDay} 日` : `${w.ordinals[choice.nth]}${w.days[choice.weekday]}`;
  return choice.monthBy === "day" ? `Day ${choice.monthDay}` : `The ${w.ordinals[choice.nth]} ${w.days[choice.weekday]}`;
}
