// How long a start takes to the painted month when every calendar is already
// in the local copy: 16 calendars of 200 events on a real Radicale, synced
// once; then the program is started again on the same data folder, with the
// server reachable and with the server stopped, and the time from the
// program's start to the first painted month holding the events is taken.
//   node bench/page/start.mjs        (after scripts/setup and npm ci in e2e/)
import { spawn } from "node:child_process";
import { createInterface } from "node:readline";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { binary, startBrowser, openPage, addAccount } from "../../e2e/support.mjs";
import { startRadicale, ics } from "../../e2e/radicale.mjs";

const CALENDARS = 16;
const EVENTS = 200;
const ROUNDS = 5;
const pad = (n) => String(n).padStart(2, "0");

function launch(home, server) {
  const child = spawn(binary, ["--browser", "--port", "0", "--no-open"], {
    env: { ...process.env, HOME: home, XDG_DATA_HOME: "", WRENFOLD_CALDAV_URL: server },
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
  return { address, stop: async () => { child.kill("SIGTERM"); await exited; } };
}

// Events spread over the days of this month, 200 per calendar.
async function fill(radicale, year, month) {
  const days = new Date(year, month, 0).getDate();
  for (let c = 0; c < CALENDARS; c++) {
    const calendar = await radicale.createCalendar(`bench${c}`, `Bench ${c}`, "#34C759FF");
    for (let i = 0; i < EVENTS; i++) {
      const day = `${year}${pad(month)}${pad(1 + (i % days))}`;
      const hour = pad(7 + (Math.floor(i / days) % 12));
      await radicale.put(`${calendar}e${i}.ics`, ics("BEGIN:VEVENT", `UID:bench-${c}-${i}`, "DTSTAMP:20260101T000000Z",
        `DTSTART:${day}T${hour}0000Z`, "DURATION:PT45M", `SUMMARY:Event ${c}.${i} 會議`, "END:VEVENT"));
    }
  }
}

const painted = (page) => page.waitForFunction(
  (least) => document.querySelectorAll(".fc-daygrid-event, .fc-daygrid-more-link").length >= least, 28, { timeout: 60000 });

const radicale = await startRadicale();
const browser = await startBrowser();
const home = mkdtempSync(join(tmpdir(), "wrenfold-bench-"));
try {
  const now = new Date();
  await fill(radicale, now.getFullYear(), now.getMonth() + 1);

  // The first start syncs every calendar into the local copy.
  let program = launch(home, radicale.root);
  let page = await openPage(browser, await program.address);
  await addAccount(page, radicale);
  await painted(page);
  await page.close();
  await program.stop();

  const measure = async (label, server) => {
    const times = [];
    const parts = [];
    for (let round = 0; round < ROUNDS; round++) {
      const started = performance.now();
      program = launch(home, server);
      const address = await program.address;
      const listening = performance.now();
      page = await openPage(browser, address);
      const loaded = performance.now();
      await painted(page);
      times.push(performance.now() - started);
      parts.push(`${(listening - started).toFixed(0)}+${(loaded - listening).toFixed(0)}+${(performance.now() - loaded).toFixed(0)}`);
      await page.close();
      await program.stop();
    }
    times.sort((a, b) => a - b);
    console.log(`${label}: median ${times[Math.floor(times.length / 2)].toFixed(0)} ms, ` +
                `min ${times[0].toFixed(0)} ms, max ${times.at(-1).toFixed(0)} ms (${ROUNDS} starts; ` +
                `program listening + page loaded + month painted: ${parts.join(", ")} ms)`);
  };
  await measure(`start to painted month, ${CALENDARS} x ${EVENTS} events in the copy, server reachable`, radicale.root);
  await radicale.halt();
  await measure("the same with the server stopped", radicale.root);
} finally {
  await browser.close();
  await radicale.stop().catch(() => {});
  rmSync(home, { recursive: true, force: true });
}
