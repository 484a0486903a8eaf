// Light or dark: the system's preference, unless the user chose one. Printing
// is always light.
const darkQuery = window.matchMedia("(prefers-color-scheme: dark)");
let choice = "system";
let printing = false;

function apply() {
  const dark = !printing && (choice === "dark" || (choice === "system" && darkQuery.matches));
  document.documentElement.dataset.theme = dark ? "dark" : "light";
}

export function setTheme(next) {
  choice = ["light", "dark"].includes(next) ? next : "system";
  apply();
}

darkQuery.addEventListener("change", apply);
window.addEventListener("beforeprint", () => { printing = true; apply(); });
window.addEventListener("afterprint", () => { printing = false; apply(); });
apply();
