import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { join } from "node:path";
import { startProgram, startBrowser } from "./support.mjs";

let program;
let browser;

before(async () => {
  program = await startProgram();
  browser = await startBrowser();
});

after(async () => {
  await browser?.close();
  if (program) assert.equal(await program.stop(), 0);
});

test("the page loads through the bridge, shows the logo and switches language", async () => {
  const page = await browser.newPage();
  const errors = [];
  page.on("pageerror", (error) => errors.push(error.message));
  await page.goto(program.address);

  await page.waitForFunction(() => document.getElementById("logo").src.startsWith("data:image/png;base64,"));
  const logo = await page.$eval("#logo", (img) => ({ width: img.naturalWidth, height: img.naturalHeight }));
  assert.deepEqual(logo, { width: 256, height: 256 });
  assert.equal(await page.textContent("[data-text=accounts]"), "Accounts");
  assert.doesNotMatch(page.url(), /token=/, "the token leaves the address bar");

  await page.selectOption("#language", "zh-Hant");
  await page.waitForFunction(() => document.querySelector("[data-text=accounts]").textContent === "帳號");
  await page.screenshot({ path: join(process.env.E2E_ARTIFACTS || "/tmp", "wrenfold-page.png") });

  await page.reload();
  await page.waitForFunction(() => document.getElementById("language").value === "zh-Hant");
  assert.deepEqual(errors, []);
});

test("a page without the token cannot use the bridge and says so", async () => {
  const page = await browser.newPage();
  await page.goto(program.address.replace(/#token=.*/, ""));
  await page.waitForSelector("#banner.shown");
  assert.match(await page.textContent("#banner"), /token/);
});

test("the language chosen in the page is saved at once", async () => {
  const settings = JSON.parse(readFileSync(join(program.home, ".local/share/kelvane/Wrenfold/settings.json"), "utf8"));
  assert.equal(settings.language, "zh-Hant");
});
