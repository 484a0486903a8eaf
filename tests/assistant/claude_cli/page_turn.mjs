// One whole assistant turn driven from the page, for the real Claude Code
// stage: the person adds the account, asks for an event, confirms the card
// the answer carries, and waits for the follow-up answer. The model behind
// Claude Code is the harness's stand-in; this script only plays the user.
// Usage: node page_turn.mjs <address> <apple id> <password> <request text> <final answer text>
import { startBrowser, openPage, screenshot, axeScan, addAccount } from "../../../e2e/support.mjs";

const [address, user, password, request, finalAnswer] = process.argv.slice(2);
const TURN_MS = 240000;

const browser = await startBrowser();
let failed = false;
try {
  const page = await openPage(browser, address);
  await page.getByRole("button", { name: "New event", exact: true }).waitFor();
  await addAccount(page, { user, password });
  await page.keyboard.press("i");
  const panel = page.getByRole("complementary", { name: "Assistant" });
  const box = panel.getByRole("textbox", { name: "Message to the assistant" });
  await box.fill(request);
  await box.press("Enter");
  const card = panel.getByRole("group", { name: "New event" });
  await card.waitFor({ timeout: TURN_MS });
  const violations = await axeScan(page, ".assistant-panel");
  if (violations.length) throw new Error("accessibility: " + violations.join("; "));
  await card.getByRole("button", { name: "Confirm" }).click();
  await card.getByText("Done").waitFor({ timeout: 60000 });
  await panel.getByText(finalAnswer).waitFor({ timeout: TURN_MS });
  await screenshot(page, "claude-cli-page-turn");
  if (page.problems.length) throw new Error("page problems: " + page.problems.join("; "));
  console.log("page turn: confirmed and answered");
} catch (error) {
  failed = true;
  console.log("page turn failed: " + (error.stack || error.message));
} finally {
  await browser.close();
}
process.exit(failed ? 1 : 0);
