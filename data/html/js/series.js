// The question asked before changing or deleting an event of a series.
import { askDialog } from "./dialog.js";
import { t } from "./i18n.js";

// Resolves "this" (only the occurrence), "future" (it and the following
// ones), "all" (the whole series) or null when the user
// cancels. action is "change", "delete" or "move"; a move to another
// calendar takes the whole series along, so it only offers "all".
// onlyAll leaves out "This event" (a changed rule belongs to the series).
export async function askSeries(record, action, { onlyAll = false } = {}) {
  const name = record.summary || t("untitled");
  const single = action !== "move" && !onlyAll && Boolean(record.recurrence_id);
  const message = t(`series_${action}_question`, { name });
  const kind = action === "delete" ? "danger" : "primary";
  const following = action !== "move" && Boolean(record.recurrence_id);
  const choices = [
    single ? { value: "this", label: t("this_event"), kind, focus: true } : null,
    following ? { value: "future", label: t("following_events"), kind: "" } : null,
    { value: "all", label: t("all_events"), kind: single ? "" : kind, focus: !single },
  ].filter(Boolean);
  const answer = await askDialog({ title: t("series_title"), message, choices, cancelFirst: action === "delete" });
  return ["this", "future", "all"].includes(answer) ? answer : null;
}
