// How long a start takes to the painted month when every calendar is already
// in the local copy: by default 16 calendars of 200 events on a real
// Radicale, synced once; then the program is started again on the same data
// folder, with the server reachable and with the server stopped.
//   node bench/page/start.mjs [rounds] [calendars] [events]
//   node bench/page/start.mjs 5 60 300     (the scale case: one account, 60 x 300)
// (after scripts/setup and npm ci in e2e/)
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { startBrowser } from "../../e2e/support.mjs";
import { startRadicale } from "../../e2e/radicale.mjs";
import { fillMonth, syncOnce, measureStarts } from "./starts.mjs";

const ROUNDS = Number(process.argv[2] || 7);
const CALENDARS = Number(process.argv[3] || 16);
const EVENTS = Number(process.argv[4] || 200);

const radicale = await startRadicale();
const browser = await startBrowser();
const home = mkdtempSync(join(tmpdir(), "wrenfold-bench-"));
try {
  await fillMonth(radicale, CALENDARS, EVENTS);
  await syncOnce(browser, home, radicale, CALENDARS);
  await measureStarts(browser, home, radicale.root, `${CALENDARS} x ${EVENTS} events in the copy, server reachable`, ROUNDS);
  await radicale.halt();
  await measureStarts(browser, home, radicale.root, "the same with the server stopped", ROUNDS);
} finally {
  await browser.close();
  await radicale.stop().catch(() => {});
  rmSync(home, { recursive: true, force: true });
}
