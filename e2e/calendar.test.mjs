// The calendar page driven as a person would, against a real Radicale holding
// events written by another client.
import { test, before, after, afterEach } from "node:test";
import assert from "node:assert/strict";
import { startProgram, startBrowser, openPage, screenshot, axeScan, addAccount, waitFor, showMonth, closeDialogs } from "./support.mjs";
import { startRadicale, ics } from "./radicale.mjs";

let radicale, program, browser, page;
const calendars = {};
const apiCalls = [];
// Every refresh token the page's polls were answered with: a rise lets the
// page refetch once, whatever a test is doing at that moment.
const refreshTokensSeen = new Set();

// Every title shown per day in the view on screen.
function titlesByDay(page) {
  return page.evaluate(() => {
    const days = {};
    const add = (date, title) => { (days[date] ||= []).push(title); };
    if (document.querySelector(".fc-list")) {
      let date = null;
      for (const row of document.querySelectorAll(".fc-list-table tr")) {
        if (row.classList.contains("fc-list-day")) date = row.dataset.date;
        else if (row.classList.contains("fc-list-event")) add(date, row.querySelector(".fc-list-event-title .fc-event-title").textContent);
      }
      return days;
    }
    for (const cell of document.querySelectorAll("td[data-date]"))
      for (const title of cell.querySelectorAll(".fc-event-title")) add(cell.dataset.date, title.textContent);
    return days;
  });
}

async function waitForTitle(page, title, present = true) {
  await page.waitForFunction(([wanted, present]) =>
    [...document.querySelectorAll(".fc-event-title, .fc-list-event-title")].some((node) => node.textContent === wanted) === present,
  [title, present]);
}

async function serverEvents(calendarUrl) {
  return (await radicale.list(calendarUrl)).join("\n");
}

before(async () => {
  radicale = await startRadicale();
  calendars.work = await radicale.createCalendar("work", "Work", "#FF2968FF");
  calendars.family = await radicale.createCalendar("family", "家庭", "#34C759FF");
  calendars.broken = await radicale.createCalendar("broken", "Archive", "#8E8E93FF");
  const stamp = "DTSTAMP:20261201T000000Z";
  await radicale.put(calendars.work + "series.ics", ics(
    "BEGIN:VEVENT", "UID:series-1", stamp, "DTSTART:20270105T100000", "DTEND:20270105T110000",
    "RRULE:FREQ=WEEKLY;COUNT=6", "EXDATE:20270112T100000", "SUMMARY:Team sync 週會", "END:VEVENT",
    "BEGIN:VEVENT", "UID:series-1", stamp, "RECURRENCE-ID:20270119T100000", "DTSTART:20270120T140000",
    "DTEND:20270120T150000", "SUMMARY:Team sync moved", "END:VEVENT"));
  await radicale.put(calendars.work + "offsite.ics", ics(
    "BEGIN:VEVENT", "UID:offsite", stamp, "DTSTART;VALUE=DATE:20270107", "DTEND;VALUE=DATE:20270108",
    "SUMMARY:Company offsite", "END:VEVENT"));
  await radicale.put(calendars.work + "trip.ics", ics(
    "BEGIN:VEVENT", "UID:trip", stamp, "DTSTART;VALUE=DATE:20270113", "DTEND;VALUE=DATE:20270116",
    "SUMMARY:台南之旅 Trip", "END:VEVENT"));
  await radicale.put(calendars.work + "xss.ics", ics(
    "BEGIN:VEVENT", "UID:xss", stamp, "DTSTART:20270108T090000", "DTEND:20270108T093000",
    "SUMMARY:<img src=x onerror=alert(1)>", "END:VEVENT"));
  await radicale.put(calendars.work + "bidi.ics", ics(
    "BEGIN:VEVENT", "UID:bidi", stamp, "DTSTART:20270128T090000", "DTEND:20270128T093000",
    "SUMMARY:Invoice \u202Efdp.exe", "END:VEVENT"));
  await radicale.put(calendars.family + "dinner.ics", ics(
    "BEGIN:VEVENT", "UID:dinner", stamp, "DTSTART:20270106T190000", "DTEND:20270106T210000",
    "SUMMARY:晚餐 Dinner", "LOCATION:台北", "END:VEVENT"));

  // A floating weekly series with an override, for the edits of one occurrence.
  await radicale.put(calendars.family + "standup.ics", ics(
    "BEGIN:VEVENT", "UID:standup", "DTSTAMP:20261201T000000Z", "DTSTART:20270202T100000", "DTEND:20270202T103000",
    "RRULE:FREQ=WEEKLY;COUNT=4", "SUMMARY:Standup 晨會", "END:VEVENT",
    "BEGIN:VEVENT", "UID:standup", "DTSTAMP:20261201T000000Z", "RECURRENCE-ID:20270209T100000",
    "DTSTART:20270209T150000", "DTEND:20270209T153000", "SUMMARY:Standup moved", "END:VEVENT"));

  for (let i = 1; i <= 6; i++)
    await radicale.put(calendars.work + `crowd-${i}.ics`, ics(
      "BEGIN:VEVENT", `UID:crowd-${i}`, stamp, `DTSTART:20270225T0${i + 2}0000`, `DTEND:20270225T0${i + 2}3000`,
      `SUMMARY:Crowd ${i}`, "END:VEVENT"));
  program = await startProgram({ WRENFOLD_CALDAV_URL: radicale.root });
  browser = await startBrowser();
  page = await openPage(browser, program.address);
  page.on("request", (request) => { if (request.url().includes("/api/")) apiCalls.push(request.url().replace(/.*\/api\//, "")); });
  page.on("response", async (response) => {
    if (!response.url().endsWith("/api/get_runtime_state")) return;
    try { refreshTokensSeen.add((await response.json()).refresh_token); } catch { /* the page was closed */ }
  });
  page.on("dialog", (dialog) => { page.problems.push("a script opened a dialog: " + dialog.message()); dialog.dismiss(); });
  await page.getByRole("button", { name: "New event", exact: true }).waitFor();
  assert.doesNotMatch(page.url(), /token/, "the token leaves the address bar");
  await addAccount(page, radicale);
});

// A failed test must not leave a dialog that blocks the next one.
afterEach(async () => {
  page.problems.length = 0;
  await closeDialogs(page);
});

after(async () => {
  await browser?.close();
  if (program) assert.equal(await program.stop(), 0);
  await radicale?.stop();
});

test("the events written by another client are on their days in every view", async () => {
  await showMonth(page, 2027, 1);
  await waitForTitle(page, "晚餐 Dinner");
  let days = await titlesByDay(page);
  assert.deepEqual(days["2027-01-05"], ["Team sync 週會"]);
  assert.equal(days["2027-01-12"], undefined, "the excluded occurrence is not shown");
  assert.deepEqual(days["2027-01-20"], ["Team sync moved"], "the override is on its own day");
  assert.deepEqual(days["2027-01-26"], ["Team sync 週會"]);
  assert.deepEqual(days["2027-01-07"], ["Company offsite"]);
  assert.deepEqual(days["2027-01-13"], ["台南之旅 Trip"], "a multi-day event starts on its first day");
  assert.equal(days["2027-01-08"].length, 1);
  assert.ok(days["2027-01-01"]?.length, "New Year's Day is in the month");
  const series = page.locator('td[data-date="2027-01-05"] .fc-event .fc-daygrid-event-dot');
  assert.equal(await series.evaluate((node) => getComputedStyle(node).borderTopColor), "rgb(255, 41, 104)");
  await screenshot(page, "month-en");
  assert.deepEqual(await axeScan(page), [], "the month with events has no serious accessibility fault");

  await page.getByRole("button", { name: "Next", exact: true }).click();
  await page.getByRole("button", { name: "Previous", exact: true }).click();
  await page.getByRole("button", { name: "Week", exact: true }).click();
  await page.getByRole("button", { name: /Wednesday, January 13, 2027/ }).click();
  await waitForTitle(page, "台南之旅 Trip");
  days = await titlesByDay(page);
  assert.deepEqual(days["2027-01-13"], ["台南之旅 Trip"], "the trip is in the all-day row");
  assert.ok(await page.locator(".fc-daygrid-body .fc-event", { hasText: "台南之旅 Trip" }).count(), "the trip is an all-day event");
  assert.equal(days["2027-01-12"], undefined);
  await screenshot(page, "week-en");

  await page.getByRole("button", { name: /Wednesday, January 6, 2027/ }).click();
  await waitForTitle(page, "晚餐 Dinner");
  assert.deepEqual(await axeScan(page), [], "a week with events has no serious accessibility fault");
  await page.getByRole("button", { name: "Agenda", exact: true }).click();
  await waitForTitle(page, "Team sync moved");
  days = await titlesByDay(page);
  for (const day of ["2027-01-13", "2027-01-14", "2027-01-15"]) assert.ok(days[day].includes("台南之旅 Trip"), day);
  assert.equal(days["2027-01-16"], undefined, "the all-day end is exclusive");
  await screenshot(page, "agenda-en");

  await page.getByRole("button", { name: "Day", exact: true }).click();
  await page.getByRole("button", { name: /Wednesday, January 20, 2027/ }).click();
  await waitForTitle(page, "Team sync moved");
  await screenshot(page, "day-en");
  assert.deepEqual(page.problems, []);
});

test("a title made of markup is shown as text and runs nothing", async () => {
  await showMonth(page, 2027, 1);
  const event = page.locator('td[data-date="2027-01-08"] .fc-event-title');
  assert.equal(await event.textContent(), "<img src=x onerror=alert(1)>");
  assert.equal(await page.locator("#calendar img").count(), 0);
  await event.click();
  const dialog = page.getByRole("dialog", { name: "Edit event" });
  assert.equal(await dialog.getByLabel("Title", { exact: true }).inputValue(), "<img src=x onerror=alert(1)>");
  await dialog.getByRole("button", { name: "Cancel" }).click();
  assert.deepEqual(page.problems, []);
});

test("text with bidi controls is isolated in the calendar, the sidebar and the editor", async () => {
  await showMonth(page, 2027, 1);
  await waitForTitle(page, "Invoice \u202Efdp.exe");
  const isolation = (locator) => locator.evaluate((node) => getComputedStyle(node).unicodeBidi);
  const title = page.locator('td[data-date="2027-01-28"] .fc-event-title');
  assert.equal(await isolation(title), "isolate");
  assert.equal(await isolation(page.locator(".calendar-name").first()), "isolate");
  await screenshot(page, "bidi-title-isolated");
  await title.click();
  const dialog = page.getByRole("dialog", { name: "Edit event" });
  const input = dialog.getByLabel("Title", { exact: true });
  assert.equal(await input.inputValue(), "Invoice \u202Efdp.exe");
  assert.equal(await isolation(input), "isolate");
  await dialog.getByRole("button", { name: "Cancel" }).click();
  assert.deepEqual(page.problems, []);
});

test("hiding and showing a calendar needs no request, and the choice is kept", async (t) => {
  // A failure half-way must not leave the calendar hidden for the tests after.
  t.after(async () => {
    await page.getByRole("checkbox", { name: "家庭" }).check();
    await page.getByRole("switch", { name: "Taiwan holidays" }).check();
  });
  await showMonth(page, 2027, 1);
  await waitForTitle(page, "晚餐 Dinner");
  const fetches = () => apiCalls.filter((call) => call === "get_events").length;
  const before = fetches();
  const tokensBefore = refreshTokensSeen.size;
  const visibilitySaved = page.waitForResponse((response) => response.url().endsWith("/api/set_calendar_visible"));
  await page.getByRole("checkbox", { name: "家庭" }).uncheck();
  await visibilitySaved;
  await waitForTitle(page, "晚餐 Dinner", false);
  await waitForTitle(page, "Company offsite");
  const holidaysSaved = page.waitForResponse((response) => response.url().endsWith("/api/set_tw_holidays"));
  await page.getByRole("switch", { name: "Taiwan holidays" }).uncheck();
  await holidaysSaved;
  assert.equal(await page.locator(".fc-event.holiday").count(), 0);
  // A background sync landing meanwhile raises the refresh token, and the
  // page rightly refetches for it; hiding itself asks for nothing.
  const rises = refreshTokensSeen.size - tokensBefore;
  assert.ok(fetches() - before <= rises, `filtered from what the page holds (${fetches() - before} fetches, ${rises} rises)`);

  await page.reload();
  await showMonth(page, 2027, 1);
  await waitForTitle(page, "Company offsite");
  assert.equal(await page.getByRole("checkbox", { name: "家庭" }).isChecked(), false);
  assert.equal(await page.getByRole("switch", { name: "Taiwan holidays" }).isChecked(), false);
  assert.equal(await page.locator(".fc-event.holiday").count(), 0);
  await page.getByRole("checkbox", { name: "家庭" }).check();
  await page.getByRole("switch", { name: "Taiwan holidays" }).check();
  await waitForTitle(page, "晚餐 Dinner");
  assert.ok(await page.locator(".fc-event.holiday").count());
  assert.deepEqual(page.problems, []);
});

test("the sidebar's controls keep the keyboard focus when the sidebar redraws", async () => {
  await showMonth(page, 2027, 1);
  const focusedName = () => page.evaluate(() => {
    const node = document.activeElement;
    return node.getAttribute("aria-label") || node.closest("label")?.textContent || node.textContent;
  });
  const family = page.getByRole("checkbox", { name: "家庭" });
  await family.focus();
  for (const checked of [false, true]) {
    const saved = page.waitForResponse((response) => response.url().endsWith("/api/set_calendar_visible"));
    await page.keyboard.press("Space");
    await saved;
    assert.equal(await family.isChecked(), checked);
    assert.equal(await focusedName(), "家庭", "the switch keeps the focus, so Space toggles it again");
  }

  const nextMonth = page.locator("#mini-month").getByRole("button", { name: "Next month" });
  await nextMonth.focus();
  await page.keyboard.press("Enter");
  await page.keyboard.press("Enter");
  assert.match(await page.locator(".mini-title").textContent(), /March 2027/);
  assert.equal(await focusedName(), "Next month");
  await page.locator("#mini-month").getByRole("button", { name: /March 3, 2027/ }).focus();
  await page.keyboard.press("Enter");
  await page.waitForSelector('td[data-date="2027-03-15"]');
  assert.match(await focusedName(), /March 3, 2027/, "the day picked keeps the focus");
  assert.deepEqual(page.problems, []);
});

// The point in the week view where a slot of a day begins.
async function slotPoint(page, date, time) {
  const column = await boxOf(page.locator(`td.fc-timegrid-col[data-date="${date}"]`));
  const lane = await boxOf(page.locator(`td.fc-timegrid-slot-lane[data-time="${time}"]`));
  return { x: column.x + column.width / 2, y: lane.y + lane.height / 2 };
}

test("an event is created from an empty slot, edited, dragged, moved to another calendar and deleted", async () => {
  await page.getByRole("button", { name: "Options for Work" }).click();
  await page.getByRole("menuitem", { name: "Use for new events" }).click();
  await page.locator(".calendar-row", { hasText: "Work" }).getByText("Default").waitFor();
  await page.getByRole("button", { name: "Week", exact: true }).click();
  await showMonth(page, 2027, 1);
  await page.getByRole("button", { name: "Week", exact: true }).click();
  await page.getByRole("button", { name: /Wednesday, January 6, 2027/ }).click();
  await page.locator('td.fc-timegrid-slot-lane[data-time="14:00:00"]').scrollIntoViewIfNeeded();
  const slot = await slotPoint(page, "2027-01-06", "14:00:00");
  await page.mouse.click(slot.x, slot.y);

  let dialog = page.getByRole("dialog", { name: "New event" });
  assert.equal(await dialog.getByLabel("Start", { exact: true }).inputValue(), "Wed 6 Jan 2027", "prefilled with the slot");
  assert.equal(await dialog.getByLabel("Start time", { exact: true }).inputValue(), "2:00 PM");
  assert.equal(await dialog.getByLabel("End time", { exact: true }).inputValue(), "2:30 PM");
  assert.equal(await dialog.getByLabel("Calendar", { exact: true }).locator("option:checked").textContent(), "Work", "the default calendar");
  const calendarNames = await dialog.getByLabel("Calendar", { exact: true }).locator("option").allTextContents();
  assert.ok(!calendarNames.includes("台灣節日"));
  await dialog.getByLabel("Title", { exact: true }).fill("牙醫 Dentist");
  await dialog.getByLabel("End time", { exact: true }).fill("15:00");
  await dialog.getByLabel("Location", { exact: true }).fill("中山區");
  assert.deepEqual(await axeScan(page, "dialog[open]"), [], "the editor has no serious accessibility fault");
  await screenshot(page, "editor-en");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  await waitForTitle(page, "牙醫 Dentist");
  let stored = await serverEvents(calendars.work);
  assert.match(stored, /SUMMARY:牙醫 Dentist/);
  assert.match(stored, /DTSTART;TZID=Asia\/Taipei:20270106T140000/);
  assert.match(stored, /DTEND;TZID=Asia\/Taipei:20270106T150000/);

  // Edit the title, then drag the event to the next day.
  await page.locator(".fc-event", { hasText: "牙醫 Dentist" }).click();
  dialog = page.getByRole("dialog", { name: "Edit event" });
  assert.equal(await dialog.getByLabel("Location", { exact: true }).inputValue(), "中山區");
  await dialog.getByLabel("Title", { exact: true }).fill("牙醫 Dentist (checkup)");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  await waitForTitle(page, "牙醫 Dentist (checkup)");
  assert.match(await serverEvents(calendars.work), /SUMMARY:牙醫 Dentist \(checkup\)/);

  const event = await boxOf(page.locator(".fc-event", { hasText: "牙醫 Dentist (checkup)" }));
  const target = await slotPoint(page, "2027-01-07", "14:00:00");
  await page.mouse.move(event.x + event.width / 2, event.y + 8);
  await page.mouse.down();
  await page.mouse.move(target.x, event.y + 20, { steps: 8 });
  await page.mouse.move(target.x, event.y + 8, { steps: 4 });
  await page.mouse.up();
  await page.waitForFunction(() => document.querySelector('td.fc-timegrid-col[data-date="2027-01-07"] .fc-event-title')?.textContent === "牙醫 Dentist (checkup)");
  await page.waitForTimeout(500);
  await waitFor(async () => /DTSTART;TZID=Asia\/Taipei:20270107T140000/.test(await serverEvents(calendars.work)));

  // Move it to the family calendar of the same account.
  await page.locator(".fc-event", { hasText: "牙醫 Dentist (checkup)" }).click();
  dialog = page.getByRole("dialog", { name: "Edit event" });
  await dialog.getByLabel("Calendar", { exact: true }).selectOption({ label: "家庭" });
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  await waitFor(async () => /牙醫 Dentist/.test(await serverEvents(calendars.family)));
  assert.doesNotMatch(await serverEvents(calendars.work), /牙醫 Dentist/);
  // Shown in the colour of its new calendar.
  await page.waitForFunction(() => [...document.querySelectorAll(".fc-event")].some((node) =>
    node.textContent.includes("牙醫 Dentist (checkup)") && getComputedStyle(node).borderLeftColor === "rgb(52, 199, 89)"));

  // Delete asks first; cancelling keeps it.
  await page.locator(".fc-event", { hasText: "牙醫 Dentist (checkup)" }).click();
  dialog = page.getByRole("dialog", { name: "Edit event" });
  await dialog.getByRole("button", { name: "Delete", exact: true }).click();
  const confirm = page.getByRole("dialog", { name: "Delete event" });
  await confirm.getByRole("button", { name: "Delete", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  await waitForTitle(page, "牙醫 Dentist (checkup)", false);
  assert.doesNotMatch(await serverEvents(calendars.family), /牙醫 Dentist/);
  assert.deepEqual(page.problems, []);
});

test("changing a repeating event asks first and keeps its rule, exception and override", async () => {
  await showMonth(page, 2027, 1);
  await page.locator('td[data-date="2027-01-26"] .fc-event').click();
  const dialog = page.getByRole("dialog", { name: "Edit event" });
  assert.equal(await dialog.getByLabel("Repeat", { exact: true }).inputValue(), "weekly");
  await dialog.getByText("Every week, 6 times", { exact: true }).waitFor();
  await dialog.getByLabel("Location", { exact: true }).fill("Room 5");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  const ask = page.getByRole("dialog", { name: "Repeating event" });
  await ask.getByRole("button", { name: "Cancel", exact: true }).click();
  assert.ok(await dialog.isVisible(), "cancelling the question keeps the editor");
  assert.equal(await dialog.getByLabel("Location", { exact: true }).inputValue(), "Room 5");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await ask.getByRole("button", { name: "All events", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  const stored = await serverEvents(calendars.work);
  assert.match(stored, /LOCATION:Room 5/);
  assert.match(stored, /RRULE:FREQ=WEEKLY;COUNT=6/);
  assert.match(stored, /EXDATE[^:\r\n]*:20270112T100000/);
  assert.match(stored, /RECURRENCE-ID[^:\r\n]*:20270119T100000/);
  assert.match(stored, /DTSTART[^:\r\n]*:20270105T100000/, "the series keeps its first day");
  assert.deepEqual(page.problems, []);
});

// The VEVENT blocks of a stored object, unfolded.
function components(stored) {
  return stored.replace(/\r?\n[ \t]/g, "").split("BEGIN:VEVENT").slice(1).map((block) => block.split("END:VEVENT")[0]);
}

test("one occurrence or the whole series: edits, drags and deletes ask and change what was chosen", async () => {
  const url = calendars.family + "standup.ics";
  await showMonth(page, 2027, 2);
  await waitForTitle(page, "Standup moved");
  const occurrence = (day) => page.locator(`td[data-date="${day}"] .fc-event`, { hasText: "Standup" });
  const ask = page.getByRole("dialog", { name: "Repeating event" });
  const stored = async () => components(await radicale.get(url));
  const master = async () => (await stored()).find((block) => !/RECURRENCE-ID/.test(block));
  const override = async (id) => (await stored()).find((block) => new RegExp(`RECURRENCE-ID[^:\r\n]*:${id}`).test(block));

  // This event: an override for the occurrence, the series untouched.
  await occurrence("2027-02-16").click();
  let dialog = page.getByRole("dialog", { name: "Edit event" });
  await dialog.getByLabel("Location", { exact: true }).fill("Room 7");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  // The next edit comes as soon as the page's refetch is answered, as a
  // person's would; it must not be refused as a conflict.
  const refetched = page.waitForResponse((response) => response.url().endsWith("/api/get_events"));
  await ask.getByRole("button", { name: "This event", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  await refetched;
  assert.match(await override("20270216T100000") ?? "", /LOCATION:Room 7/);
  assert.doesNotMatch(await master(), /LOCATION/);

  // All events: new times on one occurrence move the whole floating series,
  // its override along with it.
  await occurrence("2027-02-23").click();
  dialog = page.getByRole("dialog", { name: "Edit event" });
  await dialog.getByLabel("Start", { exact: true }).fill("2027-02-23");
  await dialog.getByLabel("Start time", { exact: true }).fill("11:00");
  await dialog.getByLabel("End", { exact: true }).fill("2027-02-23");
  await dialog.getByLabel("End time", { exact: true }).fill("11:30");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  const refetchedAfterSeries = page.waitForResponse((response) => response.url().endsWith("/api/get_events"));
  await ask.getByRole("button", { name: "All events", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  await refetchedAfterSeries;
  let series = await master();
  assert.match(series, /DTSTART:20270202T110000\r?\n/, "the series moved an hour and stays floating");
  assert.match(series, /DTEND:20270202T113000\r?\n/);
  assert.match(series, /RRULE:FREQ=WEEKLY;COUNT=4/);
  assert.ok(await override("20270209T110000"), "the override follows the series");
  assert.match(await override("20270216T110000") ?? "", /LOCATION:Room 7/);

  // Dragging one occurrence to another day, for this event only.
  await page.waitForFunction(() => document.querySelector('td[data-date="2027-02-23"] .fc-event-time')?.textContent.startsWith("11"));
  const from = await boxOf(occurrence("2027-02-23"));
  const to = await boxOf(page.locator('td[data-date="2027-02-24"]'));
  await page.mouse.move(from.x + from.width / 2, from.y + from.height / 2);
  await page.mouse.down();
  await page.mouse.move(to.x + to.width / 2, to.y + to.height / 2, { steps: 8 });
  await page.mouse.up();
  const refetchedAfterDrag = page.waitForResponse((response) => response.url().endsWith("/api/get_events"));
  await ask.getByRole("button", { name: "This event", exact: true }).click();
  await waitFor(async () => /DTSTART:20270224T110000/.test(await override("20270223T110000") ?? ""));
  assert.match(await master(), /DTSTART:20270202T110000\r?\n/);
  await refetchedAfterDrag;
  await occurrence("2027-02-24").waitFor();

  // Deleting one occurrence leaves an exception; the others stay.
  await occurrence("2027-02-02").click();
  dialog = page.getByRole("dialog", { name: "Edit event" });
  await dialog.getByRole("button", { name: "Delete", exact: true }).click();
  await ask.getByRole("button", { name: "This event", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  series = await master();
  assert.match(series, /EXDATE[^:\r\n]*:20270202T110000/);
  assert.match(series, /RRULE:FREQ=WEEKLY;COUNT=4/);
  await waitFor(async () => (await occurrence("2027-02-02").count()) === 0);
  assert.equal(await occurrence("2027-02-09").count(), 1);
  assert.deepEqual(page.problems, []);
});

test("this and following events ends the series before the occurrence and starts a new one there with the change", async () => {
  await showMonth(page, 2027, 1);
  await page.locator('td[data-date="2027-01-26"] .fc-event').click();
  const dialog = page.getByRole("dialog", { name: "Edit event" });
  await dialog.getByLabel("Title", { exact: true }).fill("Team sync v2");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  const ask = page.getByRole("dialog", { name: "Repeating event" });
  await ask.getByRole("button", { name: "This and following events", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  const blocks = components(await serverEvents(calendars.work));
  const earlier = blocks.find((block) => /UID:series-1\r?\n/.test(block) && !/RECURRENCE-ID/.test(block));
  const later = blocks.find((block) => /SUMMARY:Team sync v2/.test(block));
  assert.match(earlier, /RRULE:FREQ=WEEKLY;UNTIL=20270126T095959\r?\n/, "floating, one second before the occurrence");
  assert.match(earlier, /EXDATE[^:\r\n]*:20270112T100000/);
  assert.ok(blocks.some((block) => /UID:series-1\r?\n/.test(block) && /RECURRENCE-ID[^:\r\n]*:20270119T100000/.test(block)));
  assert.match(later, /DTSTART:20270126T100000\r?\n/);
  assert.match(later, /RRULE:FREQ=WEEKLY;COUNT=3/);
  assert.doesNotMatch(later, /UID:series-1\r?\n/);
  await waitForTitle(page, "Team sync v2");
  assert.deepEqual(page.problems, []);
});

test("a crowded day in the month fills its cell, then \"+n more\" lists the whole day beside it", async () => {
  await showMonth(page, 2027, 2);
  await waitForTitle(page, "Crowd 1");
  const shown = (await titlesByDay(page))["2027-02-25"];
  const more = shown.at(-1);
  const hidden = Number(/^\+(\d+) more$/.exec(more)?.[1]);
  assert.equal(shown.length - 1 + hidden, 6, `${shown.join(", ")} accounts for the six events`);
  assert.ok(await page.locator('td[data-date="2027-02-25"]').evaluate((cell) => {
    const frame = cell.getBoundingClientRect();
    return [...cell.querySelectorAll(".fc-event")].every((entry) => entry.getBoundingClientRect().bottom <= frame.bottom + 1);
  }), "every entry lies inside the cell");
  await screenshot(page, "month-crowded-en");
  await page.locator('td[data-date="2027-02-25"] .fc-event', { hasText: more }).click();
  const day = page.getByRole("dialog", { name: "Thursday, February 25, 2027" });
  for (let i = 1; i <= 6; i++) await day.getByRole("button", { name: new RegExp(`Crowd ${i}$`) }).waitFor();
  await page.keyboard.press("Escape");
  await day.waitFor({ state: "detached" });
  assert.ok(await page.locator(".fc-dayGridMonth-view").count(), "the month stays on screen");
  assert.deepEqual(page.problems, []);
});

test("an event opened again before its saved change is fetched shows that change, and the next save keeps it", async () => {
  await showMonth(page, 2027, 1);
  const trip = page.locator(".fc-event", { hasText: "台南之旅 Trip" }).first();
  await trip.click();
  let dialog = page.getByRole("dialog", { name: "Edit event" });
  await dialog.getByLabel("Notes", { exact: true }).fill("Bring the tickets");
  // The calendar's refetch is slow to come back, as over a slow connection.
  let release;
  const slow = new Promise((resolve) => { release = resolve; });
  await page.route("**/api/get_events", async (route) => { await slow; await route.continue(); });
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  await trip.click();
  release();
  dialog = page.getByRole("dialog", { name: "Edit event" });
  assert.equal(await dialog.getByLabel("Notes", { exact: true }).inputValue(), "Bring the tickets");
  await dialog.getByLabel("Location", { exact: true }).fill("台南");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  await page.unroute("**/api/get_events");
  const stored = await serverEvents(calendars.work);
  assert.match(stored, /DESCRIPTION:Bring the tickets/);
  assert.match(stored, /LOCATION:台南/);
  assert.deepEqual(page.problems, []);
});

test("months passed quickly on a slow connection end on the last one, never repainted with an older answer", async () => {
  await showMonth(page, 2026, 12);
  // January's answers are held until February's is on screen; a month's
  // range starts in the week before it, so it is named by its middle.
  const held = [];
  await page.route("**/api/get_events", (route) => {
    const [start] = route.request().postDataJSON();
    if (new Date(Date.parse(start) + 15 * 86400000).toISOString().startsWith("2027-01")) held.push(route);
    else route.continue();
  });
  const next = page.getByRole("button", { name: "Next", exact: true });
  try {
    await next.click();
    await next.click();
    await waitFor(async () => held.length > 0);
    await waitForTitle(page, "Crowd 1");
    for (const route of held.splice(0)) await route.continue();
  } finally {
    await page.unroute("**/api/get_events");
    for (const route of held) await route.continue().catch(() => {});
  }
  // The late January answer came and went: February stays, with its own events.
  await page.evaluate(() => new Promise((resolve) => setTimeout(resolve, 300)));
  assert.equal(await page.locator("#title").textContent(), "February 2027");
  const days = await titlesByDay(page);
  assert.ok(days["2027-02-25"]?.includes("Crowd 1"), JSON.stringify(days));
  assert.ok(!Object.values(days).flat().includes("Company offsite"), "January's events painted over February");
  assert.deepEqual(page.problems, []);
});

test("an event saved from the keyboard keeps the focus once the calendar is redrawn", async () => {
  await showMonth(page, 2027, 1);
  await page.locator('td[data-date="2027-01-07"] .fc-event', { hasText: "Company offsite" }).focus();
  await page.keyboard.press("Enter");
  const dialog = page.getByRole("dialog", { name: "Edit event" });
  await dialog.getByLabel("Location", { exact: true }).fill("Hall 2");
  const refetched = page.waitForResponse((response) => response.url().endsWith("/api/get_events"));
  await page.keyboard.press("Enter");
  await dialog.waitFor({ state: "detached" });
  await refetched;
  // Redrawn: its tooltip names the new place.
  await page.locator('.fc-event[title*="Hall 2"]').waitFor();
  await page.waitForFunction(() => document.activeElement?.matches(".fc-event") &&
    document.activeElement.textContent.includes("Company offsite"), null, { timeout: 5000 });
  assert.match(await serverEvents(calendars.work), /LOCATION:Hall 2/);
  assert.deepEqual(page.problems, []);
});

// The box of an element that the next refetch may redraw at any moment.
async function boxOf(locator) {
  let box = null;
  await waitFor(async () => (box = await locator.first().boundingBox().catch(() => null)) !== null);
  return box;
}

test("the language switches without a reload, with Monday weeks and 24-hour times in Chinese", async () => {
  await showMonth(page, 2027, 1);
  await page.evaluate(() => { window.notReloaded = true; });
  await page.getByLabel("Language", { exact: true }).selectOption("zh-Hant");
  await page.getByRole("button", { name: "新增行程", exact: true }).waitFor();
  assert.equal(await page.evaluate(() => window.notReloaded), true);
  assert.equal(await page.locator("#title").textContent(), "2027年1月");
  const firstColumn = await page.locator(".fc-col-header-cell").first().textContent();
  assert.match(firstColumn, /一/, "weeks start on Monday");
  await page.getByRole("switch", { name: "台灣節日" }).waitFor();
  assert.match(await page.locator('td[data-date="2027-01-01"] .fc-event.holiday').textContent(), /開國紀念日|元旦/);
  const notice = page.getByRole("region", { name: "設定助理" });
  await notice.getByText("助理尚未設定。").waitFor();
  await notice.getByRole("button", { name: "稍後", exact: true }).waitFor();
  await screenshot(page, "month-zh");

  await page.getByRole("button", { name: "週", exact: true }).click();
  await page.getByRole("button", { name: /2027年1月6日/ }).click();
  await waitForTitle(page, "晚餐 Dinner");
  assert.match(await page.locator(".fc-event", { hasText: "晚餐 Dinner" }).locator(".fc-event-time").textContent(), /^19:00 - 21:00$/);
  await page.locator('td.fc-timegrid-slot-lane[data-time="18:00:00"]').scrollIntoViewIfNeeded();
  await screenshot(page, "week-zh");
  await page.getByRole("button", { name: "日", exact: true }).click();
  await waitForTitle(page, "晚餐 Dinner");
  await screenshot(page, "day-zh");
  await page.getByRole("button", { name: "議程", exact: true }).click();
  await waitForTitle(page, "晚餐 Dinner");
  const listHeads = () => page.locator(".fc-list-table thead").first().textContent();
  assert.doesNotMatch(await listHeads(), /[A-Za-z]/, "the list's column names, read by screen readers, are Chinese");
  await screenshot(page, "agenda-zh");

  await page.locator(".fc-list-event", { hasText: "晚餐 Dinner" }).click();
  const dialog = page.getByRole("dialog", { name: "編輯行程" });
  for (const name of ["標題", "開始", "結束", "地點", "備註", "行事曆", "重複"]) await dialog.getByLabel(name, { exact: true }).waitFor();
  await screenshot(page, "editor-zh");
  await dialog.getByRole("button", { name: "取消", exact: true }).click();

  // The chosen view and language are what the page opens on next time.
  await page.reload();
  await page.getByRole("button", { name: "議程", exact: true, pressed: true }).waitFor();
  await page.getByLabel("語言", { exact: true }).selectOption("en");
  await page.getByRole("button", { name: "New event", exact: true }).waitFor();
  assert.match(await listHeads(), /Time.*Event/);
  assert.deepEqual(page.problems, []);
});

test("a change made in another window shows up by itself, without closing an open dialog", async () => {
  await showMonth(page, 2027, 1);
  await page.locator('td[data-date="2027-01-07"] .fc-event').click();
  const dialog = page.getByRole("dialog", { name: "Edit event" });
  await dialog.getByLabel("Notes", { exact: true }).fill("typed before the refetch");

  const other = await openPage(browser, program.address);
  await other.getByRole("button", { name: "New event", exact: true }).click();
  const editor = other.getByRole("dialog", { name: "New event" });
  await editor.getByLabel("Title", { exact: true }).fill("From the other window");
  await editor.getByLabel("All day", { exact: true }).check();
  await editor.getByLabel("Start", { exact: true }).fill("2027-01-21");
  await editor.getByLabel("End", { exact: true }).fill("2027-01-21");
  await editor.getByRole("button", { name: "Save", exact: true }).click();
  await editor.waitFor({ state: "detached" });
  assert.deepEqual(other.problems, []);
  await other.context().close();

  await waitForTitle(page, "From the other window");
  assert.deepEqual((await titlesByDay(page))["2027-01-21"], ["From the other window"]);
  assert.ok(await dialog.isVisible(), "the open dialog stayed");
  assert.equal(await dialog.getByLabel("Notes", { exact: true }).inputValue(), "typed before the refetch");
  await dialog.getByRole("button", { name: "Cancel", exact: true }).click();
  await page.getByRole("dialog", { name: "Discard changes?" }).getByRole("button", { name: "Discard", exact: true }).click();
  assert.deepEqual(page.problems, []);
});

test("a calendar that fails shows a badge with its error while the others still show, and a failed save keeps the typing", async () => {
  await fetch(calendars.broken, { method: "DELETE", headers: { Authorization: "Basic " + Buffer.from(`${radicale.user}:${radicale.password}`).toString("base64") } });
  // The page reads from the local copy: the calendar's next sync meets the failure.
  await page.evaluate(() => window.wrenfold.api.sync_now());
  await page.getByRole("button", { name: "Next", exact: true }).click();
  await page.getByRole("button", { name: "Previous", exact: true }).click();
  await showMonth(page, 2027, 1);
  await page.getByRole("button", { name: "Refresh all calendars" }).isVisible();
  const badge = page.getByRole("img", { name: /^Archive could not be loaded: / });
  await badge.waitFor();
  await waitForTitle(page, "Company offsite");

  await page.getByRole("button", { name: "New event", exact: true }).click();
  const dialog = page.getByRole("dialog", { name: "New event" });
  await dialog.getByLabel("Title", { exact: true }).fill("Into the void");
  await dialog.getByLabel("Calendar", { exact: true }).selectOption({ label: "Archive" });
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await dialog.locator(".form-error").filter({ hasText: /\S/ }).waitFor();
  assert.equal(await dialog.getByLabel("Title", { exact: true }).inputValue(), "Into the void");
  assert.equal(await dialog.getByRole("button", { name: "Save", exact: true }).isEnabled(), true);
  await screenshot(page, "save-failed");
  await dialog.getByRole("button", { name: "Cancel", exact: true }).click();
  await page.getByRole("dialog", { name: "Discard changes?" }).getByRole("button", { name: "Discard", exact: true }).click();
  assert.deepEqual(page.problems, []);
});

test("a save on its way cannot be closed away, so its failure is still seen", async () => {
  let answer;
  const answered = new Promise((resolve) => { answer = resolve; });
  await page.route("**/api/create_event", async (route) => route.fulfill({ json: { result: await answered } }));
  await page.getByRole("button", { name: "New event", exact: true }).click();
  const dialog = page.getByRole("dialog", { name: "New event" });
  await dialog.getByLabel("Title", { exact: true }).fill("Never saved");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await dialog.getByText("Saving…").waitFor();
  await page.keyboard.press("Escape");
  assert.equal(await dialog.isVisible(), true, "Esc waits for the answer");
  assert.equal(await dialog.getByRole("button", { name: "Cancel", exact: true }).isDisabled(), true);
  answer({ ok: false, error: "The calendar refused the event." });
  await dialog.getByText("The calendar refused the event.").waitFor();
  await page.unroute("**/api/create_event");
  await dialog.getByRole("button", { name: "Cancel", exact: true }).click();
  await page.getByRole("dialog", { name: "Discard changes?" }).getByRole("button", { name: "Discard", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  assert.deepEqual(page.problems, []);
});
