// What a person sees in each view at a glance, against a real Radicale: whole
// titles in the month, the week opened at now, the agenda from today.
import { test, before, after, afterEach } from "node:test";
import assert from "node:assert/strict";
import { join } from "node:path";
import { startProgram, startBrowser, openPage, screenshot, axeScan, addAccount, closeDialogs, artifacts } from "./support.mjs";
import { startRadicale, ics } from "./radicale.mjs";

const ZONE = "Asia/Taipei";
let radicale, program, browser, page;

const pad = (n) => String(n).padStart(2, "0");
function wallClock(zone) {
  return Object.fromEntries(new Intl.DateTimeFormat("en-US", { timeZone: zone, hourCycle: "h23", year: "numeric", month: "numeric",
    day: "numeric", hour: "numeric", minute: "numeric" }).formatToParts(new Date()).map((part) => [part.type, Number(part.value)]));
}
// Today in the calendar's zone, and the days around it, as YYYY-MM-DD.
function zoneDay(offsetDays = 0, zone = ZONE) {
  const parts = wallClock(zone);
  const day = new Date(Date.UTC(+parts.year, +parts.month - 1, +parts.day + offsetDays));
  return `${day.getUTCFullYear()}-${pad(day.getUTCMonth() + 1)}-${pad(day.getUTCDate())}`;
}
const compact = (day) => day.replaceAll("-", "");

// A month as people fill it: meetings, errands, a trip, titles of everyday length.
const MARCH = [
  ["01", "0900", "0930", "Team standup"], ["02", "1000", "1100", "Dentist appointment"], ["03", "1230", "1330", "Lunch with Amy"],
  ["04", "1500", "1600", "Design review"], ["05", "1900", "2100", "晚餐 with parents"], ["08", "0900", "0930", "Team standup"],
  ["09", "1400", "1500", "Quarterly planning"], ["10", "0800", "0845", "Gym session"], ["10", "1100", "1200", "Call the bank"],
  ["11", "1600", "1700", "Piano lesson"], ["12", "1830", "2000", "Book club"], ["15", "0900", "0930", "Team standup"],
  ["16", "1000", "1030", "1:1 with Jordan"], ["17", "1300", "1400", "Product demo"], ["18", "0930", "1030", "週會 Weekly sync"],
  ["22", "0900", "0930", "Team standup"], ["23", "1500", "1545", "Haircut"], ["24", "1100", "1230", "Client workshop"],
  ["25", "1900", "2200", "Concert night"], ["29", "0900", "0930", "Team standup"], ["30", "1400", "1500", "Tax paperwork"],
];

before(async () => {
  radicale = await startRadicale();
  const home = await radicale.createCalendar("home", "Home", "#34C759FF");
  const stamp = "DTSTAMP:20261201T000000Z";
  const timed = (uid, day, from, to, title) => ics("BEGIN:VEVENT", `UID:${uid}`, stamp, `DTSTART:${day}T${from}00`,
    `DTEND:${day}T${to}00`, `SUMMARY:${title}`, "END:VEVENT");
  for (const [i, [day, from, to, title]] of MARCH.entries())
    await radicale.put(home + `march-${i}.ics`, timed(`march-${i}`, `202703${day}`, from, to, title));
  await radicale.put(home + "retreat.ics", ics("BEGIN:VEVENT", "UID:retreat", stamp, "DTSTART;VALUE=DATE:20270319",
    "DTEND;VALUE=DATE:20270322", "SUMMARY:Spring retreat", "END:VEVENT"));
  await radicale.put(home + "short.ics", timed("short", "20270310", "0930", "0945", "Dentist"));
  await radicale.put(home + "overnight.ics", ics("BEGIN:VEVENT", "UID:overnight", stamp, "DTSTART:20270311T200000",
    "DTEND:20270312T100000", "SUMMARY:Night shift", "END:VEVENT"));
  await radicale.put(home + "earlier.ics", ics("BEGIN:VEVENT", "UID:earlier", stamp, `DTSTART;VALUE=DATE:${compact(zoneDay(-3))}`,
    `DTEND;VALUE=DATE:${compact(zoneDay(-2))}`, "SUMMARY:Earlier errand", "END:VEVENT"));
  await radicale.put(home + "today.ics", ics("BEGIN:VEVENT", "UID:today", stamp, `DTSTART;VALUE=DATE:${compact(zoneDay(0))}`,
    `DTEND;VALUE=DATE:${compact(zoneDay(1))}`, "SUMMARY:Today's errand", "LOCATION:Main Street 3", "END:VEVENT"));
  await radicale.put(home + "new-york.ics", ics("BEGIN:VEVENT", "UID:new-york", stamp,
    "DTSTART;TZID=America/New_York:20270326T090000", "DTEND;TZID=America/New_York:20270326T100000", "SUMMARY:NY call", "END:VEVENT"));
  program = await startProgram({ WRENFOLD_CALDAV_URL: radicale.root });
  browser = await startBrowser();
  page = await openPage(browser, program.address, { viewport: { width: 1280, height: 720 } });
  await page.getByRole("button", { name: "New event", exact: true }).waitFor();
  await addAccount(page, radicale);
});

afterEach(async () => {
  page.problems.length = 0;
  await page.setViewportSize({ width: 1280, height: 720 });
});

after(async () => {
  await browser?.close();
  if (program) assert.equal(await program.stop(), 0);
  await radicale?.stop();
});

async function showView(name) {
  await page.getByRole("button", { name, exact: true }).click();
  await page.getByRole("button", { name: "Today", exact: true }).click();
}

async function goToMarch2027(view) {
  await showView(view);
  for (let i = 0; i < 36 && !(await page.locator('[data-date="2027-03-10"]').count()); i++)
    await page.getByRole("button", { name: "Next", exact: true }).click();
}

test("a realistic month at 1280 px shows every title whole, only its own weeks, all inside the window", async () => {
  await goToMarch2027("Month");
  await page.locator(".fc-event-title", { hasText: "Quarterly planning" }).waitFor();
  await screenshot(page, "views-month-1280-en");
  const month = await page.evaluate(() => ({
    cut: [...document.querySelectorAll(".fc-daygrid-event:not(.holiday) .fc-event-title")]
      .filter((title) => title.scrollWidth > title.clientWidth + 1).map((title) => title.textContent),
    weeks: document.querySelectorAll(".fc-daygrid-body tr[role=row]").length,
    lastRowBottom: [...document.querySelectorAll(".fc-daygrid-body tr[role=row]")].at(-1).getBoundingClientRect().bottom,
    dotted: document.querySelectorAll(".fc-daygrid-dot-event").length,
    bars: [...document.querySelectorAll(".fc-daygrid-block-event")].map((bar) => bar.textContent),
  }));
  assert.deepEqual(month.cut, [], "no title is cut");
  assert.equal(month.weeks, 5, "March 2027 spans five weeks");
  assert.ok(month.lastRowBottom <= 720, "the last week is inside the window");
  assert.ok(month.dotted >= MARCH.length, "timed events are a dot, a time and a title");
  assert.ok(month.bars.some((text) => text.includes("Spring retreat")), "the multi-day event is a bar");
});

test("another week opens on its first event, shows a 15-minute event's title and draws an overnight event once", async () => {
  await goToMarch2027("Week");
  const short = page.locator(".fc-timegrid-event", { hasText: "Dentist" }).filter({ hasNotText: "appointment" });
  await short.waitFor();
  const seen = await short.evaluate((event) => {
    const title = event.querySelector(".fc-event-title");
    const box = title.getBoundingClientRect();
    const scroller = event.closest(".fc-scroller").getBoundingClientRect();
    return { first: event.querySelector(".fc-event-main").textContent.startsWith("Dentist"),
             visible: box.width > 20 && box.top >= scroller.top && box.bottom <= scroller.bottom };
  });
  assert.deepEqual(seen, { first: true, visible: true }, "the title leads and is on screen");
  const overnight = page.locator(".fc-event", { hasText: "Night shift" });
  assert.equal(await overnight.count(), 1, "drawn once");
  const widths = await overnight.evaluate((event) => ({
    event: event.getBoundingClientRect().width,
    day: document.querySelector('td.fc-timegrid-col[data-date="2027-03-11"]').getBoundingClientRect().width,
  }));
  assert.ok(widths.event > widths.day * 1.5, "across both days");
  await screenshot(page, "views-week-march-en");
});

// Each view stays drawn while another is on screen; what changed meanwhile
// must reach it when it is shown again.
test("a view shown again follows what changed while it was away: hidden holidays, the language, its date", async (t) => {
  const holidays = page.getByRole("switch", { name: "Taiwan holidays" });
  t.after(async () => {
    await page.locator("#language").selectOption("en");
    await holidays.check();
  });
  await goToMarch2027("Month");
  await page.getByRole("button", { name: "Next", exact: true }).click();
  await page.locator('td[data-date="2027-04-05"] .fc-event.holiday').waitFor();

  await page.getByRole("button", { name: "Week", exact: true }).click();
  await holidays.uncheck();
  await page.getByRole("button", { name: "Month", exact: true }).click();
  await page.locator('td.fc-daygrid-day[data-date="2027-04-28"]').waitFor();
  assert.equal(await page.locator(".fc-event.holiday").count(), 0, "holidays hidden while away stay hidden");

  await page.getByRole("button", { name: "Week", exact: true }).click();
  await page.locator("#language").selectOption("zh-Hant");
  for (let i = 0; i < 8 && !(await page.locator('td.fc-timegrid-col[data-date="2027-05-12"]').count()); i++)
    await page.getByRole("button", { name: "下一頁", exact: true }).click();
  await page.getByRole("button", { name: "月", exact: true }).click();
  await page.locator('td.fc-daygrid-day[data-date="2027-05-31"]').waitFor();
  assert.equal(await page.locator("#title").textContent(), "2027年5月");
  assert.match(await page.locator(".fc-col-header-cell").first().textContent(), /週/, "the weekdays in Chinese");
  assert.deepEqual(page.problems, []);
});

test("the day moved to in one view is the day of the next, and a day named in the agenda opens that day", async () => {
  await goToMarch2027("Month");
  await page.getByRole("button", { name: "Next", exact: true }).click();
  await page.getByRole("button", { name: "Week", exact: true }).click();
  await page.getByRole("button", { name: "Next", exact: true }).click();
  const week = await page.locator("td.fc-timegrid-col[data-date]").first().getAttribute("data-date");
  assert.ok(week > "2027-04-01" && week < "2027-04-30", week);
  await page.getByRole("button", { name: "Month", exact: true }).click();
  assert.equal(await page.locator("#title").textContent(), "April 2027", "the month holding that week");
  await page.getByRole("button", { name: "Day", exact: true }).click();
  const dayColumn = page.locator(".fc-timeGridDay-view td.fc-timegrid-col[data-date]");
  assert.equal(await dayColumn.getAttribute("data-date"), week);

  await page.getByRole("button", { name: "Agenda", exact: true }).click();
  const named = page.locator(".fc-list-day-text[data-date]").first();
  const date = await named.getAttribute("data-date");
  await named.click();
  assert.equal(await dayColumn.getAttribute("data-date"), date);
  assert.deepEqual(page.problems, []);
});

test("a week whose clock moved on while it was away still takes clicks on the slot under the pointer", async () => {
  const away = await openPage(browser, null, { viewport: { width: 1280, height: 720 } });
  try {
    await away.clock.install();
    await away.goto(program.address);
    await away.getByRole("button", { name: "Week", exact: true }).click();
    await away.locator(".fc-timegrid-now-indicator-line").waitFor();
    await away.getByRole("button", { name: "Month", exact: true }).click();
    await away.locator(".fc-daygrid-day").first().waitFor();
    // Out of the document, the week redraws its now-line at no size.
    await away.clock.fastForward("05:00");
    await away.getByRole("button", { name: "Week", exact: true }).click();
    const today = zoneDay(0);
    const lane = away.locator('td.fc-timegrid-slot-lane[data-time="14:00:00"]');
    await lane.scrollIntoViewIfNeeded();
    const column = await away.locator(`td.fc-timegrid-col[data-date="${today}"]`).boundingBox();
    const slot = await lane.boundingBox();
    await away.mouse.click(column.x + column.width / 2, slot.y + slot.height / 2);
    const dialog = away.getByRole("dialog", { name: "New event" });
    assert.equal(await dialog.getByLabel("Start time", { exact: true }).inputValue(), "2:00 PM");
    const [y, m, d] = today.split("-").map(Number);
    const day = new Intl.DateTimeFormat("en-GB", { weekday: "short", day: "numeric", month: "short", year: "numeric" })
      .format(new Date(y, m - 1, d)).replaceAll(",", "");
    assert.equal(await dialog.getByLabel("Start", { exact: true }).inputValue(), day);
    assert.deepEqual(away.problems, []);
  } finally {
    await away.context().close();
  }
});

test("this week opens with now on screen", async () => {
  await showView("Week");
  const line = page.locator(".fc-timegrid-now-indicator-line");
  await line.waitFor();
  await page.waitForFunction(() => {
    const now = document.querySelector(".fc-timegrid-now-indicator-line").getBoundingClientRect();
    const scroller = document.querySelector(".fc-timegrid-body").closest(".fc-scroller").getBoundingClientRect();
    return now.top >= scroller.top && now.bottom <= scroller.bottom;
  });
});

test("the agenda starts today, marked, with the days before it one scroll up", async () => {
  await goToMarch2027("Month");  // opened from far away, it still comes to today
  await showView("Agenda");
  const today = page.locator(`.fc-list-day[data-date="${zoneDay(0)}"]`);
  await today.waitFor();
  await screenshot(page, "views-agenda-en");
  assert.match(await today.textContent(), /Today/);
  const places = await page.evaluate(([todayDate, earlierDate]) => {
    const scroller = document.querySelector(".fc-list").closest(".fc-scroller") || document.querySelector(".fc-list .fc-scroller");
    const top = scroller.getBoundingClientRect().top;
    const row = (date) => document.querySelector(`.fc-list-day[data-date="${date}"]`).getBoundingClientRect().top - top;
    return { today: Math.round(row(todayDate)), earlier: row(earlierDate) };
  }, [zoneDay(0), zoneDay(-3)]);
  assert.ok(places.today >= 0 && places.today <= 12, `today's row is at the top (${places.today})`);
  assert.ok(places.earlier < 0, "earlier days are above");
  assert.match(await page.locator(".fc-list-event", { hasText: "Today's errand" }).textContent(), /Main Street 3/);
});

test("an empty today still has its row in the agenda, at the top", async () => {
  const toggles = [page.getByRole("checkbox", { name: "Home" }), page.getByRole("switch", { name: "Taiwan holidays" })];
  await showView("Agenda");
  try {
    for (const toggle of toggles) await toggle.uncheck();
    const today = page.locator(`.fc-list-day[data-date="${zoneDay(0)}"]`);
    await page.locator(".fc-list-event.today-empty").waitFor();
    assert.match(await today.textContent(), /Today/);
    assert.deepEqual(await page.locator(".fc-list-event .fc-list-event-title").allTextContents(), ["Nothing planned"], "the only row");
    assert.ok(await page.locator(".today-empty .fc-list-event-time").isHidden(), "without a time, as it is not an event");
    await page.locator(".fc-list-event.today-empty").click();
    assert.equal(await page.getByRole("dialog").count(), 0, "it opens nothing");
    await screenshot(page, "views-agenda-empty-today-en");
  } finally {
    for (const toggle of toggles) await toggle.check();
  }
  await page.locator(".fc-list-event", { hasText: "Today's errand" }).waitFor();
  assert.equal(await page.locator(".fc-list-event.today-empty").count(), 0, "gone once today has an event");
  assert.deepEqual(page.problems, []);
});

test("the editor shows an event's own zone beside the calendar's, in the chosen clock and language, following the start", async () => {
  const display = page.locator("details.reading");
  const opened = !(await display.evaluate((details) => details.open));
  if (opened) await page.getByText("Display", { exact: true }).click();
  await goToMarch2027("Month");
  const hintOf = async () => {
    await page.locator(".fc-event", { hasText: "NY call" }).click();
    const hint = page.locator("dialog[open] .zone-hint");
    await hint.waitFor();
    return hint;
  };
  try {
    const cases = [["en", "language", "9:00 AM New York (9:00 PM here)"], ["en", "24", "09:00 New York (21:00 here)"],
                   ["zh-Hant", "language", "New York 09:00（此地 21:00）"]];
    for (const [language, clock, text] of cases) {
      await page.locator("#language").selectOption(language);
      await page.locator("#reading-clock").selectOption(clock);
      const hint = await hintOf();
      assert.equal(await hint.textContent(), text, `${language} ${clock}`);
      await closeDialogs(page);
    }
    await page.locator("#language").selectOption("en");
    await page.locator("#reading-clock").selectOption("24");
    const hint = await hintOf();
    const startTime = page.getByRole("dialog").getByLabel("Start time", { exact: true });
    await startTime.fill("23:30");
    await startTime.press("Tab");
    assert.equal(await hint.textContent(), "11:30 New York (23:30 here)");
    await startTime.fill("08:30");
    await startTime.press("Tab");
    assert.equal(await hint.textContent(), "Thu, Mar 25 20:30 New York (08:30 here)", "another day there says which");
    await page.getByRole("dialog").getByLabel("All day").check();
    assert.ok(await hint.isHidden(), "no hint for an all-day event");
  } finally {
    await closeDialogs(page);
    await page.locator("#language").selectOption("en");
    await page.locator("#reading-clock").selectOption("language");
    if (opened) await page.getByText("Display", { exact: true }).click();
  }
  await page.locator(".fc-event", { hasText: "Team standup" }).first().click();
  assert.ok(await page.locator("dialog[open] .zone-hint").isHidden(), "none for an event in the calendar's zone");
  await closeDialogs(page);
  assert.deepEqual(page.problems, []);
});

// Where the now-line sits, as minutes of the day read off the grid's hour lines.
function nowLineMinutes(page) {
  return page.evaluate(() => {
    const line = document.querySelector(".fc-timegrid-now-indicator-line").getBoundingClientRect().top;
    const top = (hour) => document.querySelector(`td.fc-timegrid-slot-lane[data-time="${String(hour).padStart(2, "0")}:00:00"]`)
      .getBoundingClientRect().top;
    const hourHeight = top(1) - top(0);
    return Math.round(((line - top(0)) / hourHeight) * 60);
  });
}

test("today and the now-line are the chosen zone's, with the browser's clock in another zone", async () => {
  const away = await openPage(browser, program.address, { viewport: { width: 1280, height: 720 }, timezoneId: "America/New_York" });
  try {
    await away.getByRole("button", { name: "Week", exact: true }).click();
    await away.getByRole("button", { name: "Today", exact: true }).click();
    await away.locator(".fc-timegrid-now-indicator-line").waitFor();
    const minutes = (zone) => { const c = wallClock(zone); return c.hour * 60 + c.minute; };
    assert.ok(Math.abs((await nowLineMinutes(away)) - minutes(ZONE)) <= 5, "the line is at Taipei's time");
    assert.equal(await away.locator("td.fc-timegrid-col.fc-day-today").getAttribute("data-date"), zoneDay(0));

    await away.getByText("Display", { exact: true }).click();
    const zone = away.getByLabel("Time zone", { exact: true });
    assert.equal(await zone.locator("option").first().textContent(), "America/New_York (this computer)");
    await zone.selectOption("Europe/London");
    await away.waitForFunction(() => document.querySelector("td.fc-timegrid-col.fc-day-today"));
    await away.waitForFunction((expected) => {
      const line = document.querySelector(".fc-timegrid-now-indicator-line")?.getBoundingClientRect().top;
      const lane = (hour) => document.querySelector(`td.fc-timegrid-slot-lane[data-time="${String(hour).padStart(2, "0")}:00:00"]`).getBoundingClientRect().top;
      return line !== undefined && Math.abs(((line - lane(0)) / (lane(1) - lane(0))) * 60 - expected) <= 5;
    }, minutes("Europe/London"));
    assert.equal(await away.locator("td.fc-timegrid-col.fc-day-today").getAttribute("data-date"), zoneDay(0, "Europe/London"));
    await screenshot(away, "views-week-zone-london");
    await zone.selectOption("Asia/Taipei");
    assert.deepEqual(away.problems, []);
  } finally {
    await away.context().close();
  }
});

test("holidays carry their English names on the English page, red day numbers, and a click names them", async () => {
  await goToMarch2027("Month");
  await page.getByRole("button", { name: "Previous", exact: true }).click();
  await page.getByRole("button", { name: "Previous", exact: true }).click();
  const holiday = page.locator('td[data-date="2027-01-01"] .fc-event.holiday');
  await holiday.waitFor();
  assert.equal(await holiday.locator(".fc-event-title").textContent(), "Founding Day of the Republic of China");
  const colours = await page.evaluate(() => {
    const css = getComputedStyle(document.documentElement);
    const probe = document.createElement("span");
    probe.style.color = css.getPropertyValue("--holiday");
    document.body.append(probe);
    const red = getComputedStyle(probe).color;
    probe.remove();
    return { red, number: getComputedStyle(document.querySelector('td[data-date="2027-01-01"] .fc-daygrid-day-number')).color,
             border: getComputedStyle(document.querySelector('td[data-date="2027-01-01"] .fc-event.holiday')).borderTopStyle };
  });
  assert.equal(colours.number, colours.red, "the day number is red");
  assert.equal(colours.border, "dashed", "a look no calendar has");
  await holiday.click();
  const named = page.getByRole("dialog", { name: "Founding Day of the Republic of China" });
  await named.waitFor();
  assert.equal(await page.getByRole("dialog", { name: "Event" }).count(), 0, "no editor opens");
  await page.keyboard.press("Escape");
  await named.waitFor({ state: "detached" });
});

test("the Chinese page shows the lunar date under each day, the month's name on its first day and the solar terms", async () => {
  await page.getByLabel("Language").selectOption("zh-Hant");
  try {
    await page.getByRole("button", { name: "月", exact: true }).click();
    await page.getByRole("button", { name: "今天", exact: true }).click();
    for (let i = 0; i < 36 && !(await page.locator('td[data-date="2027-02-15"]').count()); i++)
      await page.getByRole("button", { name: "下一頁", exact: true }).click();
    const lunar = (date) => page.locator(`td[data-date="${date}"] .lunar`).textContent();
    await page.locator('td[data-date="2027-02-06"] .lunar').waitFor();
    assert.deepEqual([await lunar("2027-02-04"), await lunar("2027-02-06"), await lunar("2027-02-10"), await lunar("2027-02-15")],
                     ["立春", "正月", "初五", "初十"]);
    assert.equal(await page.locator('td[data-date="2027-02-06"] .fc-event.holiday .fc-event-title').first().textContent(), "春節");
    await screenshot(page, "views-month-lunar-zh");
  } finally {
    await page.getByLabel("語言").selectOption("en");
  }
});

test("at 800×600 the sidebar slides over from its toggle and Esc closes it; the header's controls never overlap", async () => {
  await page.setViewportSize({ width: 800, height: 600 });
  const toggle = page.getByRole("button", { name: "Calendars and settings" });
  const home = page.getByRole("checkbox", { name: "Home" });
  await page.waitForFunction(() => getComputedStyle(document.getElementById("sidebar")).visibility === "hidden");
  await toggle.click();
  await home.waitFor({ state: "visible" });
  assert.equal(await toggle.getAttribute("aria-expanded"), "true");
  await screenshot(page, "views-narrow-sidebar");
  await page.keyboard.press("Escape");
  await home.waitFor({ state: "hidden" });
  assert.equal(await page.evaluate(() => document.activeElement.id), "sidebar-toggle");
  const layout = await page.evaluate(() => {
    const boxes = [...document.querySelectorAll(".topbar button, .topbar h2")].filter((node) => node.offsetParent)
      .map((node) => ({ name: node.textContent || node.getAttribute("aria-label"), box: node.getBoundingClientRect() }));
    const overlaps = [];
    for (const [i, a] of boxes.entries())
      for (const b of boxes.slice(i + 1))
        if (a.box.left < b.box.right - 1 && b.box.left < a.box.right - 1 && a.box.top < b.box.bottom - 1 && b.box.top < a.box.bottom - 1)
          overlaps.push(`${a.name} / ${b.name}`);
    return { overlaps, outside: boxes.filter(({ box }) => box.right > innerWidth).map(({ name }) => name),
             calendar: document.getElementById("calendar").getBoundingClientRect().height };
  });
  assert.deepEqual(layout.overlaps, []);
  assert.deepEqual(layout.outside, []);
  assert.ok(layout.calendar > 300, "the calendar keeps most of the height");
  await screenshot(page, "views-narrow-800x600");
});

test("the display settings set the week's first day, the clock and week numbers; ? lists the shortcuts", async () => {
  await page.getByText("Display", { exact: true }).click();
  try {
    await page.getByLabel("Week starts on").selectOption("monday");
    await page.getByLabel("Time format").selectOption("24");
    await page.getByRole("switch", { name: "Week numbers" }).check();
    await goToMarch2027("Month");
    await page.waitForFunction(() => /Mon/.test(document.querySelector(".fc-col-header-cell")?.textContent));
    assert.equal(await page.locator(".fc-daygrid-week-number").first().textContent(), "W9");
    await page.getByRole("button", { name: "Week", exact: true }).click();
    assert.equal(await page.locator('.fc-timegrid-slot-label[data-time="13:00:00"]').textContent(), "13:00");
  } finally {
    await page.getByLabel("Week starts on").selectOption("system");
    await page.getByLabel("Time format").selectOption("language");
    await page.getByRole("switch", { name: "Week numbers" }).uncheck();
  }
  await page.locator("#calendar").click({ position: { x: 5, y: 5 } });
  await page.keyboard.press("?");
  const list = page.getByRole("dialog", { name: "Keyboard shortcuts" });
  await list.getByText("Go to today").waitFor();
  await page.keyboard.press("Escape");
  await list.waitFor({ state: "detached" });
  assert.deepEqual(page.problems, []);
});

test("printed, a week and a month are the calendar alone, light, with events framed in their calendar's colour", async () => {
  try {
    for (const view of ["Week", "Month"]) {
      await page.emulateMedia({ media: "screen", colorScheme: "dark" });
      await goToMarch2027(view);
      await page.emulateMedia({ media: "print", colorScheme: "dark" });
      const event = page.locator(".fc-event", { hasText: view === "Week" ? "Gym session" : "Quarterly planning" }).first();
      await event.waitFor();
      const look = await event.evaluate((node) => {
        const style = getComputedStyle(node);
        const title = getComputedStyle(node.querySelector(".fc-event-title"));
        return { background: getComputedStyle(document.body).backgroundColor, title: title.color,
                 dot: node.classList.contains("fc-daygrid-dot-event") ? getComputedStyle(node.querySelector(".fc-daygrid-event-dot")).borderColor
                   : style.borderLeftColor,
                 filled: !node.classList.contains("fc-daygrid-dot-event") && style.backgroundColor !== "rgb(255, 255, 255)" };
      });
      assert.deepEqual(look, { background: "rgb(255, 255, 255)", title: "rgb(0, 0, 0)", dot: "rgb(52, 199, 89)", filled: false }, view);
      for (const name of ["New event", "Today", "Next", "Month", "Assistant", "Add account"])
        assert.ok(await page.getByRole("button", { name, exact: true }).isHidden(), `${name} is not printed`);
      assert.ok(await page.locator("#sidebar").isHidden());
      assert.ok(await page.locator("#title").isVisible(), "the period printed says which it is");
      if (view === "Week") {
        // Every hour of the day is on paper, not only the part scrolled into view.
        const hours = await page.evaluate(() => ["00:00:00", "23:00:00"].map((time) =>
          document.querySelector(`td.fc-timegrid-slot-lane[data-time="${time}"]`).getBoundingClientRect().height > 0));
        assert.deepEqual(hours, [true, true]);
        assert.ok(await page.locator(".fc-event", { hasText: "Book club" }).isVisible(), "an evening event is printed too");
      }
      await page.screenshot({ path: join(artifacts, `views-print-${view.toLowerCase()}.png`), fullPage: true });
    }
  } finally {
    await page.emulateMedia({ media: "screen", colorScheme: "light" });
  }
  assert.deepEqual(page.problems, []);
});

// Every view, in both languages and both themes, at the two common window
// sizes, kept for a person to look at; the theme follows the system.
test("every view in both themes and languages; the system's preference picks the theme and axe finds nothing serious", async () => {
  const views = { en: ["Month", "Week", "Day", "Agenda"], "zh-Hant": ["月", "週", "日", "議程"] };
  await goToMarch2027("Month");
  try {
    for (const scheme of ["light", "dark"]) {
      await page.emulateMedia({ colorScheme: scheme });
      await page.waitForFunction((wanted) => document.documentElement.dataset.theme === wanted, scheme);
      assert.equal(await page.evaluate(() => getComputedStyle(document.body).backgroundColor),
                   scheme === "dark" ? "rgb(13, 15, 20)" : "rgb(255, 255, 255)");
      for (const language of ["en", "zh-Hant"]) {
        await page.locator("#language").selectOption(language);
        for (const [width, height] of [[1280, 720], [1920, 1080]]) {
          await page.setViewportSize({ width, height });
          for (const view of views[language]) {
            await page.getByRole("button", { name: view, exact: true }).click();
            await page.locator(".fc-event").first().waitFor();
            await screenshot(page, `views-${language === "en" ? "en" : "zh"}-${scheme}-${width}x${height}-${views.en[views[language].indexOf(view)].toLowerCase()}`);
            if (language === "en" && width === 1280 && view !== "Day")
              assert.deepEqual(await axeScan(page), [], `${view} in the ${scheme} theme`);
          }
          await page.getByRole("button", { name: views[language][0], exact: true }).click();
        }
      }
    }
  } finally {
    await page.emulateMedia({ colorScheme: "light" });
    await page.locator("#language").selectOption("en");
  }
});
