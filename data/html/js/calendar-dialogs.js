// Calendars made, renamed, recoloured and deleted from the sidebar's menus.
// A calendar that still holds events is deleted only after a second, plain
// question that says how many.
import { h } from "./dom.js";
import { t } from "./i18n.js";
import { openDialog, confirmDialog } from "./dialog.js";
import { showFailure } from "./failure-view.js";
import { parseColor } from "./events.js";

const hex = (n) => n.toString(16).padStart(2, "0").toUpperCase();
const pickerColor = (text) => { const { r, g, b } = parseColor(text); return `#${hex(r)}${hex(g)}${hex(b)}`; };

// calendar: absent for a new one.
export function openCalendarDialog(ctx, { account, calendar = null }) {
  return openDialog({
    title: calendar ? t("edit_calendar_title") : t("new_calendar_title"),
    className: "calendar-dialog",
    build: (close) => {
      const name = h("input", { id: "calendar-name", type: "text", value: calendar?.name || "", autofocus: true, autocomplete: "off" });
      const color = h("input", { id: "calendar-color", type: "color", value: pickerColor(calendar?.color || "#1BADF8") });
      const error = h("p", { class: "form-error", role: "alert" });
      const save = h("button", { type: "submit", class: "primary" }, t("save"));
      const form = h("form", { class: "form", novalidate: true },
        h("div", { class: "field wide" }, h("label", { for: name.id }, t("calendar_name")), name),
        h("div", { class: "field" }, h("label", { for: color.id }, t("calendar_color")), color),
        error,
        h("div", { class: "actions" }, h("span", { class: "spacer" }),
          h("button", { type: "button", onclick: () => close(null) }, t("cancel")), save));
      form.addEventListener("submit", async (event) => {
        event.preventDefault();
        const wanted = { name: name.value.trim(), color: color.value.toUpperCase() + "FF" };
        if (!wanted.name) { error.textContent = t("calendar_name_needed"); name.focus(); return; }
        save.disabled = true;
        try {
          const answer = calendar
            ? await ctx.api.update_calendar(account.id, calendar.url, changedParts(calendar, wanted))
            : await ctx.api.create_calendar(account.id, wanted.name, wanted.color);
          if (!answer.ok) throw new Error(answer.error);
          await ctx.store.reloadAccounts();
          close(true);
          await ctx.refetch();
        } catch (failure) {
          save.disabled = false;
          showFailure(error, failure);
        }
      });
      return form;
    },
  }).closed;
}

function changedParts(calendar, wanted) {
  const parts = {};
  if (wanted.name !== calendar.name) parts.name = wanted.name;
  if (pickerColor(wanted.color) !== pickerColor(calendar.color || "#1BADF8")) parts.color = wanted.color;
  return parts;
}

export async function deleteCalendar(ctx, { account, calendar }) {
  const name = calendar.name || calendar.url;
  if (!(await confirmDialog({ title: t("delete_calendar_title"), message: t("delete_calendar_question", { name }),
                              confirm: t("delete"), danger: true }))) return;
  let answer = await ctx.api.delete_calendar(account.id, calendar.url, false);
  if (!answer.ok && answer.not_empty) {
    if (!(await confirmDialog({ title: t("delete_calendar_title"), message: t("delete_calendar_full", { name, n: answer.count }),
                                confirm: t("delete_with_events"), danger: true }))) return;
    answer = await ctx.api.delete_calendar(account.id, calendar.url, true);
  }
  if (!answer.ok) throw new Error(answer.error);
  await ctx.store.reloadAccounts();
  await ctx.refetch();
}
