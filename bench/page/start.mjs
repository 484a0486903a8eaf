// How long a start takes to the painted month when every calendar is already
// in the local copy: by default 16 calendars of 200 events on a real
// Radicale, synced once; then the program is started again on the same data
// folder, with the server reachable and with the server stopped.
//   node bench/page/start.mjs [rounds] [calendars] [events]
//   node bench/page/start.mjs 5 60 300     (the scale case: one account, 60 x 300)
// (after scripts/setup and npm ci in e2e/)
// WRENFOLD_COMPARE=/another/build/wrenfold measures that program and this one
// in turns, blocks of `rounds` starts each, twice, on the same data folder:
// on a machine whose load swings, figures taken one after the other compare.
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { binary, startBrowser } from "../../e2e/support.mjs";
import { startRadicale } from "../../e2e/radicale.mjs";
import { fillMonth, syncOnce, measureStarts } from "./starts.mjs";

const ROUNDS = Number(process.argv[2] || 7);
const CALENDARS = Number(process.argv[3] || 16);
const EVENTS = Number(process.argv[4] || 200);
const COMPARED = process.env.WRENFOLD_COMPARE;
const programs = COMPARED ? [["compared", COMPARED], ["this", binary], ["compared", COMPARED], ["this", binary]] : [["", binary]];

async function measureEach(browser, home, server, label) {
  for (const [name, executable] of programs)
    await measureStarts(browser, home, server, name ? `${label} (${name})` : label, ROUNDS, executable);
}

const radicale = await startRadicale();
const browser = await startBrowser();
const home = mkdtempSync(join(tmpdir(), "wrenfold-bench-"));
try {
  await fillMonth(radicale, CALENDARS, EVENTS);
  await syncOnce(browser, home, radicale, CALENDARS);
  await measureEach(browser, home, radicale.root, `${CALENDARS} x ${EVENTS} events in the copy, server reachable`);
  await radicale.halt();
  await measureEach(browser, home, radicale.root, "the same with the server stopped");
} finally {
  await browser.close();
  await radicale.stop().catch(() => {});
  rmSync(home, { recursive: true, force: true });
}
