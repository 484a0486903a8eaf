// The one line that says the calendars could not be reached, and since when,
// while their last-known events stay on screen; "Try again" syncs them now.
import { t, currentLanguage, onLanguageChange } from "./i18n.js";
import { openNewPassword, refusedAccounts } from "./new-password.js";

// The earliest time any calendar became unreachable, or null when none is.
export function unreachableSince(states) {
  let earliest = null;
  for (const state of Object.values(states || {})) {
    if (state?.state !== "unreachable" || !state.unreachable_since) continue;
    if (!earliest || state.unreachable_since < earliest) earliest = state.unreachable_since;
  }
  return earliest;
}

export function createOfflineBanner({ ctx, onError }) {
  const { api, calendar } = ctx;
  const node = document.getElementById("offline");
  const text = document.getElementById("offline-text");
  const retry = document.getElementById("offline-retry");
  const passwords = document.getElementById("offline-passwords");
  let states = {};

  // A refused password is mended here, account by account.
  function renderPasswords() {
    passwords.replaceChildren();
    for (const account of refusedAccounts(states, ctx.store.state.accounts)) {
      const button = document.createElement("button");
      button.type = "button";
      button.textContent = t("new_password_for", { name: account.apple_id });
      button.addEventListener("click", () => openNewPassword(ctx, account).catch(onError));
      passwords.append(button);
    }
  }

  function render() {
    const since = unreachableSince(states);
    node.hidden = !since;
    renderPasswords();
    if (!since) return;
    const locale = currentLanguage() === "zh-Hant" ? "zh-TW" : "en-US";
    const when = new Date(since).toLocaleString(locale, { dateStyle: "medium", timeStyle: "short" });
    text.textContent = t("offline_since", { time: when });
  }

  retry.addEventListener("click", async () => {
    retry.disabled = true;
    text.textContent = t("offline_trying");
    try {
      const answer = await api.sync_now();
      states = answer.calendar_states || {};
      await calendar.refetch();
    } catch (error) {
      onError(error);
    } finally {
      retry.disabled = false;
      render();
    }
  });
  onLanguageChange(render);

  return {
    update(newStates) {
      states = newStates || {};
      if (!retry.disabled) render();
    },
  };
}
