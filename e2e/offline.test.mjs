// Offline first, as a person meets it: the server gone, the month still shows
// its events under one banner, a save says plainly why it failed and keeps
// the typing, "Try again" with the server back clears the banner; and the
// header's search finds an event by a word of its notes in either language.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { startProgram, startBrowser, openPage, addAccount, screenshot } from "./support.mjs";
import { startRadicale, ics } from "./radicale.mjs";

let radicale, program, browser, page;
const now = new Date();
const month = `${now.getFullYear()}${String(now.getMonth() + 1).padStart(2, "0")}`;
const day15 = `${now.getFullYear()}-${String(now.getMonth() + 1).padStart(2, "0")}-15`;

const waitForTitle = (title) => page.waitForFunction((wanted) =>
  [...document.querySelectorAll(".fc-event-title")].some((node) => node.textContent === wanted), title);

before(async () => {
  radicale = await startRadicale();
  const work = await radicale.createCalendar("work", "Work", "#FF2968FF");
  await radicale.put(work + "dentist.ics", ics(
    "BEGIN:VEVENT", "UID:dentist", "DTSTAMP:20261201T000000Z", `DTSTART;VALUE=DATE:${month}15`,
    `DTEND;VALUE=DATE:${month}16`, "SUMMARY:Dentist", "DESCRIPTION:Bring the insurance card 記得帶健保卡",
    "END:VEVENT"));
  program = await startProgram({ WRENFOLD_CALDAV_URL: radicale.root, WRENFOLD_SYNC_INTERVAL: "2" });
  browser = await startBrowser();
  page = await openPage(browser, program.address);
  await page.getByRole("button", { name: "New event", exact: true }).waitFor();
  await addAccount(page, radicale);
  await waitForTitle("Dentist");
});

after(async () => {
  await browser?.close();
  if (program) assert.equal(await program.stop(), 0);
  await radicale?.stop();
});

test("offline the month keeps its events under one banner, a save keeps the typing, and Try again clears it", async () => {
  await radicale.halt();
  await page.reload();
  await waitForTitle("Dentist");
  const banner = page.getByRole("status").filter({ hasText: "could not be reached since" });
  await banner.waitFor({ timeout: 20000 });
  await screenshot(page, "offline-banner");

  await page.getByRole("button", { name: "New event", exact: true }).click();
  const dialog = page.getByRole("dialog", { name: "New event" });
  await dialog.getByLabel("Title", { exact: true }).fill("Typed while offline");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await dialog.getByText("could not be reached, so the change may not have been saved").waitFor();
  assert.equal(await dialog.getByLabel("Title", { exact: true }).inputValue(), "Typed while offline");
  await dialog.getByRole("button", { name: "Cancel", exact: true }).click();
  await page.getByRole("dialog", { name: "Discard changes?" }).getByRole("button", { name: "Discard", exact: true }).click();
  await dialog.waitFor({ state: "detached" });

  // Opened again while still offline: the month is drawn from the one
  // request the page makes as it starts, and failing again asks no refetch.
  const asked = [];
  const count = (request) => { if (request.url().endsWith("/api/get_events")) asked.push(request.url()); };
  page.on("request", count);
  await page.reload();
  await waitForTitle("Dentist");
  await banner.waitFor({ timeout: 20000 });
  page.off("request", count);
  assert.equal(asked.length, 1, "the month is drawn from its first answer");

  await radicale.restart();
  await banner.getByRole("button", { name: "Try again" }).click();
  await banner.waitFor({ state: "hidden" });
  await waitForTitle("Dentist");
});

test("search finds an event by a word of its notes in Chinese and in English and opens its day", async () => {
  await screenshot(page, "before-search");
  for (const [language, words] of [["en", "INSURANCE"], ["zh-Hant", "健保卡"]]) {
    await page.getByLabel("Language", { exact: true }).selectOption(language);
    await page.locator("#title").click();
    await page.keyboard.press("/");
    const search = page.getByRole("searchbox");
    await search.fill(words);
    const hit = page.locator(".search-hit").filter({ hasText: "Dentist" });
    await hit.waitFor();
    await screenshot(page, "search-" + language);
    await search.press("Enter");
    await page.locator(".search-highlight").waitFor();
    assert.equal(await page.locator(`.fc-timegrid-col[data-date="${day15}"], .fc-daygrid-day[data-date="${day15}"]`).count() > 0, true);
  }
  await page.getByLabel("語言", { exact: true }).selectOption("en");
  assert.deepEqual(page.problems, []);
});

test("a start pictures the month from the local copy at once, and the calendar's own month takes its place", async () => {
  // A start opens on the view last shown: the month.
  const month = page.getByRole("button", { name: "Month", exact: true });
  if (await month.getAttribute("aria-pressed") !== "true") {
    const saved = page.waitForResponse((response) => response.url().endsWith("/api/set_view"));
    await month.click();
    await saved;
  }
  const starting = await openPage(browser, null);
  // The calendar library comes late and lays its month out late, as on a
  // slow machine, so that the picture stays long enough to be looked at.
  await starting.route("**/js/calendar-library.js", async (route) => {
    const response = await route.fetch();
    const body = await response.text() + ";(() => { const calendar = FullCalendar.Calendar.prototype, render = calendar.render;" +
      " calendar.render = function () { setTimeout(() => render.call(this), 1500); }; })();";
    await new Promise((resolve) => setTimeout(resolve, 500));
    await route.fulfill({ response, body });
  });
  await starting.goto(program.address);
  const sketch = starting.locator(".month-sketch");
  await sketch.getByText("Dentist", { exact: true }).waitFor();
  await screenshot(starting, "month-pictured-before-the-calendar");
  assert.equal(await sketch.getAttribute("aria-hidden"), "true");
  assert.equal(await starting.getByText("Dentist", { exact: true }).count(), 1, "only the picture shows it yet");
  assert.doesNotMatch(await starting.locator("body").ariaSnapshot(), /Dentist/, "the picture is not read out");
  await starting.locator(".fc-event-title", { hasText: "Dentist" }).waitFor();
  await sketch.waitFor({ state: "detached" });
  assert.match(await starting.locator("body").ariaSnapshot(), /Dentist/);
  await screenshot(starting, "month-after-the-picture");
  assert.deepEqual(starting.problems, []);
  await starting.context().close();
});

test("a refused password is replaced from the banner once the server takes the new one", async () => {
  radicale.changePassword("brand-new-app-password");
  await page.evaluate(() => window.wrenfold.api.sync_now());
  const banner = page.getByRole("status").filter({ hasText: "could not be reached since" });
  await banner.getByRole("button", { name: `New password for ${radicale.user}` }).click();
  const dialog = page.getByRole("dialog", { name: "New app-specific password" });
  await dialog.getByLabel("App-specific password").fill("not-it");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await dialog.getByText("HTTP 401").waitFor();
  await dialog.getByLabel("App-specific password").fill("brand-new-app-password");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  await banner.waitFor({ state: "hidden" });
  await waitForTitle("Dentist");
  assert.deepEqual(page.problems, []);
});
