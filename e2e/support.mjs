// Starts the real program with a home of its own and a headless Chromium.
import { spawn } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, dirname } from "node:path";
import { fileURLToPath } from "node:url";
import { createInterface } from "node:readline";
import { chromium } from "playwright-core";

const root = join(dirname(fileURLToPath(import.meta.url)), "..");
export const binary = process.env.WRENFOLD_BINARY || join(root, "build", "wrenfold");

// `executable` is the program to start and `runner` what starts it (the
// Windows build under Wine: ["scripts/wine-run"]); `endSignal` ends it as
// its platform's Ctrl-C would.
// `group`: the program runs in a process group of its own, and the end
// signal goes to the whole group (a console and the programs attached to it).
// `output` keeps every line the program printed.
export async function startProgram(extraEnv = {}, { executable = binary, runner = [], endSignal = "SIGTERM", group = false,
                                                   args = ["--browser", "--port", "0", "--no-open"] } = {}) {
  const home = mkdtempSync(join(tmpdir(), "wrenfold-e2e-"));
  const [command, ...runnerArgs] = [...runner, executable];
  const child = spawn(command, [...runnerArgs, ...args], {
    env: { ...process.env, HOME: home, XDG_DATA_HOME: "", ...extraEnv },
    stdio: ["ignore", "pipe", "inherit"],
    detached: group,
  });
  const lines = createInterface({ input: child.stdout, crlfDelay: Infinity });
  const output = [];
  lines.on("line", (line) => output.push(line.replace(/\r$/, "")));
  const address = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error("no address line within 60 s")), 60000);
    lines.on("line", (line) => {
      const match = /^Wrenfold is running at (http:\/\/127\.0\.0\.1:\d+\/#token=[0-9a-f]{64})\r?$/.exec(line);
      if (match) { clearTimeout(timer); resolve(match[1]); }
    });
    child.on("exit", (code) => reject(new Error("the program ended early with " + code)));
  });
  const exited = new Promise((resolve) => child.on("exit", (code) => resolve(code)));
  return {
    address,
    home,
    output,
    async stop() {
      if (group) process.kill(-child.pid, endSignal);
      else child.kill(endSignal);
      const code = await exited;
      rmSync(home, { recursive: true, force: true });
      return code;
    },
  };
}

export async function startBrowser() {
  return chromium.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
           "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
}

// A page of the program that keeps every console error and failed request,
// so that a test can assert there were none.
export async function openPage(browser, address, { viewport = { width: 1360, height: 860 }, locale = "en-US", timezoneId = "Asia/Taipei",
                                                 colorScheme = "light" } = {}) {
  const context = await browser.newContext({ viewport, locale, timezoneId, colorScheme });
  const page = await context.newPage();
  page.problems = [];
  page.on("console", (message) => { if (message.type() === "error") page.problems.push("console: " + message.text()); });
  page.on("pageerror", (error) => page.problems.push("page error: " + error.message));
  // A reload or navigation cancels the poll in flight (net::ERR_ABORTED): that
  // is the browser letting go of it, not a request that failed.
  page.on("requestfailed", (request) => {
    if (request.failure()?.errorText !== "net::ERR_ABORTED") page.problems.push("failed request: " + request.url());
  });
  page.on("response", (response) => {
    if (response.status() >= 400) page.problems.push(`HTTP ${response.status()}: ${response.url()}`);
  });
  if (address) await page.goto(address);
  return page;
}

export const artifacts = process.env.E2E_ARTIFACTS || tmpdir();

export async function screenshot(page, name) {
  await page.screenshot({ path: join(artifacts, name + ".png") });
}

const axeSource = readFileSync(join(dirname(fileURLToPath(import.meta.url)), "node_modules/axe-core/axe.min.js"), "utf8");

// The serious and critical accessibility violations of the page (or of the
// part matched by `selector`), as short readable lines.
export async function axeScan(page, selector = null) {
  if (!(await page.evaluate(() => Boolean(window.axe)))) await page.evaluate(axeSource);
  const results = await page.evaluate(async (scope) => window.axe.run(scope ? document.querySelector(scope) : document,
    { resultTypes: ["violations"] }), selector);
  return results.violations
    .filter((violation) => violation.impact === "serious" || violation.impact === "critical")
    .map((violation) => `${violation.id}: ${violation.help} (${violation.nodes.map((node) => node.target.join(" ")).join(", ")})`);
}

// Adds the Radicale account through the page's own dialog.
export async function addAccount(page, server) {
  await page.getByRole("button", { name: "Add account" }).click();
  const dialog = page.getByRole("dialog", { name: "Add account" });
  await dialog.getByLabel("Apple ID").fill(server.user);
  await dialog.getByLabel("App-specific password").fill(server.password);
  await dialog.getByRole("button", { name: "Add", exact: true }).click();
  await dialog.waitFor({ state: "detached" });
}

export async function waitFor(check, timeout = 10000) {
  const deadline = Date.now() + timeout;
  while (!(await check())) {
    if (Date.now() > deadline) throw new Error("the condition did not come true in time");
    await new Promise((resolve) => setTimeout(resolve, 200));
  }
}

// Brings the view to a month by the header's buttons, as a user would.
export async function showMonth(page, year, month) {
  await page.getByRole("button", { name: "Month", exact: true }).click();
  await page.getByRole("button", { name: "Today", exact: true }).click();
  const now = new Date();
  const steps = (year - now.getFullYear()) * 12 + (month - 1 - now.getMonth());
  const button = page.getByRole("button", { name: steps > 0 ? "Next" : "Previous", exact: true });
  for (let i = 0; i < Math.abs(steps); i++) await button.click();
  await page.waitForSelector(`td[data-date="${year}-${String(month).padStart(2, "0")}-15"]`);
}

// Closes what a failed test left open, unsaved changes included, so that it
// does not block the next test.
export async function closeDialogs(page) {
  const discard = page.getByRole("dialog", { name: "Discard changes?" });
  for (let i = 0; i < 6 && (await page.locator("dialog[open]").count()); i++) {
    if (await discard.count()) await discard.getByRole("button", { name: "Discard", exact: true }).click();
    else await page.keyboard.press("Escape");
  }
}
