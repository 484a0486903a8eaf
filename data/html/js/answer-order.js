// Answers to requests that may overtake one another (a poll's refetch sent
// just before a save, the save's own refetch sent after it): only an answer
// to a request issued no earlier than the last one applied may be applied,
// so the view never goes back to what the server held before a write.
export function answerOrder() {
  let issued = 0;
  let applied = 0;
  return {
    issue: () => ++issued,
    // Whether the answer to `ticket` is still current; if so it becomes the applied one.
    accept(ticket) {
      if (ticket < applied) return false;
      applied = ticket;
      return true;
    },
  };
}
