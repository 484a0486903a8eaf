// One line at the top for failures that belong to no dialog.
import { failureNodes } from "./failure-view.js";

const banner = () => document.getElementById("banner");

export function showBanner(error) {
  const node = banner();
  node.replaceChildren(...failureNodes(error));
  node.hidden = false;
}

export function clearBanner() {
  banner().hidden = true;
}
