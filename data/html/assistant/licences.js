// The licence notices of the libraries installed with the program, each
// text opened on demand. The list comes from the program; when it cannot
// give one, the dialog says so instead of breaking.
import { h } from "../js/dom.js";
import { at } from "./texts.js";

export function openLicences(ctx) {
  ctx.dialogs.openDialog({
    title: at("licences_title"),
    className: "assistant-licences",
    build: (close) => {
      const list = h("div", { class: "licence-list", "aria-busy": "true" });
      ctx.api.get_third_party_licenses().then((answer) => {
        const items = Array.isArray(answer?.items) ? answer.items : [];
        list.replaceChildren(...(items.length ? items.map(licenceItem) : [h("p", { class: "note" }, at("licences_none"))]));
      }).catch((failure) => {
        list.replaceChildren(h("p", { class: "form-error", role: "alert" }, failure.message));
      }).finally(() => list.removeAttribute("aria-busy"));
      return h("div", { class: "form" }, list,
        h("div", { class: "actions" }, h("button", { type: "button", onclick: () => close() }, ctx.t("close"))));
    },
  });
}

function licenceItem(item) {
  const name = `${item.name ?? ""} ${item.version ?? ""}`.trim();
  return h("details", { class: "licence" },
    h("summary", { "aria-label": at("licences_show", { name }) }, name, h("span", { class: "note" }, " · " + String(item.license_file ?? ""))),
    h("pre", { class: "licence-text", tabindex: "0" }, String(item.body ?? "")));
}
