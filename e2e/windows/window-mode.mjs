// The Windows build under Wine in window mode, on a virtual display: its tray
// icon added, its page opened in "Edge" through the launch page, a second
// start bringing the first forward, and Ctrl-C ending it with its settings
// saved. Wine has no Edge, so a stand-in (fake-edge.c) is registered where
// Windows keeps Edge's path; it records how it was started, and Chromium
// opens the launch page it was given. One program start; run by the Windows
// test stage under xvfb-run, not by `npm test`.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync, spawnSync } from "node:child_process";
import { existsSync, mkdtempSync, readFileSync, rmSync, statSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, dirname } from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";
import { setTimeout as sleep } from "node:timers/promises";
import { startProgram, startBrowser, openPage, screenshot } from "../support.mjs";

const here = dirname(fileURLToPath(import.meta.url));
const root = join(here, "../..");
const prefix = process.env.WINEPREFIX || join(root, "build/wine-prefix");
const wineRun = join(root, "scripts/wine-run");
const edgeKey = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msedge.exe";
const settingsFile = join(prefix, "drive_c/kelvane/Wrenfold/settings.json");
const executable = process.env.WRENFOLD_WINDOWS_BINARY || join(root, "build-windows/wrenfold.exe");
const windowsPath = (path) => "Z:" + path.replaceAll("/", "\\");
let work, edgeLog, program, browser;

// The Unix path of a file:///C:/... address inside the Wine prefix.
function prefixPath(url) {
  const match = /^file:\/\/\/([A-Za-z]):\/(.*)$/.exec(url);
  assert.ok(match, "a file address on a drive: " + url);
  const path = decodeURIComponent(match[2]);
  return match[1].toLowerCase() === "z" ? "/" + path : join(prefix, "drive_" + match[1].toLowerCase(), path);
}

// The command lines the stand-in Edge was started with, once there are `count`.
async function edgeStarts(count) {
  for (let tries = 0; tries < 300; ++tries) {
    const lines = existsSync(edgeLog) ? readFileSync(edgeLog, "utf8").split("\n").filter(Boolean) : [];
    if (lines.length >= count) return lines;
    await sleep(100);
  }
  assert.fail(`Edge was not started ${count} time(s)`);
}

before(() => {
  rmSync(join(prefix, "drive_c/kelvane"), { recursive: true, force: true });
  work = mkdtempSync(join(tmpdir(), "wrenfold-window-"));
  edgeLog = join(work, "edge-starts.txt");
  const fakeEdge = join(work, "msedge.exe");
  execFileSync("x86_64-w64-mingw32-gcc-posix", ["-O1", "-o", fakeEdge, join(here, "fake-edge.c")]);
  execFileSync(wineRun, ["reg", "add", edgeKey, "/ve", "/d", windowsPath(fakeEdge), "/f"], { stdio: "ignore" });
});

after(async () => {
  await browser?.close();
  await program?.stop();
  spawnSync(wineRun, ["reg", "delete", edgeKey, "/f"], { stdio: "ignore" });
  rmSync(work, { recursive: true, force: true });
  rmSync(join(prefix, "drive_c/kelvane"), { recursive: true, force: true });
});

test("the Windows program in window mode opens its page in Edge, comes forward on a second start and ends on Ctrl-C", async () => {
  // Run from a console (start /wait /b), as in the browser-mode test, for its output and its Ctrl-C.
  program = await startProgram({ WRENFOLD_FAKE_EDGE_LOG: windowsPath(edgeLog) }, {
    executable: windowsPath(executable),
    runner: [wineRun, "start", "/wait", "/b"],
    endSignal: "SIGINT",
    group: true,
    args: [],
  });

  // Edge in app mode on the launch page, its profile in the data folder; the token only in the file.
  const [first] = await edgeStarts(1);
  const pageUrl = /--app=(file:\/\/\/\S+)/.exec(first)?.[1];
  assert.ok(pageUrl, "Edge is given the launch page: " + first);
  assert.match(first, /--user-data-dir=C:[\\/]kelvane[\\/]Wrenfold[\\/]webview2_data(\s|$)/);
  assert.doesNotMatch(first, /token/);
  const token = new URL(program.address).hash;
  assert.ok(readFileSync(prefixPath(pageUrl), "utf8").includes(token.slice("#token=".length)));

  browser = await startBrowser();
  const page = await openPage(browser);
  await page.goto(pathToFileURL(prefixPath(pageUrl)).href);
  await page.getByRole("button", { name: "New event", exact: true }).waitFor({ timeout: 30000 });
  assert.equal(new URL(page.url()).origin, new URL(program.address).origin);
  await screenshot(page, "windows-window-mode");

  // A second start asks the first to show its window, which opens Edge again, and ends at once.
  const second = spawnSync(wineRun, [executable], { encoding: "utf8", timeout: 60000 });
  assert.equal(second.status, 0, "the second start: " + second.stdout + second.stderr);
  const starts = await edgeStarts(2);
  assert.match(starts[1], /--app=file:\/\/\//);

  // The tray icon went into Wine's notification area: nothing said it could not.
  assert.deepEqual(program.output.filter((line) => line.startsWith("[tray]")), []);

  assert.deepEqual(page.problems, []);

  await page.close();
  const before = existsSync(settingsFile) ? statSync(settingsFile).mtimeMs : 0;
  const stopping = program;
  program = null;
  assert.equal(await stopping.stop(), 0);
  assert.ok(statSync(settingsFile).mtimeMs > before, "the settings were saved at the end");
  JSON.parse(readFileSync(settingsFile, "utf8"));
});
