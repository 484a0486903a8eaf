// The program's failure texts read as plain sentences, in both languages.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { fileURLToPath } from "node:url";

const load = async (name) => import("data:text/javascript;charset=utf-8," +
  encodeURIComponent(readFileSync(fileURLToPath(new URL(`../../data/html/js/${name}`, import.meta.url)), "utf8")));
const { plainFailure, failureKind } = await load("plain-errors.js");

test("each failure the bridge reports is recognised, in either interface language", () => {
  const cases = [
    ["Cannot reach iCloud: network error: Failed to connect to 127.0.0.1 port 51681 after 0 ms: Couldn't connect to server", "sign_in_offline"],
    ["無法連線到 iCloud：network error: Couldn't connect to server", "sign_in_offline"],
    ["Cannot reach iCloud: network error: timed out (Operation timed out after 60001 milliseconds)", "sign_in_timeout"],
    ["iCloud sign-in failed (HTTP 401). Check the Apple ID and app-specific password.", "wrong_password"],
    ["iCloud 登入失敗（HTTP 401）。請確認 Apple ID 與 App 專用密碼。", "wrong_password"],
    ["Signed in but failed to list calendars: PROPFIND failed: HTTP 500", "discover"],
    ["這個 Apple ID 已經加入過了：a@b.c", "duplicate"],
    ["network error: Failed to connect to 127.0.0.1 port 5232", "offline"],
    ["network error: timed out (Connection timed out after 10001 milliseconds)", "timeout"],
    ["the event was changed elsewhere (HTTP 412); reload it and try again", "conflict"],
    ["an event with this UID already exists in the calendar (HTTP 412)", "exists"],
    ["PUT failed: the server refused the credentials (HTTP 401)", "auth"],
    ["DELETE failed: not found (HTTP 404)", "gone"],
    ["REPORT failed: HTTP 503", "server"],
    ["Wrenfold is not reachable: Failed to fetch", "app_unreachable"],
    ["account not found", "account_gone"],
    ["malformed server answer: not XML", "generic"],
    // Already written for people: the assistant's explained failures stay as they are.
    ["Claude response timed out (180 seconds).", "as_is"],
    ["Claude 回應逾時（180 秒）。", "as_is"],
  ];
  for (const [text, kind] of cases) assert.equal(failureKind(text), kind, text);
});

test("a failure becomes a sentence in the page's language with the program's text as its details", () => {
  const raw = "network error: Failed to connect to 127.0.0.1 port 5232";
  assert.deepEqual(plainFailure(new Error(raw), "en"),
    { kind: "offline", sentence: "Can't reach iCloud. Check your connection and try again.", details: raw });
  assert.equal(plainFailure(raw, "zh-Hant").sentence, "無法連線到 iCloud。請檢查網路連線後再試一次。");
  assert.equal(plainFailure(raw, "fr").sentence, plainFailure(raw, "en").sentence, "an unknown language falls back to English");
  assert.deepEqual(plainFailure("Claude response timed out (180 seconds).", "zh-Hant"),
    { kind: "as_is", sentence: "Claude response timed out (180 seconds).", details: "" });
});
