// .ics files: a file read into a calendar after a preview of what it holds,
// and an event, a calendar or the dates shown written out as a file.
import { h } from "./dom.js";
import { t } from "./i18n.js";
import { openDialog, askDialog } from "./dialog.js";
import { preferredCalendar } from "./events.js";
import { calendarSelect } from "./editor.js";
import { showFailure } from "./failure-view.js";
import { showUndo } from "./undo.js";

// A file name from a title: characters file systems refuse become spaces.
export function fileName(title) {
  return (String(title || "").replace(/[\\/:*?"<>|\u0000-\u001f]+/g, " ").trim() || "calendar") + ".ics";
}

// Hands the text to the browser as a download (the desktop window asks where
// to save it).
export function saveFile(name, text) {
  const url = URL.createObjectURL(new Blob([text], { type: "text/calendar;charset=utf-8" }));
  const link = h("a", { href: url, download: name, hidden: true });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

export async function exportEvent(ctx, record) {
  const answer = await ctx.api.export_event(record.account_id, record.url);
  if (!answer?.ok) throw new Error(answer?.error);
  saveFile(fileName(record.summary || t("untitled")), answer.ics);
}

// range: { start, end } dates (end exclusive), or null for the whole calendar.
export async function exportCalendar(ctx, account, calendar, range = null) {
  const answer = await ctx.api.export_ics(account.id, calendar.url, range?.start ?? "", range?.end ?? "");
  if (!answer?.ok) throw new Error(answer?.error);
  const name = calendar.name || "calendar";
  saveFile(fileName(range ? `${name} ${range.start} ${range.end}` : name), answer.ics);
}

// Files dropped onto the page that look like calendars.
export function calendarFiles(dataTransfer) {
  return [...(dataTransfer?.files || [])].filter((file) => /\.ics$/i.test(file.name) || file.type === "text/calendar");
}

export async function importFile(ctx, file) {
  return openImport(ctx, await file.text(), file.name);
}

// Files handed to the program from outside (the desktop opened them with
// Wrenfold, or a later start named them), each shown in the same preview
// after the one before is closed; nothing is imported before the user's click.
export async function openHandedFiles(ctx) {
  for (;;) {
    const answer = await ctx.api.take_opened_file();
    if (!answer?.ok) ctx.showError(new Error(answer?.error));
    else if (!answer.file) return;
    else await openImport(ctx, answer.file.text, answer.file.name).closed;
  }
}

// The preview: how many events, the first few, the calendar to put them in.
// UIDs the calendar already holds are updated only when the user says so.
export function openImport(ctx, text, name = "") {
  const { store, api } = ctx;
  return openDialog({
    title: t("import_title"),
    className: "import-dialog",
    build: (close) => {
      const picker = calendarSelect(store.state.accounts, preferredCalendar(store.state.accounts, store.state.defaultCalendar));
      picker.select.id = "import-calendar";
      const summary = h("p", { class: "import-count", "aria-live": "polite" });
      const list = h("ul", { class: "import-events" });
      const error = h("p", { class: "form-error", role: "alert" });
      const go = h("button", { type: "submit", class: "primary", disabled: true }, t("import"));
      let preview = null;

      async function load() {
        const target = picker.chosen();
        go.disabled = true;
        preview = null;
        showFailure(error, "");
        if (!target) { error.textContent = t("no_writable"); return; }
        try {
          const answer = await api.preview_ics(target.account.id, target.calendar.url, text);
          if (!answer?.ok) throw new Error(answer?.error);
          if (picker.chosen() !== target) return;  // another calendar was chosen meanwhile
          preview = { ...answer, target };
          summary.textContent = t("import_count", { n: answer.count, file: name });
          list.replaceChildren(...answer.events.map((event) => h("li", {},
            h("span", { class: "import-title" }, event.summary || t("untitled")), " ",
            h("span", { class: "import-when" }, event.all_day ? event.start : event.start.replace("T", " ").slice(0, 16)))));
          if (answer.count > answer.events.length)
            list.append(h("li", { class: "muted" }, t("import_more", { n: answer.count - answer.events.length })));
          go.disabled = false;
        } catch (failure) {
          showFailure(error, failure);
        }
      }

      async function run() {
        if (!preview) return;
        let update = false;
        if (preview.existing.length) {
          const answer = await askDialog({
            title: t("import_existing_title"), message: t("import_existing", { n: preview.existing.length }),
            choices: [{ value: "update", label: t("import_update"), kind: "primary" }, { value: "skip", label: t("import_skip") }],
            cancelFirst: true,
          });
          if (answer === null) return;
          update = answer === "update";
        }
        go.disabled = true;
        try {
          const { target } = preview;
          const answer = await api.import_ics(target.account.id, target.calendar.url, text, update);
          if (!answer?.ok) throw new Error(answer?.error);
          close(true);
          showUndo({ api, message: t("import_done", answer), before: null, after: null });
          await ctx.refetch();
        } catch (failure) {
          go.disabled = false;
          showFailure(error, failure);
        }
      }

      picker.select.addEventListener("change", load);
      const form = h("form", { class: "form", novalidate: true },
        summary, list,
        h("div", { class: "field wide" }, h("label", { for: picker.select.id }, t("import_into")), picker.select),
        error,
        h("div", { class: "actions" }, h("span", { class: "spacer" }),
          h("button", { type: "button", onclick: () => close(null) }, t("cancel")), go));
      form.addEventListener("submit", (event) => { event.preventDefault(); run(); });
      load();
      return form;
    },
  });
}
