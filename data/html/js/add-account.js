// The dialog that adds an iCloud account: Apple ID and app-specific password,
// verified by the program while the dialog shows its progress.
import { h } from "./dom.js";
import { t } from "./i18n.js";
import { openDialog } from "./dialog.js";

export const APP_PASSWORD_HELP_URL = "https://support.apple.com/en-us/102654";

export function openAddAccount(ctx) {
  let verifying = false;
  return openDialog({
    title: t("add_account"),
    className: "add-account",
    // Closing while the program signs in would hide its answer.
    onCancel: () => !verifying,
    build: (close) => {
      const appleId = h("input", { id: "apple-id", type: "email", name: "apple_id", autocomplete: "username", autofocus: true,
                                   spellcheck: false });
      const password = h("input", { id: "app-password", type: "password", name: "app_password", autocomplete: "off",
                                    "aria-describedby": "app-password-help" });
      const error = h("p", { class: "form-error", role: "alert" });
      const progress = h("p", { class: "form-status", "aria-live": "polite" });
      const add = h("button", { type: "submit", class: "primary" }, t("add"));
      const cancel = h("button", { type: "button", onclick: () => close(null) }, t("cancel"));
      const link = h("a", { href: APP_PASSWORD_HELP_URL, rel: "noreferrer" }, t("app_password_link"));
      link.addEventListener("click", (event) => {
        event.preventDefault();
        // The program opens it in the system browser, in the window and in a tab alike.
        ctx.api.open_url(APP_PASSWORD_HELP_URL).catch(ctx.showError);
      });

      const form = h("form", { class: "form", novalidate: true },
        h("div", { class: "field wide" }, h("label", { for: "apple-id" }, t("apple_id")), appleId),
        h("div", { class: "field wide" }, h("label", { for: "app-password" }, t("app_password")), password,
          h("p", { class: "help", id: "app-password-help" }, t("app_password_help"), " ", link)),
        error, progress,
        h("div", { class: "actions" }, h("span", { class: "spacer" }), cancel, add));

      form.addEventListener("submit", async (event) => {
        event.preventDefault();
        verifying = true;
        error.textContent = "";
        progress.textContent = t("verifying");
        form.setAttribute("aria-busy", "true");
        for (const control of [appleId, password, add, cancel]) control.disabled = true;
        try {
          const answer = await ctx.api.add_account(appleId.value, password.value);
          if (!answer.ok) throw new Error(answer.error);
          await ctx.store.reloadAccounts();
          verifying = false;
          close(answer.account);
          await ctx.refetch();
        } catch (failure) {
          error.textContent = failure.message || String(failure);
        } finally {
          verifying = false;
          progress.textContent = "";
          form.removeAttribute("aria-busy");
          for (const control of [appleId, password, add, cancel]) control.disabled = false;
        }
      });
      return form;
    },
  });
}
