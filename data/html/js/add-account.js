// The dialog that adds an iCloud account: Apple ID and app-specific password,
// verified by the program while the dialog shows its progress.
import { h } from "./dom.js";
import { t } from "./i18n.js";
import { openDialog } from "./dialog.js";
import { showFailure } from "./failure-view.js";

export const APP_PASSWORD_HELP_URL = "https://support.apple.com/en-us/102654";

// A sign-in can be called off at once (Cancel or Esc, also while it runs):
// the program is told, and an answer that still arrives adds no account.
export function openAddAccount(ctx) {
  let pending = null;
  const callOff = () => {
    if (!pending) return;
    pending.cancelled = true;
    ctx.api.cancel_add_account(pending.id).catch(() => {});
    pending = null;
  };
  return openDialog({
    title: t("add_account"),
    className: "add-account",
    onCancel: () => { callOff(); return true; },
    build: (close) => {
      const appleId = h("input", { id: "apple-id", type: "email", name: "apple_id", autocomplete: "username", autofocus: true,
                                   spellcheck: false });
      const password = h("input", { id: "app-password", type: "password", name: "app_password", autocomplete: "off",
                                    "aria-describedby": "app-password-help" });
      const error = h("p", { class: "form-error", role: "alert" });
      const progress = h("p", { class: "form-status", "aria-live": "polite" });
      const add = h("button", { type: "submit", class: "primary" }, t("add"));
      const cancel = h("button", { type: "button", onclick: () => { callOff(); close(null); } }, t("cancel"));
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

      const setBusy = (on) => {
        progress.textContent = on ? t("verifying") : "";
        if (on) form.setAttribute("aria-busy", "true"); else form.removeAttribute("aria-busy");
        for (const control of [appleId, password, add]) control.disabled = on;
      };

      form.addEventListener("submit", async (event) => {
        event.preventDefault();
        if (pending) return;
        const request = { id: newRequestId(), cancelled: false };
        pending = request;
        showFailure(error, null);
        setBusy(true);
        try {
          const answer = await ctx.api.add_account(appleId.value, password.value, request.id);
          if (request.cancelled) {
            // Called off after the program had already stored it.
            if (answer.ok) await ctx.api.remove_account(answer.account.id);
            return;
          }
          if (!answer.ok) throw new Error(answer.error);
          await ctx.store.reloadAccounts();
          pending = null;
          close(answer.account);
          await ctx.refetch();
        } catch (failure) {
          if (!request.cancelled) showFailure(error, failure);
        } finally {
          if (pending === request) pending = null;
          if (!request.cancelled) setBusy(false);
        }
      });
      return form;
    },
  });
}

function newRequestId() {
  return Date.now().toString(36) + "-" + Math.random().toString(36).slice(2);
}
