// What a person sees in each view at a glance, against a real Radicale: whole
// titles in the month, the week opened at now, the agenda from today.
import { test, before, after, afterEach } from "node:test";
import assert from "node:assert/strict";
import { startProgram, startBrowser, openPage, screenshot, addAccount } from "./support.mjs";
import { startRadicale, ics } from "./radicale.mjs";

const ZONE = "Asia/Taipei";
let radicale, program, browser, page;

const pad = (n) => String(n).padStart(2, "0");
// Today in the calendar's zone, and the days around it, as YYYY-MM-DD.
function zoneDay(offsetDays = 0) {
  const parts = Object.fromEntries(new Intl.DateTimeFormat("en-CA", { timeZone: ZONE, year: "numeric", month: "2-digit", day: "2-digit" })
    .formatToParts(new Date()).map((part) => [part.type, part.value]));
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
    cut: [...document.querySelectorAll(".fc-daygrid-event .fc-event-title")]
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
