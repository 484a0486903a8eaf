// The setup dialog, offered while the assistant is not ready: install Claude
// Code, sign in, or use DeepSeek instead; "Later" puts it aside for this run.
import { h } from "../js/dom.js";
import { at } from "./texts.js";
import { deepseekForm } from "./deepseek.js";

const LOGIN_POLL_MS = 3000;

// Resolves true when the assistant became ready, false when put aside.
export function openSetup(ctx, state) {
  const { api } = ctx;
  let stopWaiting = null;
  let ready = false;
  const { closed } = ctx.dialogs.openDialog({
    title: at("setup_title"),
    className: "assistant-setup",
    onCancel: () => { stopWaiting?.(); api.dismiss_ai_setup().catch(() => {}); },
    build: (close) => {
      const hint = h("p", { class: "note setup-hint" });
      const status = h("p", { class: "form-status", role: "status", "aria-live": "polite" });
      const error = h("p", { class: "form-error", role: "alert" });
      const choices = h("div", { class: "actions setup-choices" });
      const extra = h("div", { class: "setup-extra" });
      const finishReady = (text) => {
        ready = true;
        status.textContent = text;
        choices.replaceChildren(h("button", { type: "button", class: "primary", autofocus: true, onclick: () => close(true) }, at("setup_continue")));
        choices.querySelector("button").focus();
      };

      api.claude_status().then((status) => { if (status?.hint) hint.replaceChildren(...linkified(status.hint, ctx)); }).catch(() => {});

      const install = h("button", { type: "button", class: "primary" }, at("setup_install"));
      install.addEventListener("click", async () => {
        setBusy(choices, true);
        error.textContent = "";
        const started = Date.now();
        const tick = () => { status.textContent = at("setup_installing", { n: Math.floor((Date.now() - started) / 1000) }); };
        tick();
        const timer = setInterval(tick, 1000);
        let answer;
        try { answer = await api.install_claude_code(); } catch (failure) { answer = { ok: false, detail: failure.message }; }
        clearInterval(timer);
        setBusy(choices, false);
        if (!answer?.ok) { status.textContent = ""; error.textContent = at("setup_install_failed"); return; }
        status.textContent = at("setup_installed");
        const now = await api.claude_ai_state().catch(() => null);
        if (now?.ready) finishReady(at("setup_ready"));
        else { install.remove(); login.hidden = false; login.focus(); }
      });

      const login = h("button", { type: "button", class: "primary" }, at("setup_login"));
      // One sign-in at a time: each start opens its own sign-in window.
      login.addEventListener("click", async () => {
        error.textContent = "";
        login.disabled = true;
        let answer;
        try { answer = await api.start_claude_login(); } catch (failure) { answer = { ok: false, error: failure.message }; }
        if (!answer?.ok) {
          login.disabled = false;
          error.textContent = answer?.error === "claude_not_installed" ? at("setup_login_not_installed") : String(answer?.error ?? "");
          return;
        }
        status.textContent = at("setup_login_started");
        const stop = h("button", { type: "button" }, at("setup_stop_waiting"));
        let timer = null;
        stopWaiting = () => {
          clearTimeout(timer); stop.remove(); status.textContent = ""; stopWaiting = null; login.disabled = false;
        };
        stop.addEventListener("click", () => stopWaiting?.());
        extra.replaceChildren(stop);
        const poll = async () => {
          const now = await api.claude_ai_state().catch(() => null);
          if (!stopWaiting) return;
          if (now?.logged_in || now?.ready) { stopWaiting(); finishReady(at("setup_signed_in")); return; }
          timer = setTimeout(poll, LOGIN_POLL_MS);
        };
        timer = setTimeout(poll, LOGIN_POLL_MS);
      });

      const deepseek = h("button", { type: "button" }, at("setup_deepseek"));
      deepseek.addEventListener("click", () => {
        deepseek.disabled = true;
        extra.replaceChildren(deepseekForm(ctx, { onSaved: async () => {
          const now = await api.claude_ai_state().catch(() => null);
          if (now?.ready) finishReady(at("deepseek_saved"));
        } }));
        extra.querySelector("input")?.focus();
      });

      const later = h("button", { type: "button", onclick: async () => {
        stopWaiting?.();
        await api.dismiss_ai_setup().catch(() => {});
        close(false);
      } }, at("setup_later"));

      if (!state.installed) login.hidden = true; else install.hidden = true;
      choices.append(install, login, deepseek, later);
      return h("div", { class: "form" }, h("p", {}, at("setup_intro")), hint, choices, status, error, extra);
    },
  });
  return closed.then((value) => value === true || ready);
}

function setBusy(container, busy) {
  for (const button of container.querySelectorAll("button")) button.disabled = busy;
}

// The hint texts carry an address, which opens in the user's browser, and
// commands in backticks, shown as code.
function linkified(text, ctx) {
  const pieces = String(text).split(/(https?:\/\/[^\s)）]+)/);
  return pieces.flatMap((piece, i) => (i % 2 === 1
    ? [h("a", { href: piece, onclick: (event) => { event.preventDefault(); ctx.api.open_url(piece).catch(() => {}); } }, piece)]
    : piece.split(/`([^`]+)`/).map((part, j) => (j % 2 === 1 ? h("code", {}, part) : part))));
}
