// Entry points of the assistant's chat panel and of the settings dialog. The
// page calls openAssistant(ctx) and openSettings(ctx); ctx carries api, t(),
// the dialog helpers, refetch() and the current language.
import { h } from "../js/dom.js";

export function openSettings(ctx) {
  const { t } = ctx;
  ctx.dialogs.openDialog({
    title: t("settings"),
    build: (close) => h("div", { class: "form" },
      h("p", {}, t("language") + ": " + ctx.language),
      h("div", { class: "actions" }, h("button", { type: "button", onclick: () => close() }, t("close")))),
  });
}

export function openAssistant(ctx) {
  const { t } = ctx;
  ctx.dialogs.openDialog({
    title: t("assistant"),
    build: (close) => h("div", { class: "form" },
      h("div", { class: "actions" }, h("button", { type: "button", onclick: () => close() }, t("close")))),
  });
}
