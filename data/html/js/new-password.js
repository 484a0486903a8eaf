// The dialog that gives an account a new app-specific password after its
// server refused the old one; the program checks it before keeping it.
import { h } from "./dom.js";
import { t } from "./i18n.js";
import { openDialog } from "./dialog.js";

// The accounts whose calendars last failed because the password was refused.
export function refusedAccounts(states, accounts) {
  const refused = new Set(Object.entries(states || {})
    .filter(([, state]) => /HTTP 401\b/.test(state?.error || ""))
    .map(([url]) => url));
  return (accounts || []).filter((account) => (account.calendars || []).some((calendar) => refused.has(calendar.url)));
}

export function openNewPassword(ctx, account) {
  let checking = false;
  return openDialog({
    title: t("new_password_title"),
    className: "add-account",
    onCancel: () => !checking,
    build: (close) => {
      const password = h("input", { id: "new-app-password", type: "password", autocomplete: "off", autofocus: true });
      const error = h("p", { class: "form-error", role: "alert" });
      const save = h("button", { type: "submit", class: "primary" }, t("save"));
      const cancel = h("button", { type: "button", onclick: () => close(null) }, t("cancel"));
      const form = h("form", { class: "form", novalidate: true },
        h("p", {}, t("new_password_message", { name: account.apple_id })),
        h("div", { class: "field wide" }, h("label", { for: "new-app-password" }, t("app_password")), password),
        error,
        h("div", { class: "actions" }, h("span", { class: "spacer" }), cancel, save));
      form.addEventListener("submit", async (event) => {
        event.preventDefault();
        checking = true;
        error.textContent = "";
        for (const control of [password, save, cancel]) control.disabled = true;
        try {
          const answer = await ctx.api.replace_account_password(account.id, password.value);
          if (!answer.ok) throw new Error(answer.error);
          checking = false;
          close(true);
          await ctx.api.sync_now();
          await ctx.refetch();
        } catch (failure) {
          error.textContent = failure.message || String(failure);
        } finally {
          checking = false;
          for (const control of [password, save, cancel]) control.disabled = false;
        }
      });
      return form;
    },
  }).closed;
}
