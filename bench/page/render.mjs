// How long the page takes from the get_events answer to the painted month
// when the month holds 2,000 events: the real program through the browser
// host with a real Radicale behind it, headless Chromium. The program's
// answer for the month is enlarged on its way to the page with 2,000 events
// shaped like the engine's own (a server with that many takes minutes to
// fill and seconds to answer, which is not what is measured here).
// It also measures switching between the month and its weeks once fetched.
//   node bench/page/render.mjs        (after scripts/setup and npm ci in e2e/)
import { startProgram, startBrowser, openPage, addAccount } from "../../e2e/support.mjs";
import { startRadicale } from "../../e2e/radicale.mjs";

const EVENTS = 2000;
const ROUNDS = 10;
const pad = (n) => String(n).padStart(2, "0");

function monthOfEvents(year, month, calendar, accountId) {
  const days = new Date(year, month, 0).getDate();
  return Array.from({ length: EVENTS }, (_, i) => {
    const date = `${year}-${pad(month)}-${pad(1 + (i % days))}`;
    const hour = pad(7 + (Math.floor(i / days) % 14));
    return { uid: `bench-${i}`, summary: `Event ${i} 會議`, start: `${date}T${hour}:00:00`, end: `${date}T${hour}:45:00`,
             all_day: false, location: "", description: "", rrule: "", url: `${calendar}e${i}.ics`, etag: `"${i}"`,
             recurring: false, recurrence_id: "", account_id: accountId, calendar_url: calendar, calendar_name: "Bench",
             color: "#FF9500", read_only: false };
  });
}

const radicale = await startRadicale();
const program = await startProgram({ WRENFOLD_CALDAV_URL: radicale.root });
const browser = await startBrowser();
try {
  const now = new Date();
  const year = now.getFullYear();
  const month = now.getMonth() + 1;
  const calendar = await radicale.createCalendar("bench", "Bench", "#FF9500FF");
  const page = await openPage(browser, program.address);
  await addAccount(page, radicale);
  const accountId = await page.evaluate(async () => (await window.wrenfold.api.list_accounts()).accounts[0].id);
  const extra = monthOfEvents(year, month, calendar, accountId);
  const monthStart = `${year}-${pad(month)}-01`;
  await page.route("**/api/get_events", async (route) => {
    const [start, end] = JSON.parse(route.request().postData());
    const response = await route.fetch();
    const body = await response.json();
    if (start <= monthStart && end > monthStart) body.result.events.push(...extra);
    await route.fulfill({ response, json: body });
  });

  // From the page's mark of the answer to the first frame painted after the
  // month's events are in the page.
  const measure = () => page.evaluate(() => new Promise((resolve) => {
    const seen = performance.getEntriesByName("wrenfold-answer").length;
    const check = () => {
      const marks = performance.getEntriesByName("wrenfold-answer");
      if (marks.length > seen && document.querySelectorAll(".fc-daygrid-event").length >= 28 * 3)
        requestAnimationFrame(() => setTimeout(() => resolve(performance.now() - marks.at(-1).startTime), 0));
      else requestAnimationFrame(check);
    };
    check();
  }));
  const durations = [];
  for (let round = 0; round < ROUNDS; round++) {
    await page.getByRole("button", { name: "Next", exact: true }).click();
    await page.waitForFunction(() => document.querySelectorAll(".fc-daygrid-event").length < 28 * 3);
    const painted = measure();
    await page.getByRole("button", { name: "Previous", exact: true }).click();
    durations.push(await painted);
  }
  durations.sort((a, b) => a - b);
  const median = durations[Math.floor(durations.length / 2)];
  console.log(`answer to painted month, ${EVENTS} events: median ${median.toFixed(0)} ms, ` +
              `min ${durations[0].toFixed(0)} ms, max ${durations.at(-1).toFixed(0)} ms (${ROUNDS} rounds)`);

  // Switching views and weeks inside the range already fetched asks the
  // program nothing: from the click to the next painted frame.
  const switchTimes = [];
  const timedClick = async (name, selector) => {
    await page.evaluate(() => { window.benchClick = performance.now(); });
    await page.getByRole("button", { name, exact: true }).click();
    await page.waitForSelector(selector);
    switchTimes.push(await page.evaluate(() => new Promise((resolve) =>
      requestAnimationFrame(() => setTimeout(() => resolve(performance.now() - window.benchClick), 0)))));
  };
  for (let round = 0; round < ROUNDS; round++) {
    await timedClick("Week", ".fc-timeGridWeek-view");
    await timedClick("Next", ".fc-timeGridWeek-view");
    await timedClick("Month", ".fc-dayGridMonth-view");
  }
  switchTimes.sort((a, b) => a - b);
  console.log(`view and week switches within the fetched month: median ${switchTimes[Math.floor(switchTimes.length / 2)].toFixed(0)} ms, ` +
              `max ${switchTimes.at(-1).toFixed(0)} ms (${switchTimes.length} switches)`);
  if (page.problems.length) console.log("page problems:", page.problems);
} finally {
  await browser.close();
  await program.stop();
  await radicale.stop();
}
