// How the reading settings ("reading" in the program's settings) turn into
// what the views use. Pure, so the rules can be tested alone.
export const DEFAULT_READING = { theme: "system", week_start: "system", clock: "language", week_numbers: false, lunar: "language" };

// 0 for Sunday, 1 for Monday. "system" is the system locale's own first day
// when that locale is of the page's language (Sunday or Monday only), else
// the language's custom: Monday in Chinese, Sunday in English.
export function firstDayOf(reading, language, locale = "") {
  if (reading.week_start === "sunday") return 0;
  if (reading.week_start === "monday") return 1;
  const sameLanguage = String(locale).toLowerCase().startsWith(language === "zh-Hant" ? "zh" : "en");
  if (sameLanguage) try {
    const info = new Intl.Locale(locale || "und").getWeekInfo?.() ?? new Intl.Locale(locale || "und").weekInfo;
    if (info?.firstDay === 7) return 0;
    if (info?.firstDay === 1) return 1;
  } catch { /* an unknown locale falls back to the language */ }
  return language === "zh-Hant" ? 1 : 0;
}

// Whether times read 9:30 AM (true) or 09:30.
export function twelveHourOf(reading, language) {
  if (reading.clock === "12") return true;
  if (reading.clock === "24") return false;
  return language !== "zh-Hant";
}

// Lunar dates are on by default on the Chinese page only.
export function lunarOf(reading, language) {
  if (reading.lunar === "on") return true;
  if (reading.lunar === "off") return false;
  return language === "zh-Hant";
}
