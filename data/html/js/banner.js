// One line at the top for failures that belong to no dialog.
const banner = () => document.getElementById("banner");

export function showBanner(error) {
  const node = banner();
  node.textContent = error?.message || String(error);
  node.hidden = false;
}

export function clearBanner() {
  banner().hidden = true;
}
