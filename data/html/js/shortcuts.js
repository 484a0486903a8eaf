// The list of keyboard shortcuts that `?` opens.
import { h } from "./dom.js";
import { t } from "./i18n.js";
import { openDialog } from "./dialog.js";
import { SHORTCUTS } from "./keys.js";

export function showShortcuts() {
  openDialog({
    title: t("shortcuts"),
    build: (close) => h("div", {},
      h("dl", { class: "shortcuts" }, ...SHORTCUTS.flatMap(([keys, name]) => [h("dt", {}, h("kbd", {}, keys)), h("dd", {}, t(name))])),
      h("div", { class: "actions" }, h("button", { type: "button", class: "primary", onclick: () => close() }, t("close")))),
  });
}
