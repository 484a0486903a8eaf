// What undoing one change writes, as bridge calls. Pure, so the rules can be
// tested alone. `before` is the object as it was ({ account, url, ics }, or
// null for a new event); `after` what the change left ({ account, url, etag },
// or null for a delete). Every call is conditional on the server's version:
// a copy that changed again since, or an address taken in between, makes the
// undo fail instead of overwriting someone's newer edit.
export function undoCalls(before, after) {
  const calls = [];
  const moved = after && after.url && (!before || after.url !== before.url);
  if (moved) calls.push(["delete_event", after.account, after.url, after.etag || ""]);
  if (before) {
    const overwrite = after && after.url === before.url;
    calls.push(["restore_event", before.account, before.url, overwrite ? after.etag || "" : "", before.ics]);
  }
  return calls;
}

// A delete given no ETag would delete whatever is there now.
export function isSafePlan(calls) {
  return calls.length > 0 && calls.every(([method, , , etag]) => method !== "delete_event" || Boolean(etag));
}
