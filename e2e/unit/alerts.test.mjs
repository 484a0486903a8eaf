// The editor's alert rules, loaded straight from the page's module.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { fileURLToPath } from "node:url";

const source = readFileSync(fileURLToPath(new URL("../../data/html/js/alerts.js", import.meta.url)), "utf8");
const alerts = await import("data:text/javascript;charset=utf-8," + encodeURIComponent(source));

const timed = (alarms) => ({ all_day: false, alarms });
const display = (extra) => ({ action: "DISPLAY", own: false, ...extra });

test("the choices show the alarms they can, others stay custom, and only a change is sent", () => {
  const record = timed([display({ minutes: 20 }), display({ minutes: 15 }), { action: "EMAIL", minutes: 1440 },
    display({ minutes: 10, related: "end" }), display({ at: "2026-12-10T07:00:00" }), display({ minutes: 60, repeat: 2, repeat_minutes: 5 }),
    { action: "AUDIO", minutes: 1440 }]);
  const shown = alerts.alertsFromRecord(record);
  assert.equal(shown.first, "15");
  assert.equal(shown.second, "1440");
  assert.deepEqual(shown.custom.map((alarm) => alarm.minutes ?? alarm.at), [20, 10, "2026-12-10T07:00:00", 60],
    "EMAIL is neither shown nor custom");
  const form = { allDay: false, alertFirst: "15", alertSecond: "1440" };
  assert.equal(alerts.alertsField(form, record), undefined, "unchanged alerts are not sent");
  assert.deepEqual(alerts.alertsField({ ...form, alertSecond: "none" }, record), [15]);
  assert.deepEqual(alerts.alertsField({ ...form, allDay: true, alertFirst: "-540", alertSecond: "none" }, record), [-540]);
  assert.deepEqual(alerts.alertsField({ allDay: false, alertFirst: "30", alertSecond: "30" }, null), [30]);
  assert.equal(alerts.alertsField({ allDay: false, alertFirst: "none", alertSecond: "none" }, null), undefined);
  // An all-day event shows only the all-day choices: 15 minutes before midnight is custom there.
  assert.equal(alerts.alertsFromRecord({ all_day: true, alarms: [display({ minutes: 15 })] }).first, "none");
});

test("new events start with the default alert of their kind", () => {
  const defaults = { timed: 10, all_day: 900 };
  assert.equal(alerts.defaultAlerts(defaults, false).first, "10");
  assert.equal(alerts.defaultAlerts(defaults, true).first, "900");
  assert.equal(alerts.defaultAlerts({ timed: 7, all_day: null }, false).first, "none", "not a choice");
  assert.equal(alerts.alertLabel(60, false).key, "alert_one_hour");
  assert.deepEqual(alerts.alertLabel(2880, false), { key: "alert_days", values: { n: 2 } });
  assert.equal(alerts.alertLabel(-540, true).key, "alert_all_day_m540");
  assert.deepEqual(alerts.customAlertWords(display({ minutes: -30, related: "end" })),
    { key: "alert_custom_after_end", values: { n: 30 } });
});
