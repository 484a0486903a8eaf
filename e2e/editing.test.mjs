// Editing that forgives: plain failures with what to do, a sign-in that can be
// called off, conflicts resolved without losing typing, and undo — against a
// real Radicale behind a gate that can play a failing network.
import { test, before, after, afterEach } from "node:test";
import assert from "node:assert/strict";
import { existsSync, readFileSync, writeFileSync, mkdtempSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { startProgram, startBrowser, openPage, screenshot, axeScan, addAccount, waitFor, showMonth, closeDialogs } from "./support.mjs";
import { startRadicale, ics } from "./radicale.mjs";
import { startGate } from "./gate.mjs";

let radicale, gate, program, browser, page, work;
const stamp = "DTSTAMP:20261201T000000Z";

// Events put on the server by another client reach the page once the local
// copy has synced.
async function openEvent(title) {
  await page.evaluate(() => window.wrenfold.api.sync_now());
  await page.locator(".fc-event", { hasText: title }).first().click();
  return page.getByRole("dialog", { name: "Edit event" });
}

// The stored object without the parts a server may stamp anew.
const stored = async (name) => (await radicale.get(work + name))?.replace(/\r?\n[ \t]/g, "");

before(async () => {
  radicale = await startRadicale();
  work = await radicale.createCalendar("work", "Work", "#FF2968FF");
  gate = await startGate(radicale.root);
  program = await startProgram({ WRENFOLD_CALDAV_URL: gate.url });
  browser = await startBrowser();
  page = await openPage(browser, program.address);
  page.on("dialog", (dialog) => { page.problems.push("a script opened a dialog: " + dialog.message()); dialog.dismiss(); });
  await page.getByRole("button", { name: "New event", exact: true }).waitFor();
});

afterEach(async () => {
  gate.set("open");
  page.problems.length = 0;
  await closeDialogs(page);
  if ((await page.locator("#language").inputValue()) !== "en") await page.locator("#language").selectOption("en");
});

after(async () => {
  await browser?.close();
  if (program) assert.equal(await program.stop(), 0);
  await gate?.stop();
  await radicale?.stop();
});

test("signing in says what went wrong and what to do, and a hanging sign-in is called off at once and adds nothing", async () => {
  await page.getByRole("button", { name: "Add account" }).click();
  const dialog = page.getByRole("dialog", { name: "Add account" });
  const alert = dialog.getByRole("alert");
  await dialog.getByLabel("Apple ID", { exact: true }).fill(radicale.user);
  await dialog.getByLabel("App-specific password", { exact: true }).fill("wrong-password");
  await dialog.getByRole("button", { name: "Add", exact: true }).click();
  await alert.getByText(/^iCloud did not accept the Apple ID or the app-specific password\. Check both/).waitFor();
  await alert.getByText("Details", { exact: true }).click();
  await alert.getByText("iCloud sign-in failed (HTTP 401). Check the Apple ID and app-specific password.").waitFor();
  await screenshot(page, "sign-in-wrong-password");

  gate.set("down");
  await dialog.getByLabel("App-specific password", { exact: true }).fill(radicale.password);
  await dialog.getByRole("button", { name: "Add", exact: true }).click();
  await alert.getByText(/^Can't reach the server to sign in\. Check your connection/).waitFor();
  await screenshot(page, "sign-in-offline");

  gate.set("hold");
  await dialog.getByRole("button", { name: "Add", exact: true }).click();
  await dialog.getByText("Signing in to iCloud…").waitFor();
  assert.equal(await dialog.getByRole("button", { name: "Cancel", exact: true }).isEnabled(), true);
  await page.keyboard.press("Escape");
  await dialog.waitFor({ state: "detached", timeout: 1000 });

  // The server answers after all: the program finishes its sign-in, and no
  // account appears, in the page or in the stored list.
  gate.release();
  await page.waitForTimeout(1500);
  assert.deepEqual((await page.evaluate(() => window.wrenfold.api.list_accounts())).accounts, []);
  await page.getByText(/No iCloud account yet/).waitFor();
  const file = join(program.home, ".local/share/kelvane/Wrenfold/accounts.json");
  assert.equal(existsSync(file) && readFileSync(file, "utf8").includes(radicale.user), false);

  // Nothing of the called-off sign-in is in the way of the next one.
  await addAccount(page, radicale);
  await page.getByRole("checkbox", { name: "Work" }).waitFor();
  assert.deepEqual(page.problems, []);
});

test("a save while the server is unreachable says so plainly and keeps the typing; Esc over changes asks first", async () => {
  await radicale.put(work + "offline.ics", ics("BEGIN:VEVENT", "UID:offline", stamp, "DTSTART:20270310T100000",
    "DTEND:20270310T110000", "SUMMARY:Planning", "END:VEVENT"));
  await showMonth(page, 2027, 3);
  const dialog = await openEvent("Planning");
  await dialog.getByLabel("Title", { exact: true }).fill("Planning (moved to Q2)");
  gate.set("down");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  const alert = dialog.getByRole("alert");
  // The program's own sentence for a write that never reached the server is shown as it is.
  await alert.getByText(/could not be reached, so the change may not have been saved/).waitFor();
  assert.equal(await dialog.getByLabel("Title", { exact: true }).inputValue(), "Planning (moved to Q2)");
  await screenshot(page, "save-offline");

  gate.set("open");
  await page.keyboard.press("Escape");
  const ask = page.getByRole("dialog", { name: "Discard changes?" });
  assert.deepEqual(await ask.getByRole("button").allTextContents(), ["Keep editing", "Discard"], "the safe answer comes first");
  await ask.getByRole("button", { name: "Keep editing", exact: true }).click();
  assert.equal(await dialog.getByLabel("Title", { exact: true }).inputValue(), "Planning (moved to Q2)");
  await dialog.getByRole("button", { name: "Cancel", exact: true }).click();
  await ask.getByRole("button", { name: "Discard", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  assert.match(await stored("offline.ics"), /SUMMARY:Planning\r\n/, "nothing was written");

  // An editor left untouched closes without a question.
  await openEvent("Planning");
  await page.keyboard.press("Escape");
  await dialog.waitFor({ state: "detached" });
  assert.deepEqual(page.problems, []);
});

test("a save refused because the event changed elsewhere keeps both sides' changes with \"Keep mine\"", async () => {
  await radicale.put(work + "budget.ics", ics("BEGIN:VEVENT", "UID:budget", stamp, "DTSTART:20270311T140000",
    "DTEND:20270311T150000", "SUMMARY:Budget", "LOCATION:Room 1", "END:VEVENT"));
  await showMonth(page, 2027, 3);
  const dialog = await openEvent("Budget");
  await dialog.getByLabel("Title", { exact: true }).fill("Budget review");
  // Someone else moves it to another room meanwhile.
  await radicale.put(work + "budget.ics", ics("BEGIN:VEVENT", "UID:budget", stamp, "SEQUENCE:1", "DTSTART:20270311T140000",
    "DTEND:20270311T150000", "SUMMARY:Budget", "LOCATION:Room 7", "END:VEVENT"));
  await dialog.getByRole("button", { name: "Save", exact: true }).click();

  const conflict = page.getByRole("dialog", { name: "Changed elsewhere" });
  await conflict.waitFor();
  const row = (name) => conflict.getByRole("row", { name: new RegExp("^" + name) });
  assert.deepEqual(await row("Title").getByRole("cell").allTextContents(), ["Budget", "Budget review"]);
  assert.deepEqual(await row("Location").getByRole("cell").allTextContents(), ["Room 7", "Room 7"]);
  assert.deepEqual(await axeScan(page, "dialog[open]"), []);
  await screenshot(page, "conflict");
  await conflict.getByRole("button", { name: "Keep mine", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  const saved = await stored("budget.ics");
  assert.match(saved, /SUMMARY:Budget review\r\n/);
  assert.match(saved, /LOCATION:Room 7\r\n/);
  assert.deepEqual(page.problems, []);
});

test("undo of a drag and of a delete writes the server's previous object back", async () => {
  await radicale.put(work + "dentist.ics", ics("BEGIN:VEVENT", "UID:dentist", stamp, "DTSTART:20270316T090000",
    "DTEND:20270316T100000", "SUMMARY:Dentist", "BEGIN:VALARM", "ACTION:DISPLAY", "DESCRIPTION:Go", "TRIGGER:-PT30M",
    "END:VALARM", "END:VEVENT"));
  const original = await stored("dentist.ics");
  await page.evaluate(() => window.wrenfold.api.sync_now());
  await showMonth(page, 2027, 3);
  const dentist = page.locator(".fc-event", { hasText: "Dentist" });
  await dentist.waitFor();
  const event = await dentist.boundingBox();
  const target = await page.locator('td[data-date="2027-03-17"]').boundingBox();
  await page.mouse.move(event.x + event.width / 2, event.y + event.height / 2);
  await page.mouse.down();
  await page.mouse.move(target.x + target.width / 2, target.y + target.height / 2, { steps: 10 });
  await page.mouse.up();
  const notice = page.getByRole("status").filter({ hasText: "Moved “Dentist”." });
  await notice.waitFor();
  await waitFor(async () => /DTSTART[^:]*:20270317T090000/.test(await stored("dentist.ics")));
  await screenshot(page, "undo-notice");
  await notice.getByRole("button", { name: "Undo", exact: true }).click();
  await waitFor(async () => (await stored("dentist.ics")) === original);
  await page.waitForSelector('td[data-date="2027-03-16"] .fc-event');

  const dialog = await openEvent("Dentist");
  await dialog.getByRole("button", { name: "Delete", exact: true }).click();
  const confirm = page.getByRole("dialog", { name: "Delete event" });
  assert.deepEqual(await confirm.getByRole("button").allTextContents(), ["Cancel", "Delete"], "Cancel comes first");
  assert.equal(await page.evaluate(() => document.activeElement.textContent), "Cancel", "and holds the focus");
  await confirm.getByRole("button", { name: "Delete", exact: true }).click();
  await waitFor(async () => (await stored("dentist.ics")) === undefined);
  await page.getByRole("status").filter({ hasText: "Deleted “Dentist”." }).getByRole("button", { name: "Undo" }).click();
  await waitFor(async () => (await stored("dentist.ics")) === original);
  await page.waitForSelector('td[data-date="2027-03-16"] .fc-event');
  assert.deepEqual(page.problems, []);
});

test("deleting this and following events ends the series before that day, and Undo brings the rest back", async () => {
  await radicale.put(work + "course.ics", ics("BEGIN:VEVENT", "UID:course", stamp, "DTSTART:20270405T100000",
    "DTEND:20270405T110000", "RRULE:FREQ=WEEKLY;COUNT=6", "SUMMARY:Course", "X-OTHER;X-LIST=\"a,b\":kept\\, as is",
    "END:VEVENT"));
  const original = await stored("course.ics");
  await page.evaluate(() => window.wrenfold.api.sync_now());
  await showMonth(page, 2027, 4);
  const on = (day) => page.locator(`td[data-date="${day}"] .fc-event`, { hasText: "Course" });
  await on("2027-04-19").click();
  const dialog = page.getByRole("dialog", { name: "Edit event" });
  await dialog.getByRole("button", { name: "Delete", exact: true }).click();
  const ask = page.getByRole("dialog", { name: "Repeating event" });
  assert.deepEqual(await ask.getByRole("button").allTextContents(),
                   ["Cancel", "This event", "This and following events", "All events"]);
  await ask.getByRole("button", { name: "This and following events", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  const cut = await stored("course.ics");
  assert.match(cut, /RRULE:FREQ=WEEKLY;UNTIL=20270419T095959\r\n/, "floating, one second before the occurrence");
  const kept = original.split("\r\n").filter((line) => !/^(RRULE|DTSTAMP|SEQUENCE|LAST-MODIFIED)[:;]/.test(line));
  assert.deepEqual(kept.filter((line) => !cut.split("\r\n").includes(line)), [], "every other line stays as written");
  await waitFor(async () => (await on("2027-04-19").count()) === 0 && (await on("2027-04-26").count()) === 0);
  assert.equal(await on("2027-04-12").count(), 1);
  await page.getByRole("status").filter({ hasText: "Deleted “Course”." }).getByRole("button", { name: "Undo" }).click();
  await waitFor(async () => (await stored("course.ics")) === original);
  await on("2027-04-26").waitFor();
  assert.deepEqual(page.problems, []);
});

// A rule's parts, in any order a server writes them.
const ruleParts = (rule) => rule.replace(/^RRULE:/, "").split(";").sort().join(";");

test("the repeat editor makes each kind of rule, the server stores it, and it reads back in words in both languages", async () => {
  await showMonth(page, 2027, 3);
  const cases = [
    { title: "Every third day", start: "2027-03-01T08:00", rule: "FREQ=DAILY;INTERVAL=3;COUNT=5",
      en: "Every 3 days, 5 times", zh: "每 3 天，共 5 次",
      set: async (d) => { await d.getByLabel("Repeat", { exact: true }).selectOption("daily");
        await d.getByLabel("Every", { exact: true }).fill("3");
        await d.getByLabel("Ends", { exact: true }).selectOption("count");
        await d.getByLabel("Times", { exact: true }).fill("5"); } },
    { title: "Workdays", start: "2027-03-02T08:00", rule: "FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR",
      en: "Every weekday", zh: "每個工作日",
      set: async (d) => d.getByLabel("Repeat", { exact: true }).selectOption("weekdays") },
    { title: "Fortnightly", start: "2027-03-01T10:00", rule: "FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,TH;UNTIL=20270331T155959Z",
      en: "Every 2 weeks on Monday and Thursday, until 31 Mar 2027", zh: "每 2 週的星期一、星期四，至 2027年3月31日",
      set: async (d) => { await d.getByLabel("Repeat", { exact: true }).selectOption("weekly");
        await d.getByLabel("Every", { exact: true }).fill("2");
        await d.getByRole("checkbox", { name: "Thursday" }).check();
        await d.getByLabel("Ends", { exact: true }).selectOption("until");
        await d.getByLabel("Last date", { exact: true }).fill("2027-03-31"); } },
    { title: "Last Friday", start: "2027-03-26T16:00", rule: "FREQ=MONTHLY;BYDAY=-1FR",
      en: "Every month on the last Friday", zh: "每月的最後一個星期五",
      set: async (d) => { await d.getByLabel("Repeat", { exact: true }).selectOption("monthly");
        await d.getByRole("combobox", { name: "On", exact: true }).selectOption({ label: "The last Friday" }); } },
    { title: "Anniversary", start: "2027-03-05T12:00", rule: "FREQ=YEARLY;INTERVAL=2",
      en: "Every 2 years on 5 Mar", zh: "每 2 年的3月5日",
      set: async (d) => { await d.getByLabel("Repeat", { exact: true }).selectOption("yearly");
        await d.getByLabel("Every", { exact: true }).fill("2"); } },
  ];
  for (const { title, start, set } of cases) {
    await page.getByRole("button", { name: "New event", exact: true }).click();
    const dialog = page.getByRole("dialog", { name: "New event" });
    await dialog.getByLabel("Title", { exact: true }).fill(title);
    const [date, time] = start.split("T");
    await dialog.getByLabel("Start", { exact: true }).fill(date);
    await dialog.getByLabel("Start time", { exact: true }).fill(time);
    await dialog.getByLabel("End", { exact: true }).fill(date);
    await dialog.getByLabel("End time", { exact: true }).fill(String(+time.slice(0, 2) + 1) + ":00");
    await set(dialog);
    if (title === "Fortnightly") await screenshot(page, "repeat-editor");
    await dialog.getByRole("button", { name: "Save", exact: true }).click();
    await dialog.waitFor({ state: "detached" });
  }
  const objects = await radicale.list(work);
  for (const { title, rule } of cases) {
    const object = objects.find((text) => text.includes("SUMMARY:" + title + "\r\n"));
    assert.ok(object, title);
    const event = object.slice(object.indexOf("BEGIN:VEVENT"));
    assert.equal(ruleParts(/\nRRULE:([^\r\n]*)/.exec(event)[1]), ruleParts(rule), title);
  }
  for (const language of ["en", "zh-Hant"]) {
    await page.locator("#language").selectOption(language);
    for (const c of cases) {
      await page.locator(".fc-event", { hasText: c.title }).first().click();
      const dialog = page.getByRole("dialog");
      assert.equal(await dialog.locator(".repeat-summary").textContent(), c[language === "en" ? "en" : "zh"], c.title);
      await page.keyboard.press("Escape");
      await dialog.waitFor({ state: "detached" });
    }
  }
  await page.locator("#language").selectOption("en");
  assert.deepEqual(page.problems, []);
});

test("date and time fields follow the page's language and clock, read typing, and pick dates from the keyboard", async () => {
  await showMonth(page, 2027, 3);
  await page.locator("#language").selectOption("zh-Hant");
  await page.getByRole("button", { name: "新增行程", exact: true }).click();
  const dialog = page.getByRole("dialog", { name: "新增行程" });
  const start = dialog.getByLabel("開始", { exact: true });
  await start.fill("2027/3/18");
  await dialog.getByLabel("開始時間", { exact: true }).fill("下午2點");
  await dialog.getByLabel("結束", { exact: true }).fill("2027年3月18日");
  await dialog.getByLabel("結束時間", { exact: true }).fill("1530");
  await dialog.getByLabel("標題", { exact: true }).fill("中文日期");
  assert.equal(await start.inputValue(), "2027年3月18日 週四");
  assert.equal(await dialog.getByLabel("開始時間", { exact: true }).inputValue(), "14:00");
  assert.equal(await dialog.getByLabel("結束時間", { exact: true }).inputValue(), "15:30");

  // The picker opens on the chosen day; arrows move it, Enter takes it.
  await dialog.getByRole("button", { name: "選擇日期：開始" }).click();
  const picker = dialog.getByRole("dialog", { name: "開始" });
  assert.equal(await page.evaluate(() => document.activeElement.getAttribute("aria-label")), "2027年3月18日 週四");
  await screenshot(page, "date-picker-zh");
  await page.keyboard.press("ArrowDown");
  await page.keyboard.press("ArrowRight");
  await page.keyboard.press("Enter");
  await picker.waitFor({ state: "detached" });
  assert.equal(await start.inputValue(), "2027年3月26日 週五");
  await dialog.getByLabel("結束", { exact: true }).fill("2027-03-26");
  await start.press("ArrowDown");
  assert.equal(await start.inputValue(), "2027年3月25日 週四", "Down steps a day back in the field itself");
  await start.press("ArrowUp");

  await dialog.getByLabel("結束時間", { exact: true }).fill("半夜");
  await dialog.getByRole("button", { name: "儲存", exact: true }).click();
  await dialog.getByText("無法讀取日期或時間。請照其他欄位的寫法輸入，或使用日期選擇器。").waitFor();
  await dialog.getByLabel("結束時間", { exact: true }).fill("15:30");
  await dialog.getByRole("button", { name: "儲存", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  const saved = (await radicale.list(work)).find((text) => text.includes("SUMMARY:中文日期"));
  assert.match(saved, /DTSTART;TZID=Asia\/Taipei:20270326T140000/);
  assert.match(saved, /DTEND;TZID=Asia\/Taipei:20270326T153000/);

  await page.locator("#language").selectOption("en");
  await page.locator(".fc-event", { hasText: "中文日期" }).click();
  const editor = page.getByRole("dialog", { name: "Edit event" });
  assert.equal(await editor.getByLabel("Start", { exact: true }).inputValue(), "Fri 26 Mar 2027");
  assert.equal(await editor.getByLabel("End time", { exact: true }).inputValue(), "3:30 PM");
  await page.keyboard.press("Escape");
  await editor.waitFor({ state: "detached" });

  // The display settings' clock and first weekday hold in the fields too.
  await page.getByText("Display", { exact: true }).click();
  try {
    await page.getByLabel("Time format").selectOption("24");
    await page.getByLabel("Week starts on").selectOption("monday");
    await page.locator(".fc-event", { hasText: "中文日期" }).click();
    assert.equal(await editor.getByLabel("End time", { exact: true }).inputValue(), "15:30");
    await editor.getByRole("button", { name: "Choose the date: Start" }).click();
    assert.equal(await editor.getByRole("dialog", { name: "Start" }).locator("th").first().textContent(), "Mon");
    await page.keyboard.press("Escape");
    await page.keyboard.press("Escape");
    await editor.waitFor({ state: "detached" });
  } finally {
    await page.getByLabel("Time format").selectOption("language");
    await page.getByLabel("Week starts on").selectOption("system");
  }
  assert.deepEqual(page.problems, []);
});

test("an event made at 09:00 New York time is stored in that zone and shown at the same instant here", async () => {
  await showMonth(page, 2027, 3);
  await page.getByRole("button", { name: "New event", exact: true }).click();
  const dialog = page.getByRole("dialog", { name: "New event" });
  await dialog.getByLabel("Title", { exact: true }).fill("Call with New York");
  await dialog.getByLabel("Start", { exact: true }).fill("2027-03-22");
  await dialog.getByLabel("Start time", { exact: true }).fill("09:00");
  await dialog.getByLabel("End", { exact: true }).fill("2027-03-22");
  await dialog.getByLabel("End time", { exact: true }).fill("10:00");
  assert.equal(await dialog.getByLabel("Time zone", { exact: true }).isVisible(), false, "hidden until asked for");
  await dialog.getByRole("button", { name: "Time zone", exact: true }).click();
  const zone = dialog.getByLabel("Time zone", { exact: true });
  assert.equal(await zone.inputValue(), "Asia/Taipei", "the account's zone is the default");
  await zone.selectOption("America/New_York");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  const saved = (await radicale.list(work)).find((text) => text.includes("SUMMARY:Call with New York"));
  assert.match(saved, /DTSTART;TZID=America\/New_York:20270322T090000/);
  assert.match(saved, /DTEND;TZID=America\/New_York:20270322T100000/);
  assert.match(saved, /BEGIN:VTIMEZONE\r\nTZID:America\/New_York/);

  // 09:00 in New York (summer time from 14 March) is 21:00 in Taipei.
  const editor = await openEvent("Call with New York");
  assert.equal(await editor.getByLabel("Start time", { exact: true }).inputValue(), "9:00 PM");

  // Another zone for the existing event keeps its 09:00, now in London.
  await editor.getByRole("button", { name: "Time zone", exact: true }).click();
  await editor.getByLabel("Time zone", { exact: true }).selectOption("Europe/London");
  await editor.getByRole("button", { name: "Save", exact: true }).click();
  await editor.waitFor({ state: "detached" });
  const moved = (await radicale.list(work)).find((text) => text.includes("SUMMARY:Call with New York"));
  assert.match(moved, /DTSTART;TZID=Europe\/London:20270322T090000/);
  assert.match(moved, /DTEND;TZID=Europe\/London:20270322T100000/);
  assert.match(moved, /BEGIN:VTIMEZONE\r\nTZID:Europe\/London/);
  assert.deepEqual(page.problems, []);
});

// The name and colour the server keeps for a calendar, read as another client would.
async function calendarProps(url) {
  const response = await fetch(url, { method: "PROPFIND", headers: {
    Authorization: "Basic " + Buffer.from(`${radicale.user}:${radicale.password}`).toString("base64"), Depth: "0",
    "Content-Type": "application/xml" }, body: `<?xml version="1.0"?><d:propfind xmlns:d="DAV:" xmlns:a="http://apple.com/ns/ical/">
<d:prop><d:displayname/><a:calendar-color/></d:prop></d:propfind>` });
  const text = await response.text();
  if (response.status !== 207) return null;
  return { name: /displayname[^>]*>([^<]*)</.exec(text)?.[1], color: /calendar-color[^>]*>([^<]*)</.exec(text)?.[1] };
}

test("a calendar is made, renamed, recoloured and deleted from the sidebar's menus", async () => {
  await page.getByRole("button", { name: `Actions for ${radicale.user}` }).click();
  await page.getByRole("menuitem", { name: "New calendar…" }).click();
  let dialog = page.getByRole("dialog", { name: "New calendar" });
  await dialog.getByLabel("Name", { exact: true }).fill("Projects");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  await page.getByRole("checkbox", { name: "Projects" }).waitFor();
  const url = (await page.evaluate(() => window.wrenfold.api.list_accounts())).accounts[0].calendars
    .find((calendar) => calendar.name === "Projects").url;
  assert.deepEqual(await calendarProps(url), { name: "Projects", color: "#1BADF8FF" });

  await page.getByRole("button", { name: "Options for Projects" }).click();
  await page.getByRole("menuitem", { name: "Rename or recolour…" }).click();
  dialog = page.getByRole("dialog", { name: "Calendar" });
  await dialog.getByLabel("Name", { exact: true }).fill("Projects 2027");
  await dialog.getByLabel("Colour", { exact: true }).fill("#34c759");
  await screenshot(page, "calendar-dialog");
  await dialog.getByRole("button", { name: "Save", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  await page.getByRole("checkbox", { name: "Projects 2027" }).waitFor();
  assert.deepEqual(await calendarProps(url), { name: "Projects 2027", color: "#34C759FF" });

  // A calendar that holds an event asks a second time, saying so.
  await radicale.put(url + "kickoff.ics", ics("BEGIN:VEVENT", "UID:kickoff", stamp, "DTSTART:20270401T100000",
    "DTEND:20270401T110000", "SUMMARY:Kickoff", "END:VEVENT"));
  await page.getByRole("button", { name: "Options for Projects 2027" }).click();
  await page.getByRole("menuitem", { name: "Delete calendar…" }).click();
  let confirm = page.getByRole("dialog", { name: "Delete calendar" });
  await confirm.getByRole("button", { name: "Delete", exact: true }).click();
  confirm = page.getByRole("dialog", { name: "Delete calendar" });
  await confirm.getByText("“Projects 2027” holds 1 events.", { exact: false }).waitFor();
  await confirm.getByRole("button", { name: "Cancel", exact: true }).click();
  assert.ok(await calendarProps(url), "cancelled: still there");
  await page.getByRole("button", { name: "Options for Projects 2027" }).click();
  await page.getByRole("menuitem", { name: "Delete calendar…" }).click();
  await page.getByRole("dialog", { name: "Delete calendar" }).getByRole("button", { name: "Delete", exact: true }).click();
  await page.getByRole("dialog", { name: "Delete calendar" }).getByRole("button", { name: "Delete with its events" }).click();
  await page.getByRole("checkbox", { name: "Projects 2027" }).waitFor({ state: "detached" });
  assert.equal(await calendarProps(url), null);
  assert.deepEqual(page.problems, []);
});

test("a .ics file of three events is previewed, imported whole, and a calendar exported and imported elsewhere is equal", async () => {
  const zone = ["BEGIN:VTIMEZONE", "TZID:Europe/Berlin", "BEGIN:STANDARD", "DTSTART:19701025T030000",
    "TZOFFSETFROM:+0200", "TZOFFSETTO:+0100", "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU", "END:STANDARD",
    "BEGIN:DAYLIGHT", "DTSTART:19700329T020000", "TZOFFSETFROM:+0100", "TZOFFSETTO:+0200",
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU", "END:DAYLIGHT", "END:VTIMEZONE"];
  const events = {
    "trip-weekly": ["BEGIN:VEVENT", "UID:trip-weekly", stamp, "DTSTART;TZID=Europe/Berlin:20270503T090000",
      "DTEND;TZID=Europe/Berlin:20270503T100000", "RRULE:FREQ=WEEKLY;COUNT=4", "SUMMARY:Berlin stand-up", "END:VEVENT"],
    "trip-flight": ["BEGIN:VEVENT", "UID:trip-flight", stamp, "DTSTART:20270505T020000Z", "DTEND:20270505T140000Z",
      "SUMMARY:Flight", "X-OTHER;X-P=\"a,b\":kept\\, as is", "BEGIN:VALARM", "ACTION:DISPLAY", "DESCRIPTION:Leave",
      "TRIGGER:-PT3H", "END:VALARM", "END:VEVENT"],
    "trip-day": ["BEGIN:VEVENT", "UID:trip-day", stamp, "DTSTART;VALUE=DATE:20270507", "DTEND;VALUE=DATE:20270508",
      "SUMMARY:Museum day", "END:VEVENT"],
  };
  const file = join(mkdtempSync(join(tmpdir(), "wrenfold-ics-")), "trip.ics");
  writeFileSync(file, ics("METHOD:PUBLISH", ...zone, ...Object.values(events).flat()));
  const lines = (text) => text.replace(/\r?\n[ \t]/g, "").split(/\r?\n/);
  // Every line of an event of the file is in the object stored for its UID.
  const storedWhole = async (calendarUrl) => {
    const objects = await radicale.list(calendarUrl);
    for (const [uid, written] of Object.entries(events)) {
      const object = objects.find((text) => text.includes(`UID:${uid}\r\n`) || text.includes(`UID:${uid}\n`));
      assert.ok(object, uid);
      assert.deepEqual(written.filter((line) => !lines(object).includes(line)), [], uid);
    }
    assert.ok(lines(objects.find((text) => text.includes("trip-weekly"))).includes("TZID:Europe/Berlin"), "its zone goes with it");
    return objects;
  };
  const importThrough = async (calendarName) => {
    const chooser = page.waitForEvent("filechooser");
    await page.getByRole("button", { name: "Import .ics file…" }).click();
    await (await chooser).setFiles(file);
    const dialog = page.getByRole("dialog", { name: "Import events" });
    await dialog.getByText("3 events in trip.ics").waitFor();
    await dialog.getByLabel("Into calendar").selectOption({ label: calendarName });
    return dialog;
  };

  let dialog = await importThrough("Work");
  for (const title of ["Berlin stand-up", "Flight", "Museum day"]) await dialog.getByText(title).waitFor();
  await screenshot(page, "import-preview");
  await dialog.getByRole("button", { name: "Import", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  const first = await storedWhole(work);

  // The same file again: the UIDs are there, and nothing changes unless the user agrees.
  dialog = await importThrough("Work");
  await dialog.getByRole("button", { name: "Import", exact: true }).click();
  const ask = page.getByRole("dialog", { name: "Already in this calendar" });
  await ask.getByText("3 of these events are already in this calendar.", { exact: false }).waitFor();
  await ask.getByRole("button", { name: "Skip them", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  assert.deepEqual(await radicale.list(work), first);

  // The calendar as one file, imported into another calendar.
  const download = page.waitForEvent("download");
  await page.getByRole("button", { name: "Options for Work" }).click();
  await page.getByRole("menuitem", { name: "Export as .ics file" }).click();
  const exported = readFileSync(await (await download).path(), "utf8");
  assert.equal((exported.match(/^BEGIN:VCALENDAR/gm) || []).length, 1);
  await page.getByRole("button", { name: `Actions for ${radicale.user}` }).click();
  await page.getByRole("menuitem", { name: "New calendar…" }).click();
  const made = page.getByRole("dialog", { name: "New calendar" });
  await made.getByLabel("Name", { exact: true }).fill("Copy");
  await made.getByRole("button", { name: "Save", exact: true }).click();
  await page.getByRole("checkbox", { name: "Copy" }).waitFor();
  writeFileSync(file, exported);
  const chooser = page.waitForEvent("filechooser");
  await page.getByRole("button", { name: "Import .ics file…" }).click();
  await (await chooser).setFiles(file);
  dialog = page.getByRole("dialog", { name: "Import events" });
  await dialog.getByLabel("Into calendar").selectOption({ label: "Copy" });
  await dialog.getByText(/^\d+ events in trip\.ics$/).waitFor();
  await dialog.getByRole("button", { name: "Import", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  const copyUrl = (await page.evaluate(() => window.wrenfold.api.list_accounts())).accounts[0].calendars
    .find((calendar) => calendar.name === "Copy").url;
  // Each object as its events, in any order; a zone goes along where an event names it.
  const eventsIn = (text) => {
    const found = [];
    let depth = 0;
    for (const line of lines(text)) {
      if (line.startsWith("BEGIN:") && depth++ === 1) found.push([]);
      if (depth >= 2) found.at(-1).push(line);
      if (line.startsWith("END:")) depth--;
    }
    for (const [, zone] of text.matchAll(/;TZID=([^:;]+)/g)) assert.match(text, new RegExp(`\nTZID:${zone}\r?\n`));
    return found.filter((component) => component[0] === "BEGIN:VEVENT").map((event) => event.join("\n")).sort().join("\n");
  };
  const objectsOf = async (url) => (await radicale.list(url)).map(eventsIn).sort();
  assert.deepEqual(await objectsOf(copyUrl), await objectsOf(work));
  assert.deepEqual(page.problems, []);
});
