// Keyboard shortcuts of the main view. They stay quiet while a dialog is open
// or while the user types in a field.
export const SHORTCUTS = [
  ["t", "key_today"], ["j / →", "key_next"], ["k / ←", "key_previous"], ["m", "key_month"], ["w", "key_week"],
  ["d", "key_day"], ["a", "key_agenda"], ["c", "key_new"], ["i", "key_assistant"], ["?", "key_help"],
];

export function bindKeys({ calendar, isDialogOpen, toggleAssistant = () => {}, showShortcuts = () => {} }) {
  const actions = {
    t: () => calendar.today(),
    j: () => calendar.next(), ArrowRight: () => calendar.next(), ArrowDown: () => calendar.next(),
    k: () => calendar.prev(), ArrowLeft: () => calendar.prev(), ArrowUp: () => calendar.prev(),
    m: () => calendar.changeView("month"),
    w: () => calendar.changeView("week"),
    d: () => calendar.changeView("day"),
    a: () => calendar.changeView("agenda"),
    c: () => calendar.newEvent(),
    i: () => toggleAssistant(),
    "/": () => document.getElementById("search")?.focus(),
    "?": () => showShortcuts(),
  };
  document.addEventListener("keydown", (event) => {
    if (event.ctrlKey || event.metaKey || event.altKey || event.defaultPrevented) return;
    if (isDialogOpen() || isTyping(event.target)) return;
    const action = actions[event.key];
    if (!action) return;
    event.preventDefault();
    action();
  });
}

function isTyping(target) {
  if (!(target instanceof Element)) return false;
  if (target.isContentEditable) return true;
  const tag = target.tagName;
  // Arrow keys on buttons and checkboxes still move the calendar.
  return tag === "TEXTAREA" || tag === "SELECT" || (tag === "INPUT" && !["checkbox", "radio", "button"].includes(target.type));
}
