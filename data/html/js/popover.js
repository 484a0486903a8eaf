// A small non-modal panel beside what opened it: the events of a crowded day,
// a holiday's name. Esc or a click elsewhere closes it and the focus goes
// back to where it was.
import { h } from "./dom.js";
import { t } from "./i18n.js";

let current = null;

export function closePopover() {
  current?.();
}

// anchor: the element it opens beside; title: its heading; body: its content.
export function openPopover({ anchor, title, body }) {
  closePopover();
  const returnTo = document.activeElement;
  const headingId = "popover-" + Math.random().toString(36).slice(2);
  const panel = h("div", { class: "popover", role: "dialog", "aria-labelledby": headingId, tabindex: "-1" },
    h("div", { class: "popover-head" },
      h("h2", { id: headingId, class: "popover-title" }, title),
      h("button", { type: "button", class: "icon", "aria-label": t("close"), title: t("close"), onclick: () => close() }, "×")),
    body);
  const onKey = (event) => { if (event.key === "Escape") { event.preventDefault(); event.stopPropagation(); close(); } };
  const onPointer = (event) => { if (!panel.contains(event.target)) close(); };
  function close() {
    if (current !== close) return;
    current = null;
    panel.remove();
    document.removeEventListener("keydown", onKey, true);
    document.removeEventListener("pointerdown", onPointer, true);
    if (returnTo && returnTo.isConnected && typeof returnTo.focus === "function") returnTo.focus();
  }
  current = close;
  document.body.append(panel);
  place(panel, anchor.getBoundingClientRect());
  document.addEventListener("keydown", onKey, true);
  setTimeout(() => { if (current === close) document.addEventListener("pointerdown", onPointer, true); });
  (panel.querySelector("button:not(.icon)") || panel).focus();
  return close;
}

// Below the anchor when there is room, else above it; always inside the window.
function place(panel, rect) {
  const margin = 8;
  const { width, height } = panel.getBoundingClientRect();
  const left = Math.min(Math.max(margin, rect.left), window.innerWidth - width - margin);
  let top = rect.bottom + 4;
  if (top + height > window.innerHeight - margin) top = Math.max(margin, rect.top - height - 4);
  panel.style.left = left + "px";
  panel.style.top = top + "px";
}
