// Reminders inside the page: shown here when the desktop has no
// notification service, with the same choices as a notification; and the
// event a reminder's "Open" asked for, opened in the calendar.
import { h, replaceKeepingFocus } from "./dom.js";
import { t } from "./i18n.js";
import { openEventEditor } from "./editor.js";

const POLL_MS = 3000;

export function startReminders(ctx, anchor) {
  const region = h("section", { class: "reminders", "aria-label": t("reminders"), "aria-live": "polite" });
  anchor.after(region);
  let shown = "";

  async function act(id, action) {
    const answer = await ctx.api.reminder_action(id, action);
    if (answer?.event) await openEvent(ctx, answer.event);
    await poll();
  }

  function render(banners) {
    const key = JSON.stringify(banners.map((banner) => [banner.id, banner.body]));
    if (key === shown) return;
    shown = key;
    replaceKeepingFocus(region, ...banners.map((banner) => h("div", { class: "reminder", role: "alert" },
      h("strong", {}, banner.title),
      h("span", { class: "reminder-body" }, banner.body),
      h("button", { type: "button", "data-focus-key": banner.id + ":snooze", onclick: () => act(banner.id, "snooze") }, t("snooze")),
      h("button", { type: "button", "data-focus-key": banner.id + ":open", onclick: () => act(banner.id, "open") }, t("open")),
      h("button", { type: "button", "data-focus-key": banner.id + ":dismiss", onclick: () => act(banner.id, "dismiss") }, t("dismiss_reminder")))));
  }

  async function poll() {
    try {
      const answer = await ctx.api.get_reminders();
      render(answer.banners || []);
      if (answer.open) await openEvent(ctx, answer.open);
    } catch {
      // The calendar's own polling reports an unreachable program.
    }
  }

  poll();
  setInterval(poll, POLL_MS);
}

// Goes to the event's day and opens it once the day's events are in.
async function openEvent(ctx, target) {
  ctx.calendar.gotoDate(target.start.slice(0, 10));
  for (let tries = 0; tries < 20; tries++) {
    const record = ctx.calendar.records().find((candidate) => candidate.url === target.url &&
      (candidate.recurrence_id || "") === (target.recurrence_id || ""));
    if (record) { openEventEditor(ctx, { record }); return; }
    await new Promise((resolve) => setTimeout(resolve, 250));
  }
}
