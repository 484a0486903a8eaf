// The sidebar's toggle of narrow windows: it slides the sidebar over the
// calendar; Esc or the toggle closes it and the focus goes back to the toggle.
export function bindSidebarToggle({ toggle, sidebar }) {
  const narrow = window.matchMedia("(max-width: 899px)");
  const isOpen = () => sidebar.classList.contains("open");

  function setOpen(open) {
    sidebar.classList.toggle("open", open);
    toggle.setAttribute("aria-expanded", String(open));
    if (open) sidebar.querySelector("button, input, select")?.focus();
  }

  toggle.addEventListener("click", () => setOpen(!isOpen()));
  document.addEventListener("keydown", (event) => {
    if (event.key !== "Escape" || event.defaultPrevented || !isOpen() || !narrow.matches) return;
    event.preventDefault();
    setOpen(false);
    toggle.focus();
  });
  // A window made wide again shows the sidebar in its place.
  narrow.addEventListener("change", () => { if (!narrow.matches) setOpen(false); });
}
