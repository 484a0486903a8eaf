// Repetition rules: what the editor makes of them, what it writes, and how
// they read in both languages.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { fileURLToPath } from "node:url";

process.env.TZ = "Asia/Taipei";
const source = readFileSync(fileURLToPath(new URL("../../data/html/js/repeat-rule.js", import.meta.url)), "utf8");
const rules = await import("data:text/javascript;charset=utf-8," + encodeURIComponent(source));

test("every rule reads in words in both languages, also rules written elsewhere", () => {
  const cases = [
    ["", "", "Does not repeat", "不重複"],
    ["FREQ=DAILY", "", "Every day", "每天"],
    ["FREQ=DAILY;INTERVAL=3;COUNT=1", "", "Every 3 days, once", "每 3 天，共 1 次"],
    ["FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR", "", "Every weekday", "每個工作日"],
    ["RRULE:FREQ=WEEKLY;BYDAY=MO", "", "Every week on Monday", "每週的星期一"],
    ["FREQ=WEEKLY;INTERVAL=2;BYDAY=TH,MO;UNTIL=20270331T155959Z", "",
     "Every 2 weeks on Monday and Thursday, until 31 Mar 2027", "每 2 週的星期一、星期四，至 2027年3月31日"],
    ["FREQ=WEEKLY;BYDAY=MO,WE,FR;WKST=SU", "", "Every week on Monday, Wednesday and Friday", "每週的星期一、星期三、星期五"],
    ["FREQ=MONTHLY;BYMONTHDAY=15;COUNT=10", "", "Every month on day 15, 10 times", "每月的 15 日，共 10 次"],
    ["FREQ=MONTHLY;INTERVAL=2;BYDAY=-1FR", "", "Every 2 months on the last Friday", "每 2 個月的最後一個星期五"],
    ["FREQ=MONTHLY;BYDAY=TU;BYSETPOS=2", "", "Every month on the second Tuesday", "每月的第二個星期二"],
    ["FREQ=YEARLY;UNTIL=20300101", "2027-03-31", "Every year on 31 Mar, until 1 Jan 2030", "每年的3月31日，至 2030年1月1日"],
    ["FREQ=YEARLY;BYMONTH=11;BYDAY=4TH", "", "Every year on the fourth Thursday in Nov", "每年的第四個星期四（11月）"],
    // What the words cannot say is named, never dropped silently.
    ["FREQ=MONTHLY;BYMONTHDAY=1,15", "", "Every month (with further conditions)", "每月（另有其他條件）"],
    ["FREQ=HOURLY;INTERVAL=5;BYHOUR=9,14", "", "Every 5 hours (with further conditions)", "每 5 小時（另有其他條件）"],
  ];
  for (const [rule, start, en, zh] of cases) {
    assert.equal(rules.describeRule(rule, "en", start), en, rule);
    assert.equal(rules.describeRule(rule, "zh-Hant", start), zh, rule);
  }
});

test("the editor shows the rules it can express and writes them back the same; others are custom", () => {
  const roundTrips = [
    "FREQ=DAILY", "FREQ=DAILY;INTERVAL=4;COUNT=3", "FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR",
    "FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,TH;UNTIL=20270331T155959Z", "FREQ=MONTHLY;BYMONTHDAY=31",
    "FREQ=MONTHLY;BYDAY=3TU", "FREQ=MONTHLY;BYDAY=-1FR;COUNT=5", "FREQ=YEARLY;INTERVAL=2",
  ];
  for (const rule of roundTrips) assert.equal(rules.ruleFromModel(rules.modelFromRule(rule)), rule, rule);
  for (const rule of ["FREQ=MONTHLY;BYMONTHDAY=1,15", "FREQ=HOURLY", "FREQ=WEEKLY;BYDAY=MO;BYHOUR=9", "FREQ=DAILY;COUNT=0",
                      "FREQ=WEEKLY;UNTIL=20270101;COUNT=3", "FREQ=MONTHLY;BYDAY=1MO,3MO", "FREQ=DAILY;INTERVAL=x"])
    assert.equal(rules.modelFromRule(rule).kind, "custom", rule);
  assert.equal(rules.modelFromRule("FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,TU,WE,TH,FR").kind, "weekly", "every other week is not 'weekdays'");

  // An all-day series ends on a date; a timed one at the end of that local day, in UTC.
  const weekly = { kind: "weekly", interval: "1", days: ["SU", "MO"], ends: "until", until: "2027-03-31" };
  assert.equal(rules.ruleFromModel(weekly, { allDay: true }), "FREQ=WEEKLY;BYDAY=MO,SU;UNTIL=20270331");
  assert.equal(rules.ruleFromModel(weekly), "FREQ=WEEKLY;BYDAY=MO,SU;UNTIL=20270331T155959Z");
});

test("a start date offers its day of the month and its weekday's place, the last one near the month's end", () => {
  const text = (date) => rules.monthlyChoicesFor(date).map((choice) => rules.monthlyChoiceText(choice, "en"));
  assert.deepEqual(text("2027-01-12"), ["Day 12", "The second Tuesday"]);
  assert.deepEqual(text("2027-01-26"), ["Day 26", "The fourth Tuesday", "The last Tuesday"]);
  assert.deepEqual(text("2027-01-29"), ["Day 29", "The last Friday"]);
  assert.equal(rules.monthlyChoiceText({ monthBy: "weekday", nth: -1, weekday: "FR" }, "zh-Hant"), "最後一個星期五");
});
