// Modal dialogs on the native <dialog> element: the rest of the page is inert
// while one is open, Tab stays inside, Esc cancels, and focus goes back to
// where it was when the dialog closes.
import { h } from "./dom.js";
import { t } from "./i18n.js";

const FOCUSABLE = "button, [href], input, select, textarea, summary, [tabindex]:not([tabindex='-1'])";

// Opens a dialog. `build(close)` returns the body; close(value) ends it.
// Resolves with the value given to close, or null when cancelled.
export function openDialog({ title, build, className = "", onCancel }) {
  const returnTo = document.activeElement;
  const heading = h("h2", { class: "dialog-title", id: "dialog-title-" + Math.random().toString(36).slice(2) }, title);
  const dialog = h("dialog", { class: "dialog " + className, "aria-labelledby": heading.id });
  let settle;
  const closed = new Promise((resolve) => { settle = resolve; });
  let done = false;
  const close = (value = null) => {
    if (done) return;
    done = true;
    dialog.close();
    dialog.remove();
    if (returnTo && returnTo.isConnected && typeof returnTo.focus === "function") returnTo.focus();
    settle(value);
  };
  dialog.addEventListener("cancel", (event) => {
    event.preventDefault();
    if (onCancel && onCancel() === false) return;
    close(null);
  });
  dialog.addEventListener("keydown", (event) => trapTab(dialog, event));
  dialog.append(heading, build(close));
  document.body.append(dialog);
  dialog.showModal();
  const first = dialog.querySelector("[autofocus]") || dialog.querySelector(FOCUSABLE);
  first?.focus();
  return { dialog, close, closed };
}

// Keeps Tab and Shift+Tab cycling among the dialog's own controls.
function trapTab(dialog, event) {
  if (event.key !== "Tab") return;
  const items = [...dialog.querySelectorAll(FOCUSABLE)].filter((node) => !node.disabled && node.offsetParent !== null);
  if (!items.length) return;
  const first = items[0];
  const last = items[items.length - 1];
  if (event.shiftKey && document.activeElement === first) { last.focus(); event.preventDefault(); }
  else if (!event.shiftKey && document.activeElement === last) { first.focus(); event.preventDefault(); }
}

export const isDialogOpen = () => document.querySelector("dialog[open]") !== null;

// Asks a question with a set of answers; resolves with the chosen value, or
// null when cancelled. choices: [{ value, label, kind }]. A question whose
// answers destroy something puts Cancel first and gives it the focus.
export function askDialog({ title, message, choices, cancelFirst = false, cancelLabel = t("cancel") }) {
  return openDialog({
    title,
    className: "ask",
    build: (close) => {
      const cancel = h("button", { type: "button", autofocus: cancelFirst, onclick: () => close(null) }, cancelLabel);
      const answers = choices.map((choice) => h("button", {
        type: "button", class: choice.kind || "", autofocus: !cancelFirst && (choice.focus || false),
        onclick: () => close(choice.value),
      }, choice.label));
      return h("div", {},
        h("p", { class: "message" }, message),
        h("div", { class: "actions" }, ...(cancelFirst ? [cancel, ...answers] : [...answers, cancel])));
    },
  }).closed;
}

export async function confirmDialog({ title, message, confirm, danger = false, cancelLabel }) {
  const answer = await askDialog({
    title, message, cancelFirst: danger, cancelLabel,
    choices: [{ value: true, label: confirm, kind: danger ? "danger" : "primary", focus: !danger }],
  });
  return answer === true;
}
