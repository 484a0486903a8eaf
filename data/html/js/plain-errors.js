// Turns the program's technical failure texts into a sentence in the page's
// language that says what happened and what to do; the original text stays
// available as the details. Pure: no DOM, no imports, so it can be tested alone.

const SENTENCES = {
  "en": {
    offline: "Can't reach iCloud. Check your connection and try again.",
    timeout: "iCloud took too long to answer. Check your connection and try again.",
    sign_in_offline: "Can't reach the server to sign in. Check your connection and the server address, then try again.",
    sign_in_timeout: "Signing in took too long: the server did not answer. Try again later.",
    wrong_password: "iCloud did not accept the Apple ID or the app-specific password. Check both and try again; use an app-specific password, not your Apple ID password.",
    discover: "Signed in, but the calendars could not be listed. Try again in a moment.",
    duplicate: "This Apple ID is already in Wrenfold.",
    need_fields: "Enter both the Apple ID and the app-specific password.",
    conflict: "This event was changed elsewhere since you opened it.",
    exists: "An event with the same identity is already in that calendar.",
    auth: "iCloud no longer accepts this account's password. Remove the account and add it again with a new app-specific password.",
    forbidden: "You are not allowed to change this calendar.",
    gone: "This event is no longer on the server; it was probably deleted elsewhere. The calendar will refresh.",
    server: "iCloud had a problem answering. This is not caused by you; try again in a moment.",
    account_gone: "This account is no longer in Wrenfold.",
    end_before_start: "The end lies before the start.",
    bad_rule: "The repeat rule could not be saved. Choose another repetition.",
    file_refused: "This file could not be opened for import. Check that it is a calendar (.ics) file you can read, no larger than 8 MB.",
    app_unreachable: "Wrenfold itself is not answering. Make sure it is still running, then reload the page.",
    generic: "Something went wrong. Try again; if it keeps happening, the details below say what the program saw.",
  },
  "zh-Hant": {
    offline: "無法連線到 iCloud。請檢查網路連線後再試一次。",
    timeout: "iCloud 太久沒有回應。請檢查網路連線後再試一次。",
    sign_in_offline: "無法連線到伺服器登入。請檢查網路連線與伺服器位址後再試一次。",
    sign_in_timeout: "登入逾時：伺服器沒有回應。請稍後再試。",
    wrong_password: "iCloud 不接受這組 Apple ID 或 App 專用密碼。請確認兩者後再試；請使用 App 專用密碼，而不是 Apple ID 的密碼。",
    discover: "已登入，但無法列出行事曆。請稍後再試。",
    duplicate: "這個 Apple ID 已經在 Wrenfold 裡了。",
    need_fields: "請輸入 Apple ID 與 App 專用密碼。",
    conflict: "你開啟這個行程後，它已在別處被變更。",
    exists: "那個行事曆裡已經有相同識別碼的行程。",
    auth: "iCloud 不再接受這個帳號的密碼。請移除帳號，再用新的 App 專用密碼加入。",
    forbidden: "你沒有權限變更這個行事曆。",
    gone: "伺服器上已經沒有這個行程，可能已在別處刪除。行事曆會重新整理。",
    server: "iCloud 回應時發生問題。這不是你的操作造成的，請稍後再試。",
    account_gone: "這個帳號已不在 Wrenfold 裡。",
    end_before_start: "結束時間早於開始時間。",
    bad_rule: "無法儲存重複規則。請選擇其他重複方式。",
    file_refused: "無法開啟這個檔案來匯入。請確認它是你能讀取、不超過 8 MB 的行事曆（.ics）檔案。",
    app_unreachable: "Wrenfold 本身沒有回應。請確認它仍在執行，然後重新載入頁面。",
    generic: "發生錯誤。請再試一次；若一直發生，下方的詳細資訊是程式看到的內容。",
  },
};

// First match wins; `signIn` patterns apply only to the add-account check,
// whose texts wrap the network failure in their own sentence.
const RULES = [
  { kind: "need_fields", pattern: /Please enter both Apple ID|請輸入 Apple ID 與 App 專用密碼/ },
  { kind: "duplicate", pattern: /This Apple ID is already added|這個 Apple ID 已經加入過了/ },
  { kind: "wrong_password", pattern: /iCloud sign-in failed \(HTTP|iCloud 登入失敗/ },
  { kind: "discover", pattern: /Signed in but failed to list calendars|登入成功但列出行事曆失敗/ },
  { kind: "sign_in_timeout", pattern: /(Cannot reach iCloud|無法連線到 iCloud).*timed out/s },
  { kind: "sign_in_offline", pattern: /Cannot reach iCloud|無法連線到 iCloud/ },
  { kind: "app_unreachable", pattern: /Wrenfold is not reachable|無法連線到 Wrenfold/ },
  { kind: "timeout", pattern: /network error: timed out/ },
  { kind: "offline", pattern: /network error:/ },
  { kind: "conflict", pattern: /changed elsewhere \(HTTP 412\)|\bfailed: HTTP 412\b/ },
  { kind: "exists", pattern: /already exists in the calendar \(HTTP 412\)/ },
  { kind: "auth", pattern: /refused the credentials \(HTTP 401\)/ },
  { kind: "forbidden", pattern: /\(HTTP 403\)/ },
  { kind: "gone", pattern: /\(HTTP 404\)|HTTP 410\b/ },
  { kind: "server", pattern: /HTTP 5\d\d\b/ },
  { kind: "account_gone", pattern: /^account not found$/ },
  { kind: "end_before_start", pattern: /^the end lies before the start$/ },
  { kind: "bad_rule", pattern: /^invalid rrule:/ },
  { kind: "file_refused", pattern: /^cannot open the file / },
];

// A text the program already wrote for people (the assistant's explained
// failures, the page's own checks) is a whole sentence and is shown as it is.
const SENTENCE = /^[A-Z\u3400-\u9fff\uff08（].*[.。!！?？]$/s;

export function failureKind(text) {
  const raw = String(text ?? "").trim();
  const rule = RULES.find((candidate) => candidate.pattern.test(raw));
  if (rule) return rule.kind;
  return SENTENCE.test(raw) ? "as_is" : "generic";
}

// { kind, sentence, details }: details is the program's own text, shown
// only under "Details"; it is empty when the sentence already says it all.
export function plainFailure(error, language = "en") {
  const raw = typeof error === "string" ? error : (error?.message ?? String(error ?? ""));
  const kind = failureKind(raw);
  const texts = SENTENCES[language] ?? SENTENCES.en;
  if (kind === "as_is") return { kind, sentence: raw, details: "" };
  return { kind, sentence: texts[kind], details: raw };
}
