// One card per action block of an answer. A query runs at once; a change
// waits for the user's Confirm or Decline and runs at most once. Every card
// ends settled with an outcome that goes back to the assistant.
import { h } from "../js/dom.js";
import { at } from "./texts.js";
import { describeWhen, updateRows, allDayTruth } from "./actions.js";

const BRIDGE_METHOD = {
  query_events: "claude_query_events",
  create_event: "claude_create_event",
  update_event: "claude_update_event",
  delete_event: "claude_delete_event",
};

const TITLE_KEY = {
  query_events: "ai_card_query", create_event: "ai_card_create",
  update_event: "ai_card_update", delete_event: "ai_card_delete",
};

// entry: a parsed block. env: { api, language, knownEvent(url), defaultCalendarName(),
// onResult(name, payload, result), onLanguageChange(listener) }. onSettled(outcome)
// is called exactly once.
export function createCard(entry, env, onSettled) {
  const title = entry.error ? at("ai_card_bad") : at(TITLE_KEY[entry.name]);
  const status = h("p", { class: "card-status", role: "status" });
  const buttons = h("div", { class: "actions" });
  const heading = h("h3", { class: "card-title" }, title);
  let body = describe(entry, env);
  const card = h("section", { class: "action-card " + (entry.name || "malformed"), role: "group", "aria-label": title,
                              tabindex: "-1" }, heading, body, status, buttons);
  let settled = false;
  let stopFollowingLanguage = () => {};

  const finish = (outcome) => {
    if (settled) return;
    settled = true;
    stopFollowingLanguage();
    // The buttons go; a keyboard user who pressed one stays on the card.
    const hadFocus = pressedWithFocus || buttons.contains(document.activeElement);
    buttons.replaceChildren();
    if (hadFocus) card.focus();
    card.classList.add(outcome.ok ? "done" : outcome.declined ? "declined" : "failed");
    status.textContent = outcome.declined ? at("ai_declined")
      : outcome.ok ? at("ai_done") : at("ai_failed", { error: outcome.error });
    onSettled(outcome);
  };

  let started = false;
  let pressedWithFocus = false;
  const run = async () => {
    if (started || settled) return;
    started = true;
    pressedWithFocus = buttons.contains(document.activeElement);
    for (const button of buttons.querySelectorAll("button")) button.disabled = true;
    status.textContent = at("ai_running");
    let outcome;
    try {
      const result = await env.api[BRIDGE_METHOD[entry.name]](entry.payload);
      outcome = result && typeof result === "object" ? { ...result } : { ok: false, error: String(result) };
    } catch (error) {
      outcome = { ok: false, error: at("ai_bridge_failed", { error: error.message }) };
    }
    // Whatever the display does with the result, the card settles and the
    // assistant hears of it.
    try {
      if (outcome.ok) env.onResult(entry.name, entry.payload, outcome);
      if (entry.name === "query_events" && outcome.ok) card.querySelector(".card-body").append(queryList(outcome, env));
    } finally {
      finish(outcome);
    }
  };

  if (entry.error) {
    queueMicrotask(() => finish({ ok: false, error: malformedText(entry.error) }));
  } else if (entry.name === "query_events") {
    queueMicrotask(run);
  } else {
    const confirm = h("button", { type: "button", class: entry.name === "delete_event" ? "danger" : "primary", onclick: run }, at("ai_confirm"));
    const decline = h("button", { type: "button", onclick: () => { if (!started) finish({ declined: true }); } }, at("ai_decline"));
    buttons.append(confirm, decline);
    // While it waits for the person, the card speaks the language they switch to.
    stopFollowingLanguage = env.onLanguageChange?.(() => {
      if (!card.isConnected) { stopFollowingLanguage(); return; }  // its conversation was cleared
      const title = at(TITLE_KEY[entry.name]);
      heading.textContent = title;
      card.setAttribute("aria-label", title);
      const fresh = describe(entry, env);
      body.replaceWith(fresh);
      body = fresh;
      confirm.textContent = at("ai_confirm");
      decline.textContent = at("ai_decline");
      if (started) status.textContent = at("ai_running");
    }) ?? (() => {});
  }
  return card;
}

export function malformedText(error) {
  const detail = error.reason === "json" ? at("ai_bad_json", { error: error.detail })
    : error.reason === "action" ? at("ai_bad_action", { name: error.detail || "?" })
    : at("ai_bad_object");
  return at("ai_bad_block", { error: detail });
}

const when = (value, env) => describeWhen(value.start, value.end, allDayTruth(value.all_day), env.language, at("ai_all_day"));

function facts(rows) {
  return h("dl", { class: "card-facts" }, rows.filter(([, value]) => value !== undefined && value !== null && value !== "")
    .flatMap(([label, value]) => [h("dt", {}, label), h("dd", {}, value)]));
}

function describe(entry, env) {
  const body = h("div", { class: "card-body" });
  if (entry.error) {
    body.append(h("pre", { class: "card-source" }, entry.source));
    return body;
  }
  const p = entry.payload;
  if (entry.name === "query_events") {
    body.append(h("p", {}, at("ai_range", { start: p.start ?? "?", end: p.end ?? "?" })));
    if (p.calendar) body.append(h("p", {}, at("ai_filter", { name: p.calendar })));
  } else if (entry.name === "create_event") {
    const calendar = p.calendar ? String(p.calendar) : at("ai_default_calendar", { name: env.defaultCalendarName() || "?" });
    body.append(facts([
      [at("ai_f_summary"), p.summary == null ? "" : String(p.summary)], [at("ai_f_when"), when(p, env)],
      [at("ai_f_location"), p.location], [at("ai_f_description"), p.description],
      [at("ai_f_repeat"), p.rrule], [at("ai_f_calendar"), calendar]]));
  } else if (entry.name === "update_event") {
    const before = env.knownEvent(p.url);
    if (before) body.append(h("p", { class: "card-subject" }, String(before.summary ?? "")));
    else body.append(h("p", { class: "note" }, at("ai_unknown_event", { url: String(p.url ?? "") })));
    body.append(changeTable(updateRows(before, p), env));
    if (before?.recurring) body.append(h("p", { class: "note" }, at("ai_series_note")));
  } else {
    const before = env.knownEvent(p.url);
    if (!before) body.append(h("p", { class: "note" }, at("ai_unknown_event", { url: String(p.url ?? "") })));
    else {
      body.append(facts([[at("ai_f_summary"), String(before.summary ?? "")], [at("ai_f_when"), when(before, env)],
        [at("ai_f_location"), before.location], [at("ai_f_calendar"), before.calendar ?? before.calendar_name]]));
      if (before.recurring) body.append(h("p", { class: "note" }, at("ai_series_note")));
    }
  }
  return body;
}

const FIELD_KEY = { summary: "ai_f_summary", when: "ai_f_when", location: "ai_f_location",
  description: "ai_f_description", rrule: "ai_f_repeat", calendar: "ai_f_calendar" };

function changeTable(rows, env) {
  const show = (row, value) => {
    if (value === null || value === undefined) return at("ai_unknown");
    if (row.field === "when") return when(value, env);
    return value === "" ? at("ai_none") : value;
  };
  return h("table", { class: "card-changes" },
    h("thead", {}, h("tr", {}, h("th", { scope: "col" }, at("ai_field")), h("th", { scope: "col" }, at("ai_now")),
      h("th", { scope: "col" }, at("ai_after")))),
    h("tbody", {}, rows.map((row) => h("tr", {},
      h("th", { scope: "row" }, at(FIELD_KEY[row.field])), h("td", {}, show(row, row.before)), h("td", {}, show(row, row.after))))));
}

function queryList(result, env) {
  const events = result.events || [];
  return h("div", {},
    h("p", {}, events.length > 1 ? at("ai_found", { n: events.length }) : events.length ? at("ai_found_one") : at("ai_found_none")),
    events.length ? h("ul", { class: "card-events" }, events.slice(0, 12).map((event) =>
      h("li", {}, `${event.summary || ""} · ${when(event, env)}`))) : null);
}
