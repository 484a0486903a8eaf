// The assistant in the page, driven as a person would: a stand-in `claude`
// on the program's PATH answers with scripted replies, and the actions it
// proposes reach a real Radicale only after a click.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { mkdirSync, writeFileSync, rmSync } from "node:fs";
import { join } from "node:path";
import { startProgram, startBrowser, openPage, screenshot, axeScan, addAccount } from "./support.mjs";
import { startRadicale } from "./radicale.mjs";
import { createStandin, actionBlock, resultBlocks } from "./assistant-standin.mjs";

let radicale, program, browser, page, claude, work;

const pad = (n) => String(n).padStart(2, "0");
const now = new Date();
const today = `${now.getFullYear()}-${pad(now.getMonth() + 1)}-${pad(now.getDate())}`;
const inDays = (n) => { const d = new Date(now); d.setDate(d.getDate() + n); return `${d.getFullYear()}-${pad(d.getMonth() + 1)}-${pad(d.getDate())}`; };

const panel = () => page.getByRole("complementary", { name: "Assistant" });
const lastBubble = () => panel().locator(".bubble.assistant").last();

// Types and sends a message once the previous turn has ended, as a person would.
async function say(text) {
  await panel().locator(".chat-busy").waitFor({ state: "hidden" });
  const box = panel().getByRole("textbox", { name: "Message to the assistant" });
  await box.fill(text);
  await box.press("Enter");
}

async function serverText() {
  return (await radicale.list(work)).join("\n");
}

async function waitForServer(predicate, what) {
  const deadline = Date.now() + 15000;
  while (!predicate(await serverText())) {
    if (Date.now() > deadline) throw new Error("the server never showed " + what);
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

before(async () => {
  radicale = await startRadicale();
  work = await radicale.createCalendar("work", "Work", "#FF2968FF");
  claude = createStandin();
  program = await startProgram({ WRENFOLD_CALDAV_URL: radicale.root, PATH: `${claude.dir}:${process.env.PATH}` });
  // Claude Code counts as signed in when its credentials file exists.
  mkdirSync(join(program.home, ".claude"), { recursive: true });
  writeFileSync(join(program.home, ".claude", ".credentials.json"), "{}");
  browser = await startBrowser();
  page = await openPage(browser, program.address);
  page.on("dialog", (dialog) => { page.problems.push("a script opened a dialog: " + dialog.message()); dialog.dismiss(); });
  await page.getByRole("button", { name: "New event", exact: true }).waitFor();
  await addAccount(page, radicale);
});

after(async () => {
  await browser?.close();
  if (program) assert.equal(await program.stop(), 0);
  await radicale?.stop();
  claude?.remove();
});

test("a chat turn shows the answer as Markdown; the panel keeps the conversation and follows the language", async () => {
  claude.script("Hello **there**. Here is a [link](https://example.com/help).");
  await page.keyboard.press("i");
  await panel().waitFor();
  assert.equal(await page.locator(".assistant-start-notice").count(), 0, "no setup notice when claude is ready");
  await say("Hi\nthere");
  await lastBubble().getByText("there", { exact: true }).waitFor();
  assert.equal(await lastBubble().locator("strong").textContent(), "there");
  assert.equal(await lastBubble().getByRole("link", { name: "link" }).getAttribute("href"), "https://example.com/help");
  const [call] = claude.calls();
  assert.ok(call.input.startsWith("Hi\nthere"), "Enter sent the text typed, Shift+Enter lines included");
  assert.ok(call.args.includes("--output-format"));

  const box = panel().getByRole("textbox", { name: "Message to the assistant" });
  await box.fill("first line");
  await box.press("Shift+Enter");
  await box.pressSequentially("second line");
  assert.equal(await box.inputValue(), "first line\nsecond line", "Shift+Enter breaks the line without sending");
  assert.equal(claude.calls().length, 1);
  await box.fill("");

  // Esc closes the panel from wherever the focus is inside it, and the focus
  // goes back to the button that opens it.
  await panel().getByRole("log", { name: "Conversation" }).focus();
  await page.keyboard.press("Escape");
  await panel().waitFor({ state: "hidden", timeout: 3000 });
  assert.equal(await page.evaluate(() => document.activeElement.id), "assistant");
  await page.getByRole("button", { name: "Assistant", exact: true }).click();
  await panel().getByRole("button", { name: "Close assistant" }).click();
  assert.equal(await panel().count(), 0);
  await page.getByRole("button", { name: "Assistant", exact: true }).click();
  await panel().getByText("Hello").waitFor();

  await page.selectOption("#language", "zh-Hant");
  await page.getByRole("complementary", { name: "助理" }).getByRole("button", { name: "送出" }).waitFor();
  await screenshot(page, "assistant-chat-zh");
  await page.selectOption("#language", "en");
  await panel().getByRole("button", { name: "Send" }).waitFor();
  assert.deepEqual(page.problems, []);

  // A paste the web view hands over without text falls back to the program's
  // clipboard reader; when that has no text either, the panel says so and goes on.
  await box.focus();
  await box.evaluate((node) => node.dispatchEvent(new ClipboardEvent("paste", { clipboardData: new DataTransfer(), bubbles: true, cancelable: true })));
  await page.waitForFunction(() => document.querySelector(".chat-hint").textContent || document.getElementById("assistant-input").value);
  await box.pressSequentially("x");
  assert.equal(await panel().locator(".chat-hint").textContent(), "", "the note goes once the person types");
  await box.fill("");
});

test("a proposed create waits for Confirm, runs once, shows on the calendar and the result goes back", async () => {
  const turns = claude.calls().length;
  claude.script(
    "I will add it:\n\n" + actionBlock({ action: "create_event", summary: "Dentist 牙醫", start: `${today}T10:00:00`, end: `${today}T11:00:00`, location: "Clinic" }),
    "Added the dentist.");
  await say("Add a dentist appointment today at 10");
  const card = panel().getByRole("group", { name: "New event" });
  await card.waitFor();
  assert.match(await card.textContent(), /Dentist 牙醫.*10:00–11:00.*Clinic.*Work \(default\)/s);
  assert.doesNotMatch(await lastBubble().textContent(), /"action"/, "the block is a card, not raw JSON");
  assert.doesNotMatch(await serverText(), /Dentist/, "nothing is created before the click");
  assert.deepEqual(await axeScan(page, ".assistant-panel"), []);
  await screenshot(page, "assistant-create-card");

  await card.getByRole("button", { name: "Confirm" }).dblclick();
  await card.getByText("Done").waitFor();
  await waitForServer((text) => /SUMMARY:Dentist 牙醫/.test(text), "the new event");
  assert.equal((await serverText()).match(/SUMMARY:Dentist/g).length, 1, "a double click creates one event");
  await page.locator("#calendar").getByText("Dentist 牙醫").waitFor();

  const calls = await claude.waitForCalls(turns + 2);
  const results = resultBlocks(calls[turns + 1].input);
  assert.equal(results.length, 1);
  assert.equal(results[0].action, "create_event");
  assert.equal(results[0].ok, true);
  assert.equal(results[0].calendar, "Work");
  assert.match(results[0].url, /^http:\/\/127\.0\.0\.1/);
  await lastBubble().getByText("Added the dentist.").waitFor();
  assert.deepEqual(page.problems, []);
});

test("a declined create creates nothing and the decline is reported", async () => {
  const turns = claude.calls().length;
  claude.script(actionBlock({ action: "create_event", summary: "Unwanted", start: `${today}T12:00:00` }), "Understood.");
  await say("Add something I will refuse");
  const card = panel().getByRole("group", { name: "New event" }).last();
  await card.getByRole("button", { name: "Decline" }).waitFor();
  // A card that waits for the person speaks the language they switch to.
  await page.selectOption("#language", "zh-Hant");
  const waiting = page.getByRole("complementary", { name: "助理" }).getByRole("group", { name: "新增行程" }).last();
  await waiting.getByRole("button", { name: "拒絕" }).waitFor({ timeout: 3000 });
  assert.match(await waiting.textContent(), /確認.*拒絕/s);
  assert.match(await waiting.locator("dl").textContent(), /^標題Unwanted時間/);
  await page.selectOption("#language", "en");
  await card.getByRole("button", { name: "Decline" }).click();
  await card.getByText("Declined").waitFor();
  const calls = await claude.waitForCalls(turns + 2);
  assert.deepEqual(resultBlocks(calls[turns + 1].input), [{ action: "create_event", ok: false, declined: true }]);
  await lastBubble().getByText("Understood.").waitFor();
  assert.doesNotMatch(await serverText(), /Unwanted/);
  assert.equal(await card.getByRole("button").count(), 0, "a settled card offers nothing more");
});

test("a query runs without a click; an update and a delete of the event it found work after Confirm", async () => {
  let turns = claude.calls().length;
  claude.script(actionBlock({ action: "query_events", start: today, end: inDays(1) }));
  await say("What do I have today?");
  const calls = await claude.waitForCalls(turns + 2);
  const [query] = resultBlocks(calls[turns + 1].input);
  assert.equal(query.action, "query_events");
  assert.equal(query.ok, true);
  assert.equal(query.count, 1);
  const event = query.events[0];
  assert.equal(event.summary, "Dentist 牙醫");
  await panel().getByText("1 event found").waitFor();
  await lastBubble().getByText("(no scripted reply)").waitFor();

  // The follow-up turn above got the default reply; now the assistant proposes changes.
  turns = claude.calls().length;
  claude.script(
    "Moving it:\n" + actionBlock({ action: "update_event", url: event.url, etag: event.etag, summary: "Dentist (moved)", start: `${today}T14:00:00`, end: `${today}T15:00:00` }),
    "Moved.");
  await say("Move it to 2 pm");
  const update = panel().getByRole("group", { name: "Change event" });
  await update.waitFor();
  const rows = await update.locator("tbody tr").allTextContents();
  assert.equal(rows.length, 2);
  assert.match(rows[0], /Title\s*Dentist 牙醫\s*Dentist \(moved\)/);
  assert.match(rows[1], /When.*10:00–11:00.*14:00–15:00/);
  await screenshot(page, "assistant-update-card");
  // Confirmed from the keyboard: the card keeps the focus once its buttons go.
  await update.getByRole("button", { name: "Confirm" }).focus();
  await page.keyboard.press("Enter");
  await update.getByText("Done").waitFor();
  assert.equal(await page.evaluate(() => document.activeElement.matches(".action-card.update_event")), true);
  await waitForServer((text) => /SUMMARY:Dentist \(moved\)/.test(text), "the changed title");
  await page.locator("#calendar").getByText("Dentist (moved)").waitFor();
  let after = await claude.waitForCalls(turns + 2);
  const [updated] = resultBlocks(after[turns + 1].input);
  assert.equal(updated.action, "update_event");
  assert.equal(updated.ok, true);
  await lastBubble().getByText("Moved.").waitFor();

  turns = claude.calls().length;
  claude.script(actionBlock({ action: "delete_event", url: updated.url, etag: updated.etag }), "Deleted.");
  await say("Delete it");
  const removal = panel().getByRole("group", { name: "Delete event" });
  await removal.waitFor();
  assert.match(await removal.textContent(), /Dentist \(moved\).*14:00–15:00/s, "the card shows the event as it stands");
  await removal.getByRole("button", { name: "Confirm" }).click();
  await removal.getByText("Done").waitFor();
  await waitForServer((text) => !/Dentist/.test(text), "the event gone");
  after = await claude.waitForCalls(turns + 2);
  assert.deepEqual(resultBlocks(after[turns + 1].input), [{ action: "delete_event", ok: true, url: updated.url }]);
  await lastBubble().getByText("Deleted.").waitFor();
  assert.deepEqual(page.problems, []);
});

test("an answer carrying markup, a script link or a broken block runs nothing", async () => {
  const turns = claude.calls().length;
  claude.script([
    "Look <img src=x onerror=alert(1)> and <script>alert(2)</script>",
    "[click me](javascript:alert(3)) ![remote](https://example.com/track.png)",
    '<a href="https://example.com" onclick="alert(4)">plain</a>',
    "```wrenfold-action", '{"action": "delete_event", "url": ', "```",
  ].join("\n"), "Sorry.");
  await say("Show me something odd");
  // The broken block's result goes back by itself and "Sorry." may already be the last bubble.
  const bubble = panel().locator(".bubble.assistant").filter({ hasText: "click me" });
  await bubble.getByText("click me").waitFor();
  assert.equal(await bubble.locator("img, script, [onerror], [onclick]").count(), 0);
  assert.match(await bubble.textContent(), /Look <img src=x onerror=alert\(1\)> and <script>/, "markup is shown as text");
  assert.equal(await bubble.getByText("click me").getAttribute("href"), null);
  const broken = panel().getByRole("group", { name: "Unreadable action" });
  await broken.getByText(/not a valid action/).waitFor();
  assert.equal(await broken.getByRole("button").count(), 0, "a broken block cannot be confirmed");
  await bubble.getByText("click me").click();
  const calls = await claude.waitForCalls(turns + 2);
  const [reported] = resultBlocks(calls[turns + 1].input);
  assert.equal(reported.ok, false);
  assert.match(reported.error, /not a valid action/);
  await lastBubble().getByText("Sorry.").waitFor();
  assert.deepEqual(page.problems, [], "no script ran, nothing remote was loaded");
});

test("an assistant that keeps querying by itself is held after three turns until the person writes", async () => {
  // Text in a calendar could keep the assistant asking: each query's results
  // would otherwise start the next turn without anyone's click.
  const turns = claude.calls().length;
  const query = actionBlock({ action: "query_events", start: today, end: inDays(1) });
  claude.script(query, query, query, query, "Here you are.");
  await say("What is on my calendar?");
  await panel().getByText(/looked things up 3 times in a row/).waitFor();
  await new Promise((resolve) => setTimeout(resolve, 1000));
  assert.equal(claude.calls().length, turns + 4, "the person's turn and three automatic ones, no fourth");
  await screenshot(page, "assistant-results-held");

  await say("Go on");
  const calls = await claude.waitForCalls(turns + 5);
  assert.match(calls[turns + 4].input, /^Go on\n\n```wrenfold-result\n/, "the held results go with the message");
  assert.equal(resultBlocks(calls[turns + 4].input)[0].action, "query_events");
  await lastBubble().getByText("Here you are.").waitFor();
  assert.deepEqual(page.problems, []);
});

test("a failed turn shows the program's text with Retry, and Stop ends a running turn", async () => {
  claude.script({ exit: 1, stderr: "something broke upstream" }, "Recovered.");
  await say("Try this");
  const error = panel().locator(".bubble.error").last();
  await error.getByText("something broke upstream").waitFor();
  await error.getByRole("button", { name: "Retry" }).click();
  await lastBubble().getByText("Recovered.").waitFor();

  claude.script({ text: "too late", delay_ms: 60000 });
  await say("Take your time");
  const busy = panel().getByRole("status").filter({ hasText: /Thinking… \d+ s/ });
  await busy.waitFor();
  await panel().getByRole("button", { name: "Stop" }).click();
  await panel().getByText("Stopped.").waitFor();
  assert.equal(await busy.isVisible(), false);
  assert.deepEqual(page.problems, []);
});

test("the settings offer the assistant's choices and apply them at once", async () => {
  await page.getByRole("button", { name: "Settings" }).click();
  const dialog = page.getByRole("dialog", { name: "Settings" });
  await dialog.getByLabel("Model", { exact: true }).selectOption("claude-sonnet-4-6");
  await dialog.getByText("Saved.").waitFor();
  assert.equal(await dialog.getByLabel("Custom model ID").isVisible(), false, "a built-in model needs no ID typed");
  assert.equal(await dialog.getByLabel("DeepSeek API key").isVisible(), false, "DeepSeek's fields wait for its provider");
  await dialog.getByLabel("Effort").selectOption("low");
  await dialog.getByLabel("Model", { exact: true }).selectOption({ label: "Custom model…" });
  await dialog.getByLabel("Custom model ID").fill("claude-experimental-9");
  await dialog.getByRole("button", { name: "Use this model" }).click();
  await dialog.getByText("Saved.").waitFor();
  await dialog.getByLabel("Anthropic API key").fill("sk-ant-secret-123456");
  await dialog.getByRole("button", { name: "Save key" }).click();
  await dialog.getByText("Key saved.").waitFor();
  assert.equal(await dialog.getByLabel("Anthropic API key").inputValue(), "", "the key is not shown again");
  assert.deepEqual(await axeScan(page, "dialog[open]"), []);
  await screenshot(page, "assistant-settings");
  const models = await page.evaluate(() => window.wrenfold.api.claude_get_models());
  assert.equal(models.current, "claude-experimental-9");
  assert.equal(models.is_custom, true);
  assert.equal(models.effort, "low");

  await dialog.getByRole("button", { name: "New conversation" }).click();
  await dialog.getByText("A new conversation starts with the next message.").waitFor();
  await dialog.getByRole("button", { name: "Close" }).click();
  await page.getByRole("button", { name: "Assistant", exact: true }).click();
  await panel().waitFor();
  assert.equal(await panel().locator(".bubble").count(), 0, "the conversation starts anew");
  assert.deepEqual(page.problems, []);
});

test("a sign-in on its way is started once, however often Sign in is pressed", async () => {
  // Signed out: no credentials file and no key.
  await page.evaluate(() => window.wrenfold.api.set_claude_api_key(""));
  rmSync(join(program.home, ".claude", ".credentials.json"));
  await page.evaluate(() => window.wrenfold.api.reset_ai_setup());
  let logins = 0;
  await page.route("**/api/start_claude_login", (route) => { logins++; return route.fulfill({ json: { result: { ok: true } } }); });
  if (await panel().isVisible()) await panel().getByRole("button", { name: "Close assistant" }).click();
  await page.getByRole("button", { name: "Assistant", exact: true }).click();
  const dialog = page.getByRole("dialog", { name: "Set up the assistant" });
  const signIn = dialog.getByRole("button", { name: "Sign in" });
  await signIn.click();
  await dialog.getByText(/Finish the sign-in/).waitFor();
  await signIn.click({ force: true, timeout: 1000 }).catch(() => {});
  assert.equal(logins, 1, "one sign-in window");
  await dialog.getByRole("button", { name: "Stop waiting" }).click();
  assert.equal(await signIn.isEnabled(), true, "after waiting stops, a sign-in can be started again");
  await dialog.getByRole("button", { name: "Later" }).click();
  await dialog.waitFor({ state: "detached" });
  await page.unroute("**/api/start_claude_login");
  writeFileSync(join(program.home, ".claude", ".credentials.json"), "{}");
  assert.deepEqual(page.problems, []);
});
