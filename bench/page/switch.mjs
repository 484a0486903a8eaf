// How long switching views takes with a busy set of calendars: month, week,
// day and agenda in turn, from the click to the first frame painted with the
// new view's events. The real program through the browser host (a real
// Radicale behind it, headless Chromium); its answers are enlarged on their
// way to the page with 16 calendars of 200 events each, spread over the year
// around today (about 9 a day), shaped like the engine's own.
//   node bench/page/switch.mjs             (after scripts/setup and npm ci in e2e/)
//   node bench/page/switch.mjs --profile   also writes a CPU profile of the
//                                          switches and lists where the time went
import { writeFileSync } from "node:fs";
import { join } from "node:path";
import { tmpdir } from "node:os";
import { startProgram, startBrowser, openPage, addAccount } from "../../e2e/support.mjs";
import { startRadicale } from "../../e2e/radicale.mjs";

const CALENDARS = 16;
const PER_CALENDAR = 200;
const SPREAD_DAYS = 364;
const ROUNDS = 8;
const VIEWS = [["Month", "dayGridMonth"], ["Week", "timeGridWeek"], ["Day", "timeGridDay"], ["Agenda", "listAgenda"]];
const COLORS = ["#FF9500", "#34C759", "#007AFF", "#AF52DE", "#FF2D55", "#5856D6", "#FFCC00", "#A2845E"];
const profiling = process.argv.includes("--profile");
const pad = (n) => String(n).padStart(2, "0");
const day = (date) => `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())}`;

// The events of every calendar, a few a day each, at varied times and lengths,
// some all-day and some running over several days.
function makeEvents(accountId) {
  const first = new Date();
  first.setDate(first.getDate() - SPREAD_DAYS / 2);
  const events = [];
  for (let c = 0; c < CALENDARS; c++) {
    const calendar = `http://127.0.0.1/bench/cal-${c}/`;
    for (let i = 0; i < PER_CALENDAR; i++) {
      const date = new Date(first.getFullYear(), first.getMonth(), first.getDate() + ((i * 7 + c * 3) % SPREAD_DAYS));
      const allDay = i % 25 === 0;
      const hour = 7 + ((i + c) % 13);
      const minutes = [30, 45, 60, 90, 120][(i + c) % 5];
      const end = new Date(date.getFullYear(), date.getMonth(), date.getDate(), hour, minutes);
      const start = `${day(date)}T${pad(hour)}:00:00`;
      events.push({
        uid: `bench-${c}-${i}`, summary: `Calendar ${c} event ${i} 會議`, start: allDay ? day(date) : start,
        end: allDay ? day(new Date(date.getFullYear(), date.getMonth(), date.getDate() + 1 + (i % 3))) : `${day(end)}T${pad(end.getHours())}:${pad(end.getMinutes())}:00`,
        all_day: allDay, location: i % 4 ? "" : "Room 4", description: "", rrule: "", url: `${calendar}e${i}.ics`, etag: `"${i}"`,
        recurring: false, recurrence_id: "", account_id: accountId, calendar_url: calendar, calendar_name: `Bench ${c}`,
        color: COLORS[c % COLORS.length], read_only: false, alarms: [],
      });
    }
  }
  return events;
}

// Where the CPU time of a profile went: self time by function, heaviest first.
function heaviest(profile, count = 20) {
  const self = new Map();
  const byId = new Map(profile.nodes.map((node) => [node.id, node]));
  const gaps = profile.timeDeltas;
  profile.samples.forEach((id, i) => {
    const { functionName, url, lineNumber } = byId.get(id).callFrame;
    const key = `${functionName || "(anonymous)"} ${url.split("/").slice(-2).join("/")}:${lineNumber + 1}`;
    self.set(key, (self.get(key) || 0) + (gaps[i] || 0) / 1000);
  });
  return [...self].sort((a, b) => b[1] - a[1]).slice(0, count);
}

// A Chromium performance trace of `run`: the CPU time the renderer's main
// thread spent in script, style, layout and paint, in milliseconds. Style and
// layout that script forces (by reading a size) count as style and layout,
// not as the script's.
async function traceRound(cdp, run) {
  const events = [];
  const collect = ({ value }) => events.push(...value);
  cdp.on("Tracing.dataCollected", collect);
  const done = new Promise((resolve) => cdp.once("Tracing.tracingComplete", resolve));
  await cdp.send("Tracing.start", { traceConfig: { includedCategories: ["devtools.timeline", "v8.execute"] }, transferMode: "ReportEvents" });
  await run();
  await cdp.send("Tracing.end");
  await done;
  cdp.off("Tracing.dataCollected", collect);
  const main = events.find((event) => event.name === "thread_name" && event.args?.name === "CrRendererMain");
  const kinds = { FunctionCall: "script", EvaluateScript: "script", TimerFire: "script", FireAnimationFrame: "script", EventDispatch: "script",
                  UpdateLayoutTree: "style", Layout: "layout", Paint: "paint", PrePaint: "paint", Layerize: "paint", "MajorGC": "gc", "MinorGC": "gc" };
  const sums = {};
  const add = (kind, ms) => { sums[kind] = (sums[kind] || 0) + ms; };
  let open = 0;  // only outermost events count, so nested work is not counted twice
  let outer = null;
  for (const event of events.filter((e) => e.ph === "X" && e.pid === main?.pid && e.tid === main?.tid).sort((a, b) => a.ts - b.ts)) {
    const kind = kinds[event.name];
    if (!kind) continue;
    const ms = (event.tdur ?? event.dur) / 1000;
    if (event.ts >= open) {
      open = event.ts + event.dur;
      outer = kind;
      add(kind, ms);
    } else if (outer === "script" && (kind === "style" || kind === "layout")) {
      add(kind, ms);
      add("script", -ms);
    }
  }
  const total = Object.values(sums).reduce((a, b) => a + b, 0);
  return `${total.toFixed(0)} (` + Object.entries(sums).map(([kind, ms]) => `${kind} ${ms.toFixed(0)}`).join(", ") + ")";
}

const radicale = await startRadicale();
const program = await startProgram({ WRENFOLD_CALDAV_URL: radicale.root });
const browser = await startBrowser();
try {
  await radicale.createCalendar("bench", "Bench", "#FF9500FF");
  const page = await openPage(browser, program.address, { viewport: { width: 1280, height: 800 } });
  await addAccount(page, radicale);
  const accountId = await page.evaluate(async () => (await window.wrenfold.api.list_accounts()).accounts[0].id);
  const extra = makeEvents(accountId);
  let requests = 0;
  await page.route("**/api/get_events", async (route) => {
    requests++;
    const [start, end] = JSON.parse(route.request().postData());
    const response = await route.fetch();
    const body = await response.json();
    body.result.events.push(...extra.filter((event) => event.start.slice(0, 10) < end && event.end.slice(0, 10) >= start));
    await route.fulfill({ response, json: body });
  });
  await page.getByRole("button", { name: "Today", exact: true }).click();

  // From the click on a view's button to the first frame painted once the
  // view shows its events.
  const switchTo = async (name, type) => {
    const painted = page.evaluate((viewType) => new Promise((resolve) => {
      let clicked = 0;
      document.addEventListener("click", () => { clicked = performance.now(); }, { capture: true, once: true });
      const check = () => {
        const view = document.querySelector(`.fc-${viewType}-view`);
        if (clicked && view && view.querySelector(".fc-event"))
          requestAnimationFrame(() => setTimeout(() => resolve(performance.now() - clicked), 0));
        else requestAnimationFrame(check);
      };
      check();
    }), type);
    await page.getByRole("button", { name, exact: true }).click();
    return painted;
  };
  // A first round fetches every range once; the rounds after it switch
  // between ranges already fetched.
  for (const [name, type] of VIEWS) await switchTo(name, type);
  const cdp = profiling ? await page.context().newCDPSession(page) : null;
  if (cdp) { await cdp.send("Profiler.enable"); await cdp.send("Profiler.setSamplingInterval", { interval: 200 }); await cdp.send("Profiler.start"); }
  const times = Object.fromEntries(VIEWS.map(([name]) => [name, []]));
  const requestsBefore = requests;
  for (let round = 0; round < ROUNDS; round++)
    for (const [name, type] of VIEWS) times[name].push(await switchTo(name, type));
  const all = Object.values(times).flat().sort((a, b) => a - b);
  const median = (list) => [...list].sort((a, b) => a - b)[Math.floor(list.length / 2)];
  console.log(`view switches, ${CALENDARS} calendars x ${PER_CALENDAR} events: median ${median(all).toFixed(0)} ms, ` +
              `max ${all.at(-1).toFixed(0)} ms (${all.length} switches); by view: ` +
              VIEWS.map(([name]) => `${name} ${median(times[name]).toFixed(0)}`).join(", ") + " ms" +
              `; ${requests - requestsBefore} requests for events while switching (a view drawn before its answer is timed too soon)`);
  if (cdp) {
    const { profile } = await cdp.send("Profiler.stop");
    const traced = [];
    const nodes = () => page.evaluate(() => document.querySelectorAll(".calendar *").length);
    for (const [name, type] of VIEWS) traced.push(`${name}: ${await traceRound(cdp, () => switchTo(name, type))}, ${await nodes()} nodes`);
    console.log(`CPU time of the page's main thread per switch, ms (a busy machine stretches wall time, not this): ${traced.join("; ")}`);
    const path = join(process.env.E2E_ARTIFACTS || tmpdir(), "view-switch.cpuprofile");
    writeFileSync(path, JSON.stringify(profile));
    console.log(`profile: ${path}; self time:`);
    for (const [where, ms] of heaviest(profile)) console.log(`  ${ms.toFixed(0).padStart(6)} ms  ${where}`);
  }
  if (page.problems.length) console.log("page problems:", page.problems);
} finally {
  await browser.close();
  await program.stop();
  await radicale.stop();
}
