// How the display settings become the week's first day, the clock and the
// lunar dates, loaded straight from the page's module.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { fileURLToPath } from "node:url";

const source = readFileSync(fileURLToPath(new URL("../../data/html/js/reading-rules.js", import.meta.url)), "utf8");
const { firstDayOf, twelveHourOf, lunarOf, DEFAULT_READING } = await import("data:text/javascript;charset=utf-8," + encodeURIComponent(source));

test("a chosen value wins; \"system\" and \"language\" follow the system's locale and the page's language", () => {
  const reading = (changes) => ({ ...DEFAULT_READING, ...changes });
  const firstDays = [
    [{ week_start: "monday" }, "en", "en-US", 1], [{ week_start: "sunday" }, "zh-Hant", "zh-TW", 0],
    [{}, "en", "en-GB", 1], [{}, "en", "en-US", 0], [{}, "zh-Hant", "zh-TW", 0],
    [{}, "zh-Hant", "en-US", 1], [{}, "en", "de-DE", 0], [{}, "en", "not a locale!", 0],
  ];
  for (const [changes, language, locale, expected] of firstDays)
    assert.equal(firstDayOf(reading(changes), language, locale), expected, `${JSON.stringify(changes)} ${language} ${locale}`);
  assert.deepEqual([twelveHourOf(reading({}), "en"), twelveHourOf(reading({}), "zh-Hant"), twelveHourOf(reading({ clock: "24" }), "en"),
                    twelveHourOf(reading({ clock: "12" }), "zh-Hant")], [true, false, false, true]);
  assert.deepEqual([lunarOf(reading({}), "en"), lunarOf(reading({}), "zh-Hant"), lunarOf(reading({ lunar: "on" }), "en"),
                    lunarOf(reading({ lunar: "off" }), "zh-Hant")], [false, true, true, false]);
});
