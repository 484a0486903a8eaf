// Follows changes made elsewhere: polls the program's change tokens every 2
// seconds while the page is visible (every 15 seconds while hidden); a new
// refresh token refetches the range, a new calendars token relists accounts.
const VISIBLE_INTERVAL = 2000;
const HIDDEN_INTERVAL = 15000;

export function startPolling({ api, store, calendar, sidebar, onError, onRecovered, onState = () => {} }) {
  let last = null;
  let timer = 0;
  let failing = false;

  async function poll() {
    try {
      const state = await api.get_runtime_state();
      if (failing) { failing = false; onRecovered(); }
      if (last && state.calendars_token !== last.calendars_token) await store.reloadAccounts();
      // Before its first poll the page compares with the token its events
      // were read at, so a change landing in between is not missed.
      const seen = last ? last.refresh_token : calendar.refreshToken();
      if (seen !== undefined && state.refresh_token !== seen) await calendar.refetch();
      sidebar.setSyncStatus(state.sync_status || {});
      onState(state);
      last = state;
    } catch (error) {
      failing = true;
      onError(error);
    } finally {
      schedule();
    }
  }

  function schedule() {
    clearTimeout(timer);
    timer = setTimeout(poll, document.hidden ? HIDDEN_INTERVAL : VISIBLE_INTERVAL);
  }

  document.addEventListener("visibilitychange", () => { if (!document.hidden) { clearTimeout(timer); poll(); } });
  poll();
}
