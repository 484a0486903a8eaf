// The assistant's action blocks as the page reads them out of an answer and
// hands the results back. Runs in Node, without the page.
import { test } from "node:test";
import assert from "node:assert/strict";
import { parseAnswer, resultsMessage, describeWhen, updateRows } from "../data/html/assistant/actions.js";
import { maskKey } from "../data/html/assistant/deepseek.js";

const block = (json) => "```wrenfold-action\n" + json + "\n```";

test("action blocks are found in order between the text, other fences stay text", () => {
  const answer = [
    "I will look first.",
    block('{"action": "query_events", "start": "2025-06-01", "end": "2025-07-01"}'),
    "```json",
    '{"action": "delete_event", "url": "x"}',
    "```",
    "````md",
    block('{"action": "delete_event", "url": "inside an example"}'),
    "````",
    "Then add it:\r",
    "```wrenfold-action\r",
    '{"action": "create_event",\r',
    ' "summary": "Dentist", "start": "2025-06-03T15:00:00"}\r',
    "```\r",
  ].join("\n");
  const { parts, actions } = parseAnswer(answer);
  assert.deepEqual(parts.map((part) => part.kind), ["text", "action", "text", "action"]);
  assert.equal(actions.length, 2, "json fences and examples inside a longer fence are not actions");
  assert.deepEqual(actions[0].payload, { start: "2025-06-01", end: "2025-07-01" });
  assert.equal(actions[0].name, "query_events");
  assert.deepEqual(actions[1].payload, { summary: "Dentist", start: "2025-06-03T15:00:00" });
  assert.match(parts[2].text, /"url": "inside an example"/);
});

test("malformed blocks are reported with their reason and never carry a payload", () => {
  const cases = {
    json: block('{"action": "create_event", "summary": "x",}'),
    object: block('[{"action": "create_event"}]'),
    action: block('{"action": "drop_calendar"}'),
    unclosed: "```wrenfold-action\n{\"action\": \"delete_event\", \"url\": \"u\"}",
  };
  for (const [reason, text] of Object.entries(cases)) {
    const { actions } = parseAnswer(text);
    assert.equal(actions.length, 1, reason);
    assert.equal(actions[0].error?.reason, reason);
    assert.equal(actions[0].payload, null, reason);
  }
  assert.equal(parseAnswer(block("null")).actions[0].error.reason, "object");
  assert.equal(parseAnswer(block('{"summary": "no action"}')).actions[0].error.reason, "action");
});

test("results go back as one block per action, in order, declines and failures included", () => {
  const message = resultsMessage([
    { action: "create_event", outcome: { ok: true, summary: "Dentist", url: "https://h/c/1.ics" } },
    { action: "delete_event", outcome: { declined: true } },
    { action: "update_event", outcome: { ok: false, error: "Event needs a title." } },
    { action: "unknown", outcome: { error: "not valid JSON" } },
  ]);
  const blocks = [...message.matchAll(/```wrenfold-result\n(.*)\n```/g)].map((match) => JSON.parse(match[1]));
  assert.deepEqual(blocks, [
    { action: "create_event", ok: true, summary: "Dentist", url: "https://h/c/1.ics" },
    { action: "delete_event", ok: false, declined: true },
    { action: "update_event", ok: false, error: "Event needs a title." },
    { action: "unknown", ok: false, error: "not valid JSON" },
  ]);
});

test("times read in plain words in both languages, all-day ends being exclusive", () => {
  assert.equal(describeWhen("2025-06-03T15:00:00", "2025-06-03T16:30:00", false, "en", "all day"), "Tue, 3 Jun 2025 15:00–16:30");
  assert.equal(describeWhen("2025-06-03", "2025-06-04", true, "en", "all day"), "Tue, 3 Jun 2025, all day");
  assert.equal(describeWhen("2025-06-03", "2025-06-06", true, "en", "all day"), "Tue, 3 Jun 2025 – Thu, 5 Jun 2025, all day");
  assert.match(describeWhen("2025-06-03T15:00:00", null, false, "zh-Hant", "全天"), /2025年6月3日.*15:00/);
  assert.equal(describeWhen("2025-06-03T15:00:00+0800", "2025-06-03T16:00:00+08:00", false, "en", "all day"),
    describeWhen("2025-06-03T15:00:00+08:00", "2025-06-03T16:00:00+08:00", false, "en", "all day"), "offsets with or without a colon");
  assert.equal(describeWhen("next Tuesday", "", false, "en", "all day"), "next Tuesday", "unreadable dates are shown as written");
});

test("an update lists only what it changes, beside the event as it stands", () => {
  const before = { summary: "Dentist", start: "2025-06-03T15:00:00", end: "2025-06-03T16:00:00", all_day: false, location: "Clinic", calendar: "Home" };
  const rows = updateRows(before, { url: "u", etag: "e", start: "2025-06-05T15:00:00", location: "" });
  assert.deepEqual(rows.map((row) => row.field), ["when", "location"]);
  assert.deepEqual(rows[0].after, { start: "2025-06-05T15:00:00", end: "2025-06-03T16:00:00", all_day: false },
    "a start alone keeps the stored end, as the program will");
  assert.deepEqual(rows[1], { field: "location", before: "Clinic", after: "" });
  const unknown = updateRows(null, { url: "u", summary: "New", all_day: "false", calendar: "Work" });
  assert.deepEqual(unknown.map((row) => [row.field, row.before]), [["summary", null], ["when", null], ["calendar", null]]);
  assert.equal(unknown[1].after.all_day, true, "a non-empty string counts as all day, as the program reads it");
});

test("a stored key is shown masked, never in full", () => {
  assert.equal(maskKey("sk-1234567890abcdef"), "sk-…cdef");
  assert.equal(maskKey("short"), "•••••");
  assert.equal(maskKey(""), "");
});
