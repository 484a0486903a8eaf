// A calendar file opened with the installed program, as a desktop does: the
// desktop entry names text/calendar, the file manager runs its Exec line with
// the file, and that second start hands the file to the running Wrenfold,
// whose page shows the import preview.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync, spawnSync } from "node:child_process";
import { mkdtempSync, mkdirSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, dirname } from "node:path";
import { startProgram, startBrowser, openPage, screenshot, addAccount, binary } from "./support.mjs";
import { startRadicale, ics } from "./radicale.mjs";

const build = process.env.WRENFOLD_BUILD_DIR || dirname(binary);
let radicale, work, prefix, desktop, program, browser, page;

before(async () => {
  prefix = mkdtempSync(join(tmpdir(), "wrenfold-prefix-"));
  execFileSync("cmake", ["--install", build, "--prefix", prefix], { stdio: "ignore" });
  execFileSync("update-desktop-database", [join(prefix, "share", "applications")]);
  radicale = await startRadicale();
  work = await radicale.createCalendar("work", "Work", "#FF2968FF");
  program = await startProgram({ WRENFOLD_CALDAV_URL: radicale.root }, { executable: join(prefix, "bin", "wrenfold") });
  // The desktop of this user: the installed applications first, no choices
  // of its own, the program's home and data folder.
  desktop = {
    ...process.env, HOME: program.home, XDG_DATA_HOME: "", XDG_CONFIG_HOME: mkdtempSync(join(tmpdir(), "wrenfold-config-")),
    XDG_DATA_DIRS: `${join(prefix, "share")}:/usr/share`, PATH: `${join(prefix, "bin")}:${process.env.PATH}`,
  };
  browser = await startBrowser();
  page = await openPage(browser, program.address);
  await addAccount(page, radicale);
});

after(async () => {
  await browser?.close();
  if (program) assert.equal(await program.stop(), 0);
  await radicale?.stop();
  if (prefix) rmSync(prefix, { recursive: true, force: true });
});

// Runs a command as the desktop would, on a display of its own.
const onDesktop = (...command) => spawnSync("xvfb-run", ["-a", ...command], { env: desktop, encoding: "utf8", timeout: 30000 });

test("opening a .ics file with the installed program brings its import preview into the running page", async () => {
  const folder = mkdtempSync(join(tmpdir(), "wrenfold-open-"));
  const file = join(folder, "school trip.ics");
  const stamp = "DTSTAMP:20261201T000000Z";
  writeFileSync(file, ics(
    "BEGIN:VEVENT", "UID:open-1", stamp, "DTSTART:20270610T090000", "DTEND:20270610T100000", "SUMMARY:Bus leaves", "END:VEVENT",
    "BEGIN:VEVENT", "UID:open-2", stamp, "DTSTART;VALUE=DATE:20270611", "SUMMARY:Museum", "RRULE:FREQ=DAILY;COUNT=2", "END:VEVENT"));

  const entry = readFileSync(join(prefix, "share", "applications", "wrenfold.desktop"), "utf8");
  assert.match(entry, /^MimeType=.*\btext\/calendar;/m);
  assert.match(entry, /^Exec=wrenfold %f$/m);
  const mime = onDesktop("gio", "mime", "text/calendar");
  assert.match(mime.stdout, /Default application for .text\/calendar.: wrenfold\.desktop/, mime.stdout + mime.stderr);

  const opened = onDesktop("gio", "open", file);
  assert.equal(opened.status, 0, opened.stderr);
  const dialog = page.getByRole("dialog", { name: "Import events" });
  await dialog.getByText("2 events in school trip.ics").waitFor({ timeout: 15000 });
  for (const title of ["Bus leaves", "Museum"]) await dialog.getByText(title).waitFor();
  await screenshot(page, "import-preview-from-desktop");
  assert.deepEqual(await radicale.list(work), [], "nothing is imported before the user says so");

  await dialog.getByLabel("Into calendar").selectOption({ label: "Work" });
  await dialog.getByRole("button", { name: "Import", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
  const stored = await radicale.list(work);
  for (const uid of ["open-1", "open-2"]) assert.ok(stored.some((text) => text.includes(`UID:${uid}`)), uid);
  assert.ok(stored.some((text) => text.includes("RRULE:FREQ=DAILY;COUNT=2")), "the rule is kept");
  rmSync(folder, { recursive: true, force: true });
});

test("a start handing over what is not a calendar file is refused, and the page says so", async () => {
  const folder = mkdtempSync(join(tmpdir(), "wrenfold-open-"));
  mkdirSync(join(folder, "not-a-file.ics"));
  const refused = onDesktop("wrenfold", `file://${join(folder, "not-a-file.ics")}`);
  assert.equal(refused.status, 1, refused.stdout + refused.stderr);
  assert.match(refused.stdout, /^Wrenfold cannot open .*not-a-file\.ics: not a file$/m);
  await page.locator("#banner").getByText(/^This file could not be opened for import\./).waitFor({ timeout: 15000 });
  assert.equal(await page.getByRole("dialog", { name: "Import events" }).count(), 0);
  assert.deepEqual(page.problems, []);
  rmSync(folder, { recursive: true, force: true });
});
