// The question asked before changing or deleting an event of a series.
import { askDialog } from "./dialog.js";
import { t } from "./i18n.js";

// Resolves true when the user agrees to change (or delete) the whole series.
// Changing a single occurrence would need an override that the program cannot
// write yet, so "All events" is the only way forward.
export async function askSeries(record, action) {
  const name = record.summary || t("untitled");
  const message = action === "delete" ? t("series_delete_question", { name }) : t("series_change_question", { name });
  const answer = await askDialog({
    title: t("series_title"),
    message,
    choices: [{ value: "all", label: t("all_events"), kind: action === "delete" ? "danger" : "primary", focus: true }],
  });
  return answer === "all";
}
