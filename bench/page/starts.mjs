// What the start benchmarks share: a program started on a data folder of its
// own, calendars filled with a month of events on a real Radicale, the first
// start that syncs them all into the local copy, and the timed starts.
import { spawn } from "node:child_process";
import { createInterface } from "node:readline";
import { binary, openPage, addAccount } from "../../e2e/support.mjs";
import { ics } from "../../e2e/radicale.mjs";

const pad = (n) => String(n).padStart(2, "0");

// `pid` is the launcher's; the application is its child.
export function launch(home, server, env = {}, executable = binary) {
  const child = spawn(executable, ["--browser", "--port", "0", "--no-open"], {
    env: { ...process.env, HOME: home, XDG_DATA_HOME: "", WRENFOLD_CALDAV_URL: server, ...env },
    stdio: ["ignore", "pipe", "inherit"],
  });
  const exited = new Promise((resolve) => child.on("exit", resolve));
  const address = new Promise((resolve, reject) => {
    createInterface({ input: child.stdout }).on("line", (line) => {
      const match = /^Wrenfold is running at (http:\/\/127\.0\.0\.1:\d+\/#token=[0-9a-f]{64})$/.exec(line);
      if (match) resolve(match[1]);
    });
    child.on("exit", (code) => reject(new Error("the program ended early with " + code)));
  });
  return { address, pid: child.pid, stop: async () => { child.kill("SIGTERM"); await exited; } };
}

// `events` events in each of `calendars` calendars, spread over the days of
// this month, written straight into the server's folder; the calendars' URLs.
export async function fillMonth(radicale, calendars, events) {
  const urls = [];
  const now = new Date();
  const year = now.getFullYear(), month = now.getMonth() + 1;
  const days = new Date(year, month, 0).getDate();
  for (let c = 0; c < calendars; c++) {
    const calendar = await radicale.createCalendar(`bench${c}`, `Bench ${c}`, "#34C759FF");
    urls.push(calendar);
    for (let i = 0; i < events; i++) {
      const day = `${year}${pad(month)}${pad(1 + (i % days))}`;
      const hour = pad(7 + (Math.floor(i / days) % 12));
      radicale.seed(calendar, `e${i}.ics`, ics("BEGIN:VEVENT", `UID:bench-${c}-${i}`, "DTSTAMP:20260101T000000Z",
        `DTSTART:${day}T${hour}0000Z`, "DURATION:PT45M", `SUMMARY:Event ${c}.${i} 會議`, "END:VEVENT"));
    }
    // The server reads the seeded objects now, with no time limit, and not
    // first when the program discovers the calendars: on a loaded machine
    // that took longer than the program waits for an account to be added.
    await radicale.list(calendar);
  }
  return urls;
}

// The month on screen with its events: every day cell holds some. Checked
// before each frame; the page keeps the moment it first held them, the frame
// that paints them, as what the page does after it may delay the answer.
// The page's first picture of the month (its entries drawn before the
// calendar library's month is) counts as painted; `libraryPainted` waits on
// for the library's own month, the one that takes clicks.
const MONTH_ENTRIES = ".fc-daygrid-event, .fc-daygrid-more-link";
const SKETCH_ENTRIES = ".month-sketch .sketch-entry";
const paintedWith = (page, selector, mark) => page.waitForFunction(([least, selector, mark]) => {
  if (document.querySelectorAll(selector).length < least) return false;
  window[mark] ??= performance.now();
  return true;
}, [28, selector, mark], { timeout: 120000, polling: "raf" });
export const painted = (page) => paintedWith(page, `${MONTH_ENTRIES}, ${SKETCH_ENTRIES}`, "benchPaintedAt");
export const libraryPainted = (page) => paintedWith(page, MONTH_ENTRIES, "benchLibraryPaintedAt");

// The first start: the account added, every calendar synced into the copy.
export async function syncOnce(browser, home, radicale, calendars) {
  const program = launch(home, radicale.root);
  const page = await openPage(browser, await program.address);
  // The server reads thousands of objects it has never seen on first contact.
  page.setDefaultTimeout(600000);
  await addAccount(page, radicale);
  // Polled from here: a page function that answers a promise would count as
  // done at once, the promise itself being truthy.
  const deadline = Date.now() + 600000;
  for (;;) {
    if (Date.now() > deadline) throw new Error("the calendars were not all synced within 10 minutes");
    const states = await page.evaluate(async () => Object.values((await window.wrenfold.api.get_runtime_state()).calendar_states || {}));
    if (states.filter((state) => state.state === "up_to_date").length >= calendars) break;
    await new Promise((resolve) => setTimeout(resolve, 1000));
  }
  await page.close();
  await program.stop();
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// Where the page's share went, in ms since the page's navigation began: the
// bridge calls of the first paint (asked, first byte, last byte), the last
// script in, the answer taken by the calendar and the painted month.
async function pageTimeline(page) {
  return page.evaluate(() => {
    const resources = performance.getEntriesByType("resource");
    const call = (method) => resources.find((entry) => entry.name.endsWith(`/api/${method}`));
    const timing = (entry) => entry ? [entry.startTime, entry.responseStart, entry.responseEnd] : [NaN, NaN, NaN];
    const navigation = performance.getEntriesByType("navigation")[0];
    const ready = navigation ? navigation.domContentLoadedEventStart : NaN;
    // What the page starts with; the assistant's files, asked for once it runs, come later.
    const early = resources.filter((entry) => !(entry.startTime > ready));
    const scripts = early.filter((entry) => entry.initiatorType === "script" || /\.m?js$/.test(entry.name));
    const answer = performance.getEntriesByName("wrenfold-answer")[0];
    const events = call("get_events");
    return {
      state: timing(call("get_initial_state")),
      events: timing(events),
      holidays: timing(call("get_holiday_names")),
      eventsBytes: events ? events.encodedBodySize : NaN,
      scripts: Math.max(0, ...scripts.map((entry) => entry.responseEnd)),
      requests: scripts.length + early.filter((entry) => /\.css$/.test(entry.name)).length,
      ready,
      answer: answer ? answer.startTime : NaN,
      painted: window.benchPaintedAt ?? performance.now(),
      libraryPainted: window.benchLibraryPaintedAt ?? performance.now(),
    };
  });
}

function printTimeline(timelines) {
  const at = (pick) => median(timelines.map(pick)).toFixed(0);
  console.log(`  page timeline (medians, ms since navigation): state asked ${at((t) => t.state[0])}, answered ${at((t) => t.state[2])}; ` +
              `events asked ${at((t) => t.events[0])}, first byte ${at((t) => t.events[1])}, answered ${at((t) => t.events[2])} ` +
              `(${(median(timelines.map((t) => t.eventsBytes)) / 1e6).toFixed(2)} MB); holiday names asked ${at((t) => t.holidays[0])}, ` +
              `answered ${at((t) => t.holidays[2])}; ${at((t) => t.requests)} scripts and ` +
              `styles, in by ${at((t) => t.scripts)}; scripts run (DOMContentLoaded) ${at((t) => t.ready)}; ` +
              `answer taken ${at((t) => t.answer)}; painted ${at((t) => t.painted)}, the library's month ${at((t) => t.libraryPainted)}`);
}

// Starts the program `rounds` times on the synced folder and prints the time
// from the start to the painted month, split into the program's start (until
// it listens), the browser's part (a fresh context and the page's navigation
// committed) and the page's own part (its scripts, its calls, the paint).
export async function measureStarts(browser, home, server, label, rounds, executable = binary) {
  const totals = [], parts = [], timelines = [];
  for (let round = 0; round < rounds; round++) {
    const started = performance.now();
    const program = launch(home, server, {}, executable);
    const address = await program.address;
    const listening = performance.now();
    const page = await openPage(browser, null);
    await page.goto(address, { waitUntil: "commit" });
    const committed = performance.now();
    await painted(page);
    const done = performance.now();
    await libraryPainted(page);
    totals.push(done - started);
    timelines.push(await pageTimeline(page));
    parts.push([listening - started, committed - listening, done - committed]);
    await page.context().close();
    await program.stop();
  }
  const part = (i) => median(parts.map((p) => p[i])).toFixed(0);
  console.log(`${label}: median ${median(totals).toFixed(0)} ms, min ${Math.min(...totals).toFixed(0)} ms, ` +
              `max ${Math.max(...totals).toFixed(0)} ms over ${rounds} starts; medians of program listening ${part(0)} + ` +
              `browser context and navigation ${part(1)} + page to painted month ${part(2)} ms`);
  printTimeline(timelines);
}
