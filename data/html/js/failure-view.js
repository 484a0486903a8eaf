// Shows a failure as a plain sentence in the page's language, with the
// program's own text folded away under "Details".
import { h } from "./dom.js";
import { t, currentLanguage } from "./i18n.js";
import { plainFailure } from "./plain-errors.js";

export function failureNodes(error) {
  const { sentence, details } = plainFailure(error, currentLanguage());
  const nodes = [h("span", { class: "failure-sentence" }, sentence)];
  if (details) nodes.push(h("details", { class: "failure-details" }, h("summary", {}, t("details")), h("code", {}, details)));
  return nodes;
}

// Fills `target` (an element with role="alert") with the failure; an empty
// error clears it.
export function showFailure(target, error) {
  if (!error) { target.replaceChildren(); return; }
  target.replaceChildren(...failureNodes(error));
}
