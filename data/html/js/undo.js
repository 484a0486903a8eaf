// The short notice after a change, with "Undo" to write the previous version
// back. The previous object is read before the change is made.
import { h } from "./dom.js";
import { t } from "./i18n.js";
import { showBanner } from "./banner.js";
import { undoCalls, isSafePlan } from "./undo-plan.js";

const NOTICE_MS = 10000;
let current = null;

// The stored object of an event before a change, or null when it cannot be
// read (the change then goes ahead without an undo).
export async function capture(api, record) {
  if (!record?.url || !record.account_id) return null;
  try {
    const answer = await api.export_event(record.account_id, record.url);
    return answer?.ok ? { account: record.account_id, url: record.url, ics: answer.ics } : null;
  } catch {
    return null;
  }
}

export function afterOf(accountId, answer) {
  return answer?.url ? { account: accountId, url: answer.url, etag: answer.etag || "" } : null;
}

// Shows `message` with "Undo"; `onDone` runs after a successful undo.
export function showUndo({ api, message, before, after, onDone }) {
  dismiss();
  const calls = undoCalls(before, after);
  const notice = h("div", { class: "undo-notice", role: "status" }, h("span", {}, message));
  if (isSafePlan(calls)) {
    notice.append(h("button", { type: "button", onclick: () => run(calls, api, onDone) }, t("undo")));
  }
  notice.append(h("button", { type: "button", class: "icon", "aria-label": t("dismiss_notice"), onclick: dismiss }, "×"));
  document.body.append(notice);
  current = { notice, timer: setTimeout(dismiss, NOTICE_MS) };
}

async function run(calls, api, onDone) {
  dismiss();
  try {
    for (const [method, ...args] of calls) {
      const answer = await api[method](...args);
      if (answer && answer.ok === false) throw new Error(answer.error);
    }
    await onDone?.();
  } catch (error) {
    showBanner(error);
  }
}

function dismiss() {
  if (!current) return;
  clearTimeout(current.timer);
  current.notice.remove();
  current = null;
}
