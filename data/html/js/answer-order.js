// Answers to requests that may overtake one another (a poll's refetch sent
// just before a save, the save's own refetch sent after it; a month asked for
// and then the next one, quickly): only the answer to the request issued last
// may be applied, whichever comes back first, so the view never goes back to
// what the server held before a write nor paints a range it has moved past.
export function answerOrder() {
  let issued = 0;
  return {
    issue: () => ++issued,
    // Whether the answer to `ticket` is still current.
    accept: (ticket) => ticket === issued,
  };
}
