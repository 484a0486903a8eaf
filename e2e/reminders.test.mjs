// Alerts set in the editor land on the server; alarms other programs wrote
// show in it and survive; a reminder comes due in the page when the desktop
// has no notification service.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { startProgram, startBrowser, openPage, screenshot, axeScan, addAccount } from "./support.mjs";
import { startRadicale, ics } from "./radicale.mjs";

let radicale, program, browser, page, work;

const utc = (date) => date.toISOString().replace(/[-:]/g, "").replace(/\.\d+Z$/, "Z");

before(async () => {
  radicale = await startRadicale();
  work = await radicale.createCalendar("work", "Work", "#FF2968FF");
  await radicale.put(work + "review.ics", ics(
    "BEGIN:VEVENT", "UID:review", "DTSTAMP:20261201T000000Z", "DTSTART:20270105T100000", "DTEND:20270105T110000",
    "SUMMARY:Design review",
    "BEGIN:VALARM", "X-WR-ALARMUID:A1", "UID:A1", "TRIGGER:-PT15M", "ACTION:DISPLAY", "DESCRIPTION:Reminder", "END:VALARM",
    "BEGIN:VALARM", "ACTION:DISPLAY", "TRIGGER:-PT20M", "DESCRIPTION:Odd", "END:VALARM",
    "END:VEVENT"));
  // Due a few seconds after the start, one minute before the event.
  const soon = new Date(Date.now() + 75000);
  await radicale.put(work + "soon.ics", ics(
    "BEGIN:VEVENT", "UID:soon", "DTSTAMP:20261201T000000Z", `DTSTART:${utc(soon)}`, "DURATION:PT30M",
    "SUMMARY:Call with Mei", "LOCATION:Room 5",
    "BEGIN:VALARM", "ACTION:DISPLAY", "TRIGGER:-PT1M", "DESCRIPTION:Reminder", "END:VALARM", "END:VEVENT"));
  // No session bus: reminders come to the page.
  program = await startProgram({ WRENFOLD_CALDAV_URL: radicale.root, DBUS_SESSION_BUS_ADDRESS: "unix:path=/nonexistent" });
  browser = await startBrowser();
  page = await openPage(browser, program.address);
  await page.getByRole("button", { name: "New event", exact: true }).waitFor();
  await addAccount(page, radicale);
});

after(async () => {
  await browser?.close();
  if (program) assert.equal(await program.stop(), 0);
  await radicale?.stop();
});


test("a reminder due while no notification service runs shows in the page, and Snooze takes it away", async () => {
  const reminder = page.getByRole("alert").filter({ hasText: "Call with Mei" });
  await reminder.waitFor({ timeout: 20000 });
  assert.match(await reminder.textContent(), /in 1 minute|now/);
  assert.match(await reminder.textContent(), /Room 5/);
  await screenshot(page, "reminder-banner");
  await reminder.getByRole("button", { name: "Snooze", exact: true }).click();
  await reminder.waitFor({ state: "detached" });
});

test("a foreign alarm shows in the editor, and a second alert saved lands beside it on the server", async () => {
  await page.getByRole("button", { name: "Month", exact: true }).click();
  for (let i = 0; i < 24 && !(await page.locator('td[data-date="2027-01-15"]').count()); i++)
    await page.getByRole("button", { name: "Next", exact: true }).click();
  await page.locator(".fc-event", { hasText: "Design review" }).click();
  const dialog = page.getByRole("dialog", { name: "Edit event" });
  assert.equal(await dialog.getByLabel("Alert", { exact: true }).locator("option:checked").textContent(), "15 minutes before");
  assert.equal(await dialog.getByLabel("Second alert", { exact: true }).locator("option:checked").textContent(), "None");
  await dialog.getByText("Custom alert (kept as it is): 20 min before").waitFor();
  assert.deepEqual(await axeScan(page, "dialog[open]"), []);
  await screenshot(page, "editor-alerts");
  await dialog.getByLabel("Second alert", { exact: true }).selectOption({ label: "1 hour before" });
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  const stored = await radicale.get(work + "review.ics");
  // The server writes objects in its own order, so the foreign alarms are
  // checked by their lines (the unit tests hold them byte for byte).
  assert.equal(stored.match(/BEGIN:VALARM/g).length, 3);
  for (const line of ["X-WR-ALARMUID:A1", "UID:A1", "TRIGGER:-PT15M", "TRIGGER:-PT20M", "DESCRIPTION:Odd"])
    assert.ok(stored.includes(line + "\r\n"), line);
  assert.match(stored, /TRIGGER:-PT1H\r\n(.*\r\n)*?X-WRENFOLD-ALARM:1/);
});

test("\"15 minutes before\" set on a new event is a VALARM on the server", async () => {
  await page.getByRole("button", { name: "New event", exact: true }).click();
  const dialog = page.getByRole("dialog", { name: "New event" });
  await dialog.getByLabel("Title", { exact: true }).fill("Dentist");
  await dialog.getByLabel("Alert", { exact: true }).selectOption({ label: "15 minutes before" });
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  const stored = (await radicale.list(work)).find((text) => text.includes("SUMMARY:Dentist"));
  assert.match(stored, /BEGIN:VALARM\r\n(.*\r\n)*?TRIGGER:-PT15M\r\n(.*\r\n)*?END:VALARM/);
  assert.match(stored, /X-WRENFOLD-ALARM:1/);
});
