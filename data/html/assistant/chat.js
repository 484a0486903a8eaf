// The chat panel: the conversation as bubbles, the composer, the busy line
// with Stop, and the follow-up turn that hands the settled actions back.
// The conversation lives as long as the page; closing the panel only hides it.
import { h } from "../js/dom.js";
import { at } from "./texts.js";
import { parseAnswer, resultsMessage, askedForAClick } from "./actions.js";
import { renderMarkdown } from "./markdown.js";
import { createCard } from "./cards.js";

const TURN_TIMEOUT_SECONDS = 180;
// Results that went back without anyone's click (queries) start a turn of
// their own; text in the calendar could keep the assistant going round by
// itself, so after this many in a row the next results wait for the person.
export const AUTOMATIC_TURNS_IN_A_ROW = 3;

export function createChat(ctx) {
  const { api } = ctx;
  const knownEvents = new Map();  // event URL → the latest record the assistant saw
  const log = h("div", { class: "chat-log", role: "log", "aria-live": "polite", tabindex: "0" });
  const input = h("textarea", { class: "chat-input", rows: 3 });
  const sendButton = h("button", { type: "button", class: "primary" });
  const busyText = h("span", { class: "busy-text" });
  const stopButton = h("button", { type: "button", class: "danger" });
  const busy = h("div", { class: "chat-busy", role: "status", hidden: true }, h("span", { class: "spinner", "aria-hidden": "true" }), busyText, stopButton);
  const notice = h("div", { class: "chat-notice", hidden: true });
  const composerNote = h("p", { class: "chat-hint", role: "status" });
  const emptyNote = h("p", { class: "chat-empty" });
  const closeButton = h("button", { type: "button", class: "icon", text: "×" });
  const heading = h("h2", { class: "chat-title", id: "assistant-panel-title" });
  const panel = h("aside", { class: "assistant-panel", "aria-labelledby": heading.id, hidden: true },
    h("div", { class: "chat-head" }, heading, closeButton),
    notice, log, busy,
    h("form", { class: "chat-composer", onsubmit: (event) => { event.preventDefault(); submit(); } },
      h("label", { class: "visually-hidden", for: "assistant-input", id: "assistant-input-label" }), input, sendButton),
    composerNote);
  input.id = "assistant-input";
  log.append(emptyNote);

  let running = false;
  let shownNotice = null;  // kept as text keys, so that a language switch redraws it
  let queue = Promise.resolve();
  let automaticTurns = 0;
  let heldResults = "";  // results that wait for the person's next message

  function applyTexts() {
    heading.textContent = at("ai_panel");
    closeButton.setAttribute("aria-label", at("ai_close"));
    closeButton.title = at("ai_close");
    log.setAttribute("aria-label", at("ai_conversation"));
    panel.querySelector("#assistant-input-label").textContent = at("ai_message");
    input.placeholder = at("ai_placeholder");
    sendButton.textContent = at("ai_send");
    stopButton.textContent = at("ai_stop");
    emptyNote.textContent = at("ai_empty");
    drawNotice();
  }
  applyTexts();
  ctx.onLanguageChange(applyTexts);

  input.addEventListener("keydown", (event) => {
    if (event.key === "Enter" && !event.shiftKey && !event.isComposing) { event.preventDefault(); submit(); }
  });
  // Esc closes the panel from any of its controls, not only from the message
  // box; an Esc that ends an input method's composition stays with it.
  panel.addEventListener("keydown", (event) => {
    if (event.key === "Escape" && !event.isComposing && !event.defaultPrevented) { event.preventDefault(); hide(); }
  });
  input.addEventListener("paste", (event) => pasteFallback(event));
  input.addEventListener("input", () => { composerNote.textContent = ""; });
  closeButton.addEventListener("click", () => hide());
  stopButton.addEventListener("click", () => { api.claude_reset_session().catch(() => {}); });

  // The web view may refuse the page's own clipboard read; then the program
  // reads the system clipboard for it.
  async function pasteFallback(event) {
    const text = event.clipboardData?.getData("text/plain");
    if (text) return;
    event.preventDefault();
    try {
      const native = await api.read_clipboard();
      if (typeof native === "string" && native) input.setRangeText(native, input.selectionStart, input.selectionEnd, "end");
      else composerNote.textContent = at("ai_copy_failed");  // nothing readable there either
    } catch {
      composerNote.textContent = at("ai_copy_failed");
    }
  }

  function showNotice(textKey, actionKey, action) {
    shownNotice = { textKey, actionKey, action };
    drawNotice();
    notice.hidden = false;
  }

  function drawNotice() {
    if (!shownNotice) return;
    const { textKey, actionKey, action } = shownNotice;
    const hadFocus = notice.contains(document.activeElement);
    notice.replaceChildren(h("p", {}, at(textKey)));
    if (actionKey) notice.append(h("button", { type: "button", onclick: action }, at(actionKey)));
    if (hadFocus) notice.querySelector("button")?.focus();
  }

  function bubble(role, ...content) {
    emptyNote.remove();
    const node = h("div", { class: "bubble " + role },
      h("span", { class: "visually-hidden" }, at(role === "user" ? "ai_you" : "ai_assistant") + ": "), ...content);
    log.append(node);
    node.scrollIntoView({ block: "end" });
    return node;
  }

  function submit() {
    const text = input.value;
    if (!text.trim() || running) return;
    input.value = "";
    bubble("user", h("p", { class: "plain" }, text));
    const message = heldResults ? text + "\n\n" + heldResults : text;
    heldResults = "";
    automaticTurns = 0;
    enqueue(message, false);
  }

  // Turns never overlap: a follow-up that becomes ready while a turn runs waits for it.
  function enqueue(text, followup) {
    // A fault while showing one answer must not stop every later turn.
    queue = queue.then(() => turn(text, followup)).catch((error) => ctx.showError(error));
    return queue;
  }

  async function turn(text, followup) {
    setRunning(true);
    const started = Date.now();
    const tick = () => { busyText.textContent = at("ai_busy", { n: Math.floor((Date.now() - started) / 1000) }); };
    tick();
    const timer = setInterval(tick, 1000);
    let result;
    try {
      result = await api.claude_send(text, "", null, TURN_TIMEOUT_SECONDS, followup);
    } catch (error) {
      result = { ok: false, error: error.message, reply: "" };
    } finally {
      clearInterval(timer);
      setRunning(false);
    }
    if (result?.cancelled) bubble("system", h("p", {}, at("ai_stopped")));
    else if (!result?.ok) failedTurn(String(result?.error ?? ""), text, followup);
    else showAnswer(String(result.reply ?? ""));
  }

  function failedTurn(error, text, followup) {
    const node = bubble("error", h("p", { class: "plain", role: "alert" }, error));
    node.append(h("button", { type: "button", onclick: () => { node.querySelector("button").disabled = true; enqueue(text, followup); } }, at("ai_retry")));
  }

  function showAnswer(answer) {
    const { parts, actions } = parseAnswer(answer);
    const node = bubble("assistant");
    const outcomes = new Array(actions.length);
    let open = actions.length;
    const env = {
      api,
      get language() { return ctx.language; },
      knownEvent: (url) => knownEvents.get(url) || calendarRecord(url),
      defaultCalendarName,
      onResult: remember,
      onLanguageChange: ctx.onLanguageChange,
    };
    for (const part of parts) {
      if (part.kind === "text") node.append(h("div", { class: "markdown" }, renderMarkdown(part.text, { openUrl })));
      else node.append(createCard(actions[part.index], env, (outcome) => {
        outcomes[part.index] = outcome;
        if (--open === 0) sendResults(actions, outcomes);
      }));
    }
    node.scrollIntoView({ block: "end" });
  }

  function sendResults(actions, outcomes) {
    const settled = actions.map((entry, i) => ({ action: entry.name ?? "unknown", outcome: outcomes[i] }));
    automaticTurns = askedForAClick(actions) ? 0 : automaticTurns + 1;
    if (automaticTurns > AUTOMATIC_TURNS_IN_A_ROW) {
      heldResults = resultsMessage(settled);
      bubble("system", h("p", {}, at("ai_results_held", { n: AUTOMATIC_TURNS_IN_A_ROW })));
      return;
    }
    bubble("system", h("p", {}, at("ai_results_sent")));
    enqueue(resultsMessage(settled), true);
  }

  function remember(name, payload, result) {
    if (name !== "query_events") ctx.refetch();
    if (name === "query_events") for (const event of result.events || []) if (event.url) knownEvents.set(event.url, event);
    if (name === "delete_event") knownEvents.delete(payload.url);
    if (name === "update_event") {
      const before = knownEvents.get(payload.url);
      knownEvents.delete(payload.url);
      if (before) knownEvents.set(result.url, { ...before, ...result, calendar: result.calendar ?? before.calendar });
    }
    if (name === "create_event") knownEvents.set(result.url, result);
  }

  function calendarRecord(url) {
    const record = ctx.calendar?.records?.().find((event) => event.url === url);
    return record ? { ...record, calendar: record.calendar_name } : null;
  }

  function defaultCalendarName() {
    const { accounts, defaultCalendar } = ctx.store.state;
    const writable = accounts.flatMap((account) => account.calendars || []).filter((calendar) => !calendar.read_only);
    return (writable.find((calendar) => calendar.url === defaultCalendar) || writable[0])?.name || "";
  }

  function openUrl(url) {
    api.open_url(url).catch((error) => ctx.showError(error));
  }

  function setRunning(value) {
    running = value;
    busy.hidden = !value;
    sendButton.disabled = value;
  }

  function show() {
    panel.hidden = false;
    document.body.classList.add("assistant-open");
    input.focus();
  }

  function hide() {
    panel.hidden = true;
    document.body.classList.remove("assistant-open");
    document.getElementById("assistant")?.focus();
  }

  return {
    element: panel,
    show,
    hide,
    get visible() { return !panel.hidden; },
    showNotice,
    clearNotice: () => { shownNotice = null; notice.hidden = true; notice.replaceChildren(); },
    newConversation() {
      knownEvents.clear();
      automaticTurns = 0;
      heldResults = "";
      log.replaceChildren(emptyNote);
    },
  };
}
