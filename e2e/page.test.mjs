// The page's frame: loading through the bridge, the token, the language, the
// add-account dialog and its failures, and accessibility.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { join } from "node:path";
import { startProgram, startBrowser, openPage, screenshot, axeScan } from "./support.mjs";
import { startRadicale } from "./radicale.mjs";

let radicale;
let program;
let browser;

before(async () => {
  radicale = await startRadicale();
  await radicale.createCalendar("personal", "Personal", "#1BADF8FF");
  program = await startProgram({ WRENFOLD_CALDAV_URL: radicale.root });
  browser = await startBrowser();
});

after(async () => {
  await browser?.close();
  if (program) assert.equal(await program.stop(), 0);
  await radicale?.stop();
});

test("the page loads through the bridge, shows the logo and switches language", async () => {
  const page = await openPage(browser, program.address);
  await page.waitForFunction(() => document.getElementById("logo").src.startsWith("data:image/png;base64,"));
  const logo = await page.$eval("#logo", (img) => ({ width: img.naturalWidth, height: img.naturalHeight }));
  assert.deepEqual(logo, { width: 256, height: 256 });
  await page.getByRole("heading", { name: "Calendars" }).waitFor();
  assert.doesNotMatch(page.url(), /token=/, "the token leaves the address bar");
  assert.match(await page.getByText(/No iCloud account yet/).textContent(), /Add one/);
  assert.deepEqual(await axeScan(page), [], "the main view has no serious accessibility fault");
  await screenshot(page, "empty-en");

  await page.getByLabel("Language", { exact: true }).selectOption("zh-Hant");
  await page.getByRole("heading", { name: "行事曆" }).waitFor();
  assert.equal(await page.locator("html").getAttribute("lang"), "zh-Hant");
  assert.deepEqual(await axeScan(page), []);
  await screenshot(page, "empty-zh");

  await page.reload();
  await page.getByRole("heading", { name: "行事曆" }).waitFor();
  assert.equal(await page.locator("#language").inputValue(), "zh-Hant");
  assert.doesNotMatch(page.url(), /token=/);
  const settings = JSON.parse(readFileSync(join(program.home, ".local/share/kelvane/Wrenfold/settings.json"), "utf8"));
  assert.equal(settings.language, "zh-Hant", "saved at once");

  // A program that stops answering is reported in the page's language, and
  // the report goes once it answers again.
  await page.route("**/api/get_runtime_state", (route) => route.abort("aborted"));
  const banner = page.getByRole("alert").filter({ hasText: /\S/ });
  await banner.waitFor();
  assert.match(await banner.textContent(), /^Wrenfold 本身沒有回應。/);
  await page.unroute("**/api/get_runtime_state");
  await banner.waitFor({ state: "hidden" });
  await page.getByLabel("語言", { exact: true }).selectOption("en");
  await page.getByRole("heading", { name: "Calendars" }).waitFor();
  assert.deepEqual(page.problems, []);
  await page.context().close();
});

test("a page without the token cannot use the bridge and says so", async () => {
  const page = await openPage(browser, null);
  await page.goto(program.address.replace(/#token=.*/, ""));
  await page.getByRole("alert").filter({ hasText: /token/ }).waitFor();
  assert.match(await page.locator("#banner").textContent(), /access token is not valid/);
  await page.context().close();
});

// The starting state and the first month are asked for by the starting
// module while the rest loads; the calendar must take those answers, not ask
// again, whether they come before its scripts or after, and the page's
// scripts must come in one round.
test("a start asks for its state and its month once, in a few files, and draws that month", async () => {
  for (const scriptsLate of [false, true]) {
    const page = await openPage(browser, null);
    // January has a holiday to draw whatever day the test runs.
    await page.clock.setFixedTime(new Date("2027-01-15T10:00:00+08:00"));
    const asked = [];
    page.on("request", (request) => asked.push(new URL(request.url()).pathname));
    const month = page.waitForResponse((response) => response.url().endsWith("/api/get_events")).then((response) => response.json());
    if (scriptsLate) await page.route("**/js/main.js", async (route) => { await month; await route.continue(); });
    await page.goto(program.address);
    const events = (await month).result.events;
    assert.ok(events.length > 0, "the month has holidays");
    await page.waitForFunction((n) => document.querySelectorAll(".fc-daygrid-event").length === n, events.length);
    await page.waitForRequest((request) => request.url().endsWith("/api/get_runtime_state"));
    const count = (path) => asked.filter((entry) => entry === path).length;
    assert.deepEqual([count("/api/get_initial_state"), count("/api/get_events"), count("/api/get_holiday_names")], [1, 1, 1],
                     scriptsLate ? "scripts after the answers" : "scripts first");
    // Eight files for the page and three for the assistant's panel; one per module was sixty.
    const files = asked.filter((path) => /^\/(js|css|vendor|assistant)\//.test(path));
    assert.ok(files.length <= 12, "the page's scripts and styles come joined: " + files.join(" "));
    assert.deepEqual(page.problems, []);
    await page.context().close();
  }
});

// The header works from the moment the page shows it: clicks made before the
// calendar is there are kept until it is drawn.
test("header clicks made before the calendar is drawn are kept", async () => {
  const page = await openPage(browser, null);
  await page.clock.setFixedTime(new Date("2027-01-15T10:00:00+08:00"));
  let release;
  const held = new Promise((resolve) => { release = resolve; });
  await page.route("**/api/get_initial_state", async (route) => { await held; await route.continue(); });
  const viewSaved = (view) => page.waitForResponse((response) =>
    response.url().endsWith("/api/set_view") && JSON.parse(response.request().postData())[0] === view);
  await page.goto(program.address);
  await page.locator("#next").click();
  await page.getByRole("button", { name: "Week" }).click();
  const weekSaved = viewSaved("week");
  release();
  // The week that opens the next month.
  await page.locator('.fc-timeGridWeek-view .fc-col-header-cell[data-date="2027-02-01"]').waitFor();
  assert.equal(await page.getByRole("button", { name: "Week" }).getAttribute("aria-pressed"), "true");
  await weekSaved;
  const monthSaved = viewSaved("month");
  await page.getByRole("button", { name: "Month", exact: true }).click();  // the view the other tests start in
  await monthSaved;
  assert.deepEqual(page.problems, []);
  await page.context().close();
});

test("adding an account shows the program's texts for its failures, then the calendars", async () => {
  const page = await openPage(browser, program.address);
  const returnTo = page.getByRole("button", { name: "Add account" });
  await returnTo.click();
  const dialog = page.getByRole("dialog", { name: "Add account" });
  assert.deepEqual(await axeScan(page, "dialog[open]"), [], "the dialog has no serious accessibility fault");
  assert.equal(await page.evaluate(() => document.activeElement.id), "apple-id", "focus starts in the dialog");

  await dialog.getByRole("button", { name: "Add", exact: true }).click();
  await dialog.getByText("Enter both the Apple ID and the app-specific password.").waitFor();

  await dialog.getByLabel("Apple ID", { exact: true }).fill(radicale.user);
  await dialog.getByLabel("App-specific password", { exact: true }).fill("wrong-password");
  await dialog.getByRole("button", { name: "Add", exact: true }).click();
  await dialog.getByText(/^iCloud did not accept the Apple ID or the app-specific password\./).waitFor();
  assert.equal(await dialog.getByLabel("Apple ID", { exact: true }).inputValue(), radicale.user, "what was typed stays");
  await screenshot(page, "add-account-failed");

  // Tab stays inside the dialog; Esc closes it and focus goes back.
  for (let i = 0; i < 8; i++) await page.keyboard.press("Tab");
  assert.equal(await page.evaluate(() => Boolean(document.activeElement.closest("dialog"))), true);
  await page.keyboard.press("Escape");
  await dialog.waitFor({ state: "detached" });
  assert.equal(await page.evaluate(() => document.activeElement.textContent), "Add account");

  await returnTo.click();
  await dialog.getByLabel("Apple ID", { exact: true }).fill(" " + radicale.user + " ");
  await dialog.getByLabel("App-specific password", { exact: true }).fill(radicale.password);
  await dialog.getByRole("button", { name: "Add", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  await page.getByRole("checkbox", { name: "Personal" }).waitFor();
  assert.equal(await page.locator(".calendar-row", { hasText: "Personal" }).getByText("Default").count(), 1);
  assert.deepEqual(await axeScan(page), [], "the main view with an account has no serious accessibility fault");

  await returnTo.click();
  await dialog.getByLabel("Apple ID", { exact: true }).fill(radicale.user.toUpperCase());
  await dialog.getByLabel("App-specific password", { exact: true }).fill(radicale.password);
  await dialog.getByRole("button", { name: "Add", exact: true }).click();
  await dialog.getByText("This Apple ID is already in Wrenfold.").waitFor();
  await dialog.getByRole("button", { name: "Cancel", exact: true }).click();

  // Removing asks first.
  await page.getByRole("button", { name: `Actions for ${radicale.user}` }).click();
  await page.getByRole("menuitem", { name: "Remove account" }).click();
  const confirm = page.getByRole("dialog", { name: "Remove account" });
  await confirm.getByRole("button", { name: "Cancel", exact: true }).click();
  assert.equal(await page.getByRole("checkbox", { name: "Personal" }).count(), 1);
  await page.getByRole("button", { name: `Actions for ${radicale.user}` }).click();
  await page.getByRole("menuitem", { name: "Remove account" }).click();
  await confirm.getByRole("button", { name: "Remove", exact: true }).click();
  await page.getByText(/No iCloud account yet/).waitFor();
  assert.deepEqual(page.problems, []);
  await page.context().close();
});
