// The sidebar: the small month, every account with its calendars (colour,
// visibility, default, read-only, fetch errors), the holiday switch and the
// account actions.
import { h, $, replaceKeepingFocus } from "./dom.js";
import { t, onLanguageChange, currentLanguage } from "./i18n.js";
import { cssColor } from "./events.js";
import { confirmDialog } from "./dialog.js";
import { menuButton, menuOpenIn, afterMenuCloses } from "./menu.js";
import { createMiniMonth } from "./mini-month.js";
import { showBanner, clearBanner } from "./banner.js";
import { openCalendarDialog, deleteCalendar } from "./calendar-dialogs.js";
import { exportCalendar } from "./ics-files.js";

export function createSidebar({ store, ctx, calendar, openAddAccount }) {
  const list = $("#accounts");
  const holidays = $("#holidays");
  let syncStatus = {};
  const mini = createMiniMonth({ element: $("#mini-month"), onPick: (day) => calendar.gotoDate(day), reading: () => store.state.reading });

  calendar.onDatesSet((date, info) => mini.follow(date, info.view.currentStart, info.view.currentEnd));
  let miniReading = JSON.stringify(store.state.reading);
  store.subscribe(() => {
    render();
    const reading = JSON.stringify(store.state.reading);  // the week's first day
    if (reading !== miniReading) { miniReading = reading; mini.render(); }
  });
  onLanguageChange(() => { render(); mini.render(); });
  holidays.addEventListener("change", () => store.setHolidays(holidays.checked).catch(showBanner));
  $("#add-account").addEventListener("click", openAddAccount);

  function calendarRow(account, cal) {
    const name = cal.name || cal.url;
    const isDefault = cal.url === store.state.defaultCalendar;
    const readOnly = cal.read_only === true;
    const error = store.state.errors.get(cal.name);
    const failing = error !== undefined && syncStatus[cal.url] !== "ok";
    const box = h("input", { type: "checkbox", checked: cal.visible !== false, "data-focus-key": "visible " + cal.url });
    box.addEventListener("change", () => store.setVisible(account.id, cal.url, box.checked).catch(showBanner));
    return h("li", { class: "calendar-row" },
      h("label", { class: "calendar-label" }, box,
        h("span", { class: "swatch", style: { background: cssColor(cal.color || "#1BADF8") }, "aria-hidden": "true" }),
        h("span", { class: "calendar-name" }, name)),
      isDefault && h("span", { class: "tag" }, t("default_calendar")),
      readOnly && h("span", { class: "tag muted" }, t("read_only")),
      failing && h("span", { class: "badge-error", role: "img", "aria-label": t("calendar_error", { name, error }),
                             title: t("calendar_error", { name, error }) }, "!"),
      menuButton({
        label: t("calendar_menu", { name }),
        focusKey: "calendar menu " + cal.url,
        items: () => [
          { label: t("make_default"), disabled: readOnly || isDefault, action: () => store.setDefault(cal.url).catch(showBanner) },
          { label: t("edit_calendar"), disabled: readOnly, action: () => openCalendarDialog(ctx, { account, calendar: cal }) },
          { label: t("delete_calendar"), disabled: readOnly, action: () => deleteCalendar(ctx, { account, calendar: cal }).catch(showBanner) },
          { label: t("export_calendar"), action: () => exportCalendar(ctx, account, cal).catch(showBanner) },
          { label: t("export_shown"), action: () => exportCalendar(ctx, account, cal, calendar.shownRange()).catch(showBanner) },
        ],
      }));
  }

  function accountBlock(account) {
    return h("div", { class: "account" },
      h("div", { class: "account-head" },
        h("span", { class: "apple-id", title: account.apple_id }, ...breakBeforeDomain(account.apple_id)),
        menuButton({
          label: t("account_menu", { name: account.apple_id }),
          focusKey: "account menu " + account.id,
          items: () => [
            { label: t("refresh_account"), action: () => refreshAccount(account) },
            { label: t("new_calendar"), action: () => openCalendarDialog(ctx, { account }) },
            { label: t("remove_account"), action: () => removeAccount(account) },
          ],
        })),
      h("ul", { class: "calendar-list" }, ...(account.calendars || []).map((cal) => calendarRow(account, cal))));
  }

  // The list is rebuilt only when what it shows changed, and not under a menu
  // the user has open: every refetch and poll reports to the store, and a
  // rebuild would take the menu away and move the focus.
  let shown = "";
  function render() {
    const accounts = store.state.accounts;
    holidays.checked = store.state.showHolidays;
    const showing = JSON.stringify([accounts, store.state.defaultCalendar, [...store.state.errors], syncStatus, currentLanguage()]);
    if (showing === shown) return;
    if (menuOpenIn(list)) { afterMenuCloses(render); return; }
    shown = showing;
    replaceKeepingFocus(list, ...(accounts.length ? accounts.map(accountBlock) : [h("p", { class: "empty" }, t("no_accounts"))]));
  }

  async function refreshAccount(account) {
    try {
      const answer = await ctx.api.refresh_calendars(account.id);
      if (!answer.ok) throw new Error(t("refresh_failed", { name: account.apple_id, error: answer.error }));
      await store.reloadAccounts();
      clearBanner();
    } catch (error) { showBanner(error); }
  }

  async function removeAccount(account) {
    const sure = await confirmDialog({
      title: t("remove_account_title"),
      message: t("remove_account_question", { name: account.apple_id }),
      confirm: t("remove"),
      danger: true,
    });
    if (!sure) return;
    try {
      const answer = await ctx.api.remove_account(account.id);
      store.setAccounts(answer.accounts);
      await calendar.refetch();
    } catch (error) { showBanner(error); }
  }

  async function refreshAll() {
    const button = $("#refresh-all");
    button.setAttribute("aria-busy", "true");
    button.disabled = true;
    try {
      const answer = await ctx.api.refresh_all_calendars();
      store.setAccounts(answer.accounts, answer.default_calendar);
      await calendar.refetch();
      const failures = (answer.errors || []).map((entry) => t("refresh_failed", { name: entry.account, error: entry.error }));
      if (failures.length) showBanner(new Error(failures.join(" · "))); else clearBanner();
    } catch (error) {
      showBanner(error);
    } finally {
      button.removeAttribute("aria-busy");
      button.disabled = false;
    }
  }

  return {
    render,
    refreshAll,
    setSyncStatus(status) {
      const changed = JSON.stringify(status) !== JSON.stringify(syncStatus);
      syncStatus = status;
      if (changed) render();
    },
  };
}

// An address too long for the sidebar wraps before its "@", not inside a word.
function breakBeforeDomain(address) {
  const at = String(address).lastIndexOf("@");
  return at > 0 ? [address.slice(0, at), h("wbr"), address.slice(at)] : [address];
}
