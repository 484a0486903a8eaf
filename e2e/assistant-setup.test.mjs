// Without Claude Code on the PATH the page offers the assistant's setup:
// "Later" puts it aside for the run, DeepSeek can be chosen instead.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { createServer } from "node:http";
import { readFileSync, statSync } from "node:fs";
import { join } from "node:path";
import { startProgram, startBrowser, openPage, screenshot, axeScan } from "./support.mjs";

let program, browser, page, models, modelRequests = [];

before(async () => {
  // A stand-in of DeepSeek's model list on loopback.
  models = createServer((request, response) => {
    modelRequests.push({ url: request.url, auth: request.headers.authorization });
    response.setHeader("Content-Type", "application/json");
    response.end(JSON.stringify({ data: [{ id: "deepseek-chat" }, { id: "deepseek-v9" }] }));
  });
  await new Promise((resolve) => models.listen(0, "127.0.0.1", resolve));
  program = await startProgram({ PATH: "/usr/bin:/bin" });
  browser = await startBrowser();
  page = await openPage(browser, program.address);
  await page.getByRole("button", { name: "New event", exact: true }).waitFor();
});

after(async () => {
  await browser?.close();
  if (program) assert.equal(await program.stop(), 0);
  await new Promise((resolve) => models?.close(resolve));
});

const dataFile = (name) => join(program.home, ".local/share/kelvane/Wrenfold", name);

test("the setup dialog offers its choices, and Later puts it aside for the run", async () => {
  const notice = page.getByRole("region", { name: "Set up the assistant" });
  await notice.waitFor();
  await page.getByRole("button", { name: "Assistant", exact: true }).click();
  const dialog = page.getByRole("dialog", { name: "Set up the assistant" });
  await dialog.getByText(/Cannot find claude executable/).waitFor();
  for (const name of ["Install Claude Code", "Use DeepSeek instead", "Later"])
    assert.ok(await dialog.getByRole("button", { name }).isVisible(), name);
  assert.equal(await dialog.getByRole("button", { name: "Sign in" }).isVisible(), false, "nothing to sign in to yet");
  assert.deepEqual(await axeScan(page, "dialog[open]"), []);
  await screenshot(page, "assistant-setup");
  await dialog.getByRole("button", { name: "Later" }).click();
  await dialog.waitFor({ state: "detached" });
  assert.equal(await notice.count(), 0);

  await page.keyboard.press("i");
  const panel = page.getByRole("complementary", { name: "Assistant" });
  await panel.getByText("The assistant is not set up yet.").waitFor();
  assert.equal(await page.getByRole("dialog").count(), 0, "no dialog again after Later");
  await page.waitForFunction(() => document.getElementById("calendar").getBoundingClientRect().right <=
    document.querySelector(".assistant-panel").getBoundingClientRect().left, null, { timeout: 5000 });  // docked beside it
  assert.equal((await page.evaluate(() => window.wrenfold.api.claude_ai_state())).session_dismissed, true);
  // The panel's notice speaks the language the page switches to while it is open.
  await page.selectOption("#language", "zh-Hant");
  const chinesePanel = page.getByRole("complementary", { name: "助理" });
  await chinesePanel.getByText("助理尚未設定。").waitFor({ timeout: 5000 });
  await chinesePanel.getByRole("button", { name: "再試一次" }).waitFor({ timeout: 5000 });
  await page.selectOption("#language", "en");
  await panel.getByText("The assistant is not set up yet.").waitFor();
  await panel.getByRole("button", { name: "Try again" }).click();
  await page.getByRole("dialog", { name: "Set up the assistant" }).waitFor();
  assert.deepEqual(page.problems, []);
});

test("choosing DeepSeek stores its key privately and selects the provider and model", async () => {
  const dialog = page.getByRole("dialog", { name: "Set up the assistant" });
  await dialog.getByRole("button", { name: "Use DeepSeek instead" }).click();
  await dialog.getByRole("button", { name: "Save DeepSeek settings" }).click();
  await dialog.getByText("Please enter the API key.").waitFor();
  await dialog.getByLabel("DeepSeek API key").fill("sk-deepseek-0123456789");
  await dialog.getByLabel("Base URL").fill(`http://127.0.0.1:${models.address().port}/anthropic/`);
  await dialog.getByRole("button", { name: "Save DeepSeek settings" }).click();
  await dialog.getByText("Saved. The assistant uses DeepSeek.").waitFor();
  await dialog.getByLabel("DeepSeek model").selectOption("deepseek-v9");
  await dialog.getByText(/Saved\. deepseek-v9/).waitFor();
  assert.equal(await dialog.getByLabel("DeepSeek API key").inputValue(), "", "the key leaves the field");
  assert.match(await dialog.textContent(), /sk-…6789/);
  assert.doesNotMatch(await dialog.textContent(), /sk-deepseek-0123456789/, "the key is never shown in full");

  const file = dataFile("deepseek-settings.json");
  assert.equal(statSync(file).mode & 0o777, 0o600);
  const stored = JSON.parse(readFileSync(file, "utf8"));
  assert.equal(stored.env.ANTHROPIC_AUTH_TOKEN, "sk-deepseek-0123456789");
  assert.equal(stored.env.ANTHROPIC_BASE_URL, `http://127.0.0.1:${models.address().port}/anthropic/`);
  const settings = JSON.parse(readFileSync(dataFile("settings.json"), "utf8"));
  assert.equal(settings.claude_provider, "deepseek");
  assert.equal(settings.claude_deepseek_model, "deepseek-v9");
  assert.deepEqual(modelRequests.at(-1), { url: "/models", auth: "Bearer sk-deepseek-0123456789" });

  // Claude Code itself is still missing, so the dialog stays until put aside.
  await dialog.getByRole("button", { name: "Later" }).click();
  await dialog.waitFor({ state: "detached" });
  assert.deepEqual(page.problems, []);
});

test("the settings work in Traditional Chinese and the licence list never breaks the dialog", async () => {
  await page.selectOption("#language", "zh-Hant");
  await page.getByRole("button", { name: "設定" }).click();
  const dialog = page.getByRole("dialog", { name: "設定" });
  await dialog.getByLabel("DeepSeek 模型").waitFor();
  assert.equal(await dialog.getByLabel("服務提供者").inputValue(), "deepseek");
  assert.equal(await dialog.getByLabel("DeepSeek 模型").inputValue(), "deepseek-v9");
  assert.equal(await dialog.getByLabel("模型", { exact: true }).isVisible(), false, "Anthropic's choices are hidden");
  const efforts = await dialog.getByLabel("思考程度").locator("option").allTextContents();
  assert.equal(efforts.length, 5);
  assert.deepEqual(efforts.filter((name) => /[a-z]/i.test(name)), [], "the effort levels are named in Chinese");
  await dialog.getByRole("switch", { name: "顯示台灣節日" }).uncheck();
  await dialog.getByText("已儲存。").waitFor();
  assert.equal(await page.getByRole("switch", { name: "台灣節日", exact: true }).isChecked(), false, "the sidebar switch follows");
  assert.deepEqual(await axeScan(page, "dialog[open]"), []);
  await screenshot(page, "assistant-settings-zh");

  assert.deepEqual(page.problems, []);
  // The licence list may not be served by every host yet; the dialog must cope either way.
  await dialog.getByRole("button", { name: "開放原始碼授權" }).click();
  const licences = page.getByRole("dialog", { name: "開放原始碼授權" });
  await licences.locator(".licence-list:not([aria-busy])").waitFor();
  const shown = await licences.locator("details").count();
  if (shown) {
    // Tab goes round the dialog, from Close back to the first notice.
    await licences.getByRole("button", { name: "關閉" }).focus();
    await page.keyboard.press("Tab");
    assert.equal(await page.evaluate(() => document.activeElement.closest("dialog") &&
      document.activeElement === document.querySelector("dialog[open] summary")), true);
    await licences.locator("summary").first().click();
    assert.ok((await licences.locator("pre").first().textContent()).length > 0);
  } else {
    assert.ok((await licences.textContent()).length > "開放原始碼授權".length, "an empty list or an error is said in words");
  }
  await licences.getByRole("button", { name: "關閉" }).click();
  await dialog.getByLabel("語言").selectOption("en");
  const english = page.getByRole("dialog", { name: "Settings" });
  await english.getByLabel("Provider").waitFor();
  assert.equal(await page.getByRole("dialog").count(), 1, "the dialog is rebuilt in the new language, once");
  await english.getByRole("button", { name: "Close" }).click();
  assert.deepEqual(page.problems, []);
});
