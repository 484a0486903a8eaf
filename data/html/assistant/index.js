// Entry points of the assistant: the chat panel (the "Assistant" button and
// the key i), the settings behind the gear, and the readiness check at start.
import { h } from "../js/dom.js";
import { at } from "./texts.js";
import { createChat } from "./chat.js";
import { openSetup } from "./setup.js";
import { openSettings as openSettingsDialog } from "./settings.js";

let chat = null;  // one conversation for the life of the page

function ensureChat(ctx) {
  if (chat) return chat;
  if (!document.querySelector("link[data-assistant-css]"))
    document.head.append(h("link", { rel: "stylesheet", href: "./assistant/assistant.css", "data-assistant-css": "" }));
  chat = createChat(ctx);
  (document.getElementById("assistant-root") || document.body).append(chat.element);
  return chat;
}

async function readiness(ctx) {
  try {
    return await ctx.api.claude_ai_state();
  } catch (error) {
    ctx.showError(error);
    return null;
  }
}

export async function openAssistant(ctx) {
  const panel = ensureChat(ctx);
  removeStartNotice();
  const state = await readiness(ctx);
  if (state && !state.ready && !state.session_dismissed) {
    if (!(await openSetup(ctx, state))) return;
  }
  panel.clearNotice();
  if (state && !state.ready) {
    const now = await readiness(ctx);
    if (!now?.ready) panel.showNotice("ai_unavailable", "ai_try_again", async () => {
      await ctx.api.reset_ai_setup().catch(() => {});
      panel.hide();
      openAssistant(ctx);
    });
  }
  panel.show();
}

export function toggleAssistant(ctx) {
  if (chat?.visible) chat.hide();
  else openAssistant(ctx);
}

export function openSettings(ctx) {
  openSettingsDialog(ctx, { onNewConversation: () => ensureChat(ctx).newConversation() });
}

// At start a missing setup is only announced, without a modal dialog over the
// calendar; the dialog itself opens from the notice or with the panel. The
// notice speaks the page's language, also after a switch.
let stopNoticeTexts = null;

export async function checkAtStart(ctx) {
  const state = await ctx.api.claude_ai_state().catch(() => null);
  if (!state || state.ready || state.session_dismissed) return;
  ensureChat(ctx);
  const message = h("p", {});
  const setUp = h("button", { type: "button", class: "primary", onclick: () => openAssistant(ctx) });
  const later = h("button", { type: "button", onclick: () => { removeStartNotice(); ctx.api.dismiss_ai_setup().catch(() => {}); } });
  const notice = h("div", { class: "assistant-start-notice", role: "region" },
    message, h("div", { class: "actions" }, setUp, later));
  const applyNoticeTexts = () => {
    notice.setAttribute("aria-label", at("setup_title"));
    message.textContent = at("ai_unavailable");
    setUp.textContent = at("setup_title");
    later.textContent = at("setup_later");
  };
  applyNoticeTexts();
  stopNoticeTexts = ctx.onLanguageChange(applyNoticeTexts);
  document.getElementById("assistant-root")?.append(notice);
}

function removeStartNotice() {
  document.querySelector(".assistant-start-notice")?.remove();
  stopNoticeTexts?.();
  stopNoticeTexts = null;
}
