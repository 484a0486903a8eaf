// Builds elements without ever parsing HTML: strings become text nodes, and
// handlers are attached with addEventListener, never as attributes.
export function h(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(props)) {
    if (value === undefined || value === null || value === false) continue;
    if (key.startsWith("on") && typeof value === "function") node.addEventListener(key.slice(2), value);
    else if (key === "class") node.className = value;
    else if (key === "text") node.textContent = value;
    else if (key === "style" && typeof value === "object") Object.assign(node.style, value);
    else if (key in node && !key.includes("-")) node[key] = value;
    else node.setAttribute(key, value === true ? "" : String(value));
  }
  for (const child of children.flat()) {
    if (child === null || child === undefined || child === false) continue;
    node.append(child instanceof Node ? child : document.createTextNode(String(child)));
  }
  return node;
}

export const $ = (selector, root = document) => root.querySelector(selector);
export const $$ = (selector, root = document) => [...root.querySelectorAll(selector)];

// Replaces the children of `container`; when one of its controls held the
// focus, the new control with the same data-focus-key takes it over, so a
// redraw does not throw a keyboard user back to the start of the page.
export function replaceKeepingFocus(container, ...children) {
  const active = document.activeElement;
  const key = active && container.contains(active) ? active.dataset.focusKey : undefined;
  container.replaceChildren(...children);
  if (key !== undefined) focusKeyed(container, key);
}

// Focuses the first element in `container` whose data-focus-key is `key`.
export function focusKeyed(container, key) {
  [...container.querySelectorAll("[data-focus-key]")].find((node) => node.dataset.focusKey === key)?.focus();
}

// The next frame painted, or a moment when frames are not being drawn (a
// window started hidden).
export const afterPaint = () => new Promise((resolve) => {
  requestAnimationFrame(() => setTimeout(resolve));
  setTimeout(resolve, 200);
});
