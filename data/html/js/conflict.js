// A save refused because the event changed elsewhere: the current version is
// shown beside the user's changes, and the user picks "Keep mine" (their
// changes written onto the current version) or "Use theirs". Nothing typed is
// lost: Cancel goes back to the editor as it was.
import { h } from "./dom.js";
import { t, currentLanguage } from "./i18n.js";
import { openDialog } from "./dialog.js";
import { showFailure } from "./failure-view.js";
import { userChanges } from "./events.js";

const SHOWN = [["summary", "title"], ["start", "start"], ["end", "end"], ["location", "location"], ["description", "notes"]];

// Resolves { answer } after "Keep mine" saved, "theirs", or null on cancel.
export async function resolveConflict(ctx, record, fields) {
  const current = await ctx.api.get_event(record.account_id, record.url);
  if (!current || current.ok === false) throw new Error(current?.error || "");
  const theirs = current.event;
  const mine = userChanges(fields, record);
  const { closed } = openDialog({
    title: t("conflict_title"),
    className: "conflict",
    build: (close) => {
      const error = h("p", { class: "form-error", role: "alert" });
      const keep = h("button", { type: "button", class: "primary", autofocus: true, onclick: () => keepMine() }, t("keep_mine"));
      const use = h("button", { type: "button", onclick: () => close("theirs") }, t("use_theirs"));
      const cancel = h("button", { type: "button", onclick: () => close(null) }, t("cancel"));
      async function keepMine() {
        for (const button of [keep, use, cancel]) button.disabled = true;
        try {
          const answer = await ctx.api.update_event(record.account_id, record.url, theirs.etag || "", mine);
          if (answer && answer.ok === false) throw new Error(answer.error);
          close({ answer });
        } catch (failure) {
          showFailure(error, failure);
          for (const button of [keep, use, cancel]) button.disabled = false;
        }
      }
      return h("div", {},
        h("p", { class: "message" }, t("conflict_message", { name: record.summary || t("untitled") })),
        comparison(theirs, mine),
        error,
        h("div", { class: "actions" }, cancel, h("span", { class: "spacer" }), use, keep));
    },
  });
  return closed;
}

// Times as the page's language writes them; texts as they are.
function shown(key, value) {
  if ((key !== "start" && key !== "end") || !value) return value ?? "";
  const dateOnly = value.length === 10;
  const [y, m, d, hh = 0, mm = 0] = value.split(/[-T:]/).map(Number);
  const locale = currentLanguage() === "zh-Hant" ? "zh-TW" : "en-GB";
  return new Intl.DateTimeFormat(locale, dateOnly ? { dateStyle: "medium" } : { dateStyle: "medium", timeStyle: "short" })
    .format(new Date(y, m - 1, d, hh, mm));
}

function comparison(theirs, mine) {
  const cell = (value, changed) => h("td", { class: changed ? "changed" : "" }, value);
  const rows = SHOWN.map(([key, label]) => h("tr", {},
    h("th", { scope: "row" }, t(label)),
    cell(shown(key, theirs[key]), false),
    cell(shown(key, key in mine ? mine[key] : theirs[key]), key in mine)));
  return h("table", { class: "comparison" },
    h("thead", {}, h("tr", {}, h("td", {}), h("th", { scope: "col" }, t("their_version")), h("th", { scope: "col" }, t("your_changes")))),
    h("tbody", {}, ...rows));
}
