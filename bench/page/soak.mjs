// Whether the application holds its memory and threads over a long session:
// 16 calendars of 200 events (by default) in the local copy, the page open, one event
// changed on the server every 5 seconds for 10 minutes (the worker notices,
// the calendar is synced, the page refetches), then ten year-long queries
// from the page. Prints the application's resident size and thread count
// after the first paint, after the changes and after the queries.
//   node bench/page/soak.mjs [minutes] [calendars] [events]
// (after scripts/setup and npm ci in e2e/). Run on demand, not in the test
// suite; a short, small run (`0.5 2 20`) checks the bench itself.
import { mkdtempSync, readFileSync, readdirSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { startBrowser, openPage } from "../../e2e/support.mjs";
import { startRadicale, ics } from "../../e2e/radicale.mjs";
import { fillMonth, syncOnce, launch, painted, libraryPainted } from "./starts.mjs";

const MINUTES = Number(process.argv[2] || 10);
const CALENDARS = Number(process.argv[3] || 16);
const EVENTS = Number(process.argv[4] || 200);
const CHANGE_EVERY_MS = 5000;
const QUERIES = 10;

// The application is the launcher's child that is not the sync worker.
function applicationPid(launcher) {
  for (const task of readdirSync(`/proc/${launcher}/task`))
    for (const child of readFileSync(`/proc/${launcher}/task/${task}/children`, "utf8").trim().split(/\s+/).filter(Boolean))
      if (!readFileSync(`/proc/${child}/environ`, "latin1").split("\0").some((entry) => entry.startsWith("WRENFOLD_SYNC_WORKER=")))
        return Number(child);
  throw new Error("no application process under the launcher");
}

function usage(pid) {
  const status = readFileSync(`/proc/${pid}/status`, "utf8");
  const field = (name) => Number(new RegExp(`^${name}:\\s+(\\d+)`, "m").exec(status)[1]);
  return { rss: field("VmRSS") / 1024, threads: field("Threads") };
}
const show = (label, { rss, threads }) => `${label} ${rss.toFixed(1)} MB, ${threads} threads`;

const radicale = await startRadicale();
const browser = await startBrowser();
const home = mkdtempSync(join(tmpdir(), "wrenfold-soak-"));
try {
  const calendars = await fillMonth(radicale, CALENDARS, EVENTS);
  await syncOnce(browser, home, radicale, CALENDARS);
  // The worker looks every 5 seconds, so that each change travels.
  const program = launch(home, radicale.root, { WRENFOLD_SYNC_INTERVAL: "5" });
  const page = await openPage(browser, await program.address);
  await painted(page);
  await libraryPainted(page);
  const pid = applicationPid(program.pid);
  const first = usage(pid);

  const ends = Date.now() + MINUTES * 60000;
  let peak = first.threads;
  for (let change = 0; Date.now() < ends; change++) {
    const calendar = calendars[change % CALENDARS];
    const day = new Date(); day.setDate(1 + (change % 28));
    const stamp = `${day.getFullYear()}${String(day.getMonth() + 1).padStart(2, "0")}${String(day.getDate()).padStart(2, "0")}`;
    await radicale.put(`${calendar}e${change % EVENTS}.ics`, ics("BEGIN:VEVENT", `UID:bench-${change % CALENDARS}-${change % EVENTS}`,
      "DTSTAMP:20260101T000000Z", `DTSTART:${stamp}T090000Z`, "DURATION:PT30M", `SUMMARY:Changed ${change}`, "END:VEVENT"));
    await new Promise((resolve) => setTimeout(resolve, CHANGE_EVERY_MS));
    peak = Math.max(peak, usage(pid).threads);
  }
  const soaked = usage(pid);

  const year = new Date().getFullYear();
  for (let query = 0; query < QUERIES; query++)
    await page.evaluate(([from, to]) => window.wrenfold.api.get_events(from, to, true), [`${year}-01-01`, `${year + 1}-01-01`]);
  await new Promise((resolve) => setTimeout(resolve, 2000));
  const last = usage(pid);

  console.log(`soak of ${MINUTES} min, a change every ${CHANGE_EVERY_MS / 1000} s: ` +
              [show("after the first paint", first), show("after the changes", soaked),
               show(`after ${QUERIES} year-long queries`, last)].join("; ") +
              `; at most ${peak} threads during the changes; resident size at the end ` +
              `${((last.rss / first.rss - 1) * 100).toFixed(0)}% over the first paint's`);
  await page.close();
  await program.stop();
} finally {
  await browser.close();
  await radicale.stop().catch(() => {});
  rmSync(home, { recursive: true, force: true });
}
