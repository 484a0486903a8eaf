// A small menu opened from a button: arrow keys move, Esc and a click outside
// close it, and focus returns to the button.
import { h } from "./dom.js";

let openMenu = null;
let afterClose = new Set();

export function closeMenu() {
  if (!openMenu) return;
  const { list, button } = openMenu;
  openMenu = null;
  list.remove();
  button.setAttribute("aria-expanded", "false");
  button.focus();
  const waiting = afterClose;
  afterClose = new Set();
  setTimeout(() => { for (const callback of waiting) callback(); });
}

// Whether a menu opened from a button inside `container` is open.
export const menuOpenIn = (container) => Boolean(openMenu && container.contains(openMenu.button));

// Runs `callback` once, after the open menu has closed and its choice was acted on.
export function afterMenuCloses(callback) {
  afterClose.add(callback);
}

// items: [{ label, action, disabled }]; focusKey names the button across redraws.
export function menuButton({ label, text = "⋯", items, focusKey }) {
  const button = h("button", { type: "button", class: "icon menu-button", "aria-label": label, title: label,
                               "aria-haspopup": "menu", "aria-expanded": "false", "data-focus-key": focusKey }, text);
  button.addEventListener("click", (event) => {
    event.stopPropagation();
    if (openMenu?.button === button) { closeMenu(); return; }
    closeMenu();
    const list = h("div", { class: "menu", role: "menu", "aria-label": label },
      ...items().map((item) => h("button", {
        type: "button", role: "menuitem", disabled: item.disabled || false,
        onclick: () => { closeMenu(); item.action(); },
      }, item.label)));
    list.addEventListener("keydown", (keyEvent) => moveFocus(list, keyEvent));
    button.after(list);
    button.setAttribute("aria-expanded", "true");
    openMenu = { list, button };
    list.querySelector("button:not([disabled])")?.focus();
  });
  return button;
}

function moveFocus(list, event) {
  const items = [...list.querySelectorAll("button:not([disabled])")];
  const index = items.indexOf(document.activeElement);
  if (event.key === "ArrowDown") items[(index + 1) % items.length]?.focus();
  else if (event.key === "ArrowUp") items[(index - 1 + items.length) % items.length]?.focus();
  else if (event.key === "Escape") closeMenu();
  else if (event.key === "Tab") closeMenu();
  else return;
  event.preventDefault();
  event.stopPropagation();
}

document.addEventListener("click", (event) => {
  if (openMenu && !openMenu.list.contains(event.target)) closeMenu();
});
