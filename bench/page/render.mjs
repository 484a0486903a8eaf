// How long the page takes from the get_events answer to the painted month
// when the month holds 2,000 events: the real program through the browser
// host, a real Radicale as the server, headless Chromium.
//   node bench/page/render.mjs        (after scripts/setup and npm ci in e2e/)
import { writeFileSync } from "node:fs";
import { join } from "node:path";
import { startProgram, startBrowser, openPage } from "../../e2e/support.mjs";
import { startRadicale, ics } from "../../e2e/radicale.mjs";

const EVENTS = 2000;
const ROUNDS = 8;

// One VEVENT per event, spread over the days and hours of a month.
function monthOfEvents(year, month) {
  const days = new Date(year, month, 0).getDate();
  const pad = (n) => String(n).padStart(2, "0");
  return Array.from({ length: EVENTS }, (_, i) => {
    const date = `${year}${pad(month)}${pad(1 + (i % days))}`;
    const hour = pad(7 + (Math.floor(i / days) % 14));
    return ics("BEGIN:VEVENT", `UID:bench-${i}`, "DTSTAMP:20260101T000000Z", `DTSTART:${date}T${hour}0000`,
               `DTEND:${date}T${hour}4500`, `SUMMARY:Event ${i} 會議`, "END:VEVENT");
  });
}

const radicale = await startRadicale();
const program = await startProgram({ WRENFOLD_CALDAV_URL: radicale.root });
const browser = await startBrowser();
try {
  const now = new Date();
  const calendar = await radicale.createCalendar("bench", "Bench", "#FF9500FF");
  const uploadStart = Date.now();
  const resources = monthOfEvents(now.getFullYear(), now.getMonth() + 1);
  // One resource per event, as a phone would have written them, put straight
  // into Radicale's storage (thousands of PUTs take minutes).
  resources.forEach((text, i) => writeFileSync(join(radicale.storage("bench"), `e${i}.ics`), text));
  console.log(`uploaded ${resources.length} events in ${Date.now() - uploadStart} ms`);

  const page = await openPage(browser, program.address);
  await page.getByRole("button", { name: "Add account" }).click();
  const dialog = page.getByRole("dialog", { name: "Add account" });
  await dialog.getByLabel("Apple ID", { exact: true }).fill(radicale.user);
  await dialog.getByLabel("App-specific password", { exact: true }).fill(radicale.password);
  await dialog.getByRole("button", { name: "Add", exact: true }).click();
  await dialog.waitFor({ state: "detached", timeout: 180000 });

  const durations = [];
  for (let round = 0; round < ROUNDS; round++) {
    await page.evaluate(() => performance.clearMeasures("wrenfold-render"));
    const count = (n) => page.waitForFunction((n) => performance.getEntriesByName("wrenfold-render").length >= n, n, { timeout: 120000 });
    // Away to the (empty) next month and back: the way back asks for the full month again.
    await page.getByRole("button", { name: "Next", exact: true }).click();
    await count(1);
    await page.getByRole("button", { name: "Previous", exact: true }).click();
    await count(2);
    const shown = await page.locator(".fc-daygrid-event, .fc-daygrid-more-link").count();
    const last = await page.evaluate(() => performance.getEntriesByName("wrenfold-render")[1].duration);
    if (shown === 0) throw new Error("nothing was drawn");
    durations.push(last);
  }
  durations.sort((a, b) => a - b);
  const median = durations[Math.floor(durations.length / 2)];
  console.log(`answer to painted month, ${EVENTS} events: median ${median.toFixed(0)} ms, ` +
              `min ${durations[0].toFixed(0)} ms, max ${durations.at(-1).toFixed(0)} ms (${ROUNDS} rounds)`);
  if (page.problems.length) console.log("page problems:", page.problems);
} finally {
  await browser.close();
  await program.stop();
  await radicale.stop();
}
