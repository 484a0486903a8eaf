// Answers are untrusted text: Markdown is turned into HTML by marked, cleaned
// by DOMPurify into a fragment (never assigned to innerHTML), and stripped of
// everything that could load something or run something. Raw HTML inside an
// answer is shown as the text it is, and pictures as their description, so
// the markup never even reaches the parser. Links open in the user's browser
// through the program, never inside the window.
import { Marked } from "../vendor/marked/marked.esm.js";
import DOMPurify from "../vendor/dompurify/purify.es.js";

const FORBID_TAGS = ["img", "picture", "source", "video", "audio", "iframe", "object", "embed", "svg", "math",
  "style", "link", "meta", "form", "input", "button", "textarea", "select", "base"];
const SAFE_LINK = /^(https?:|mailto:)/i;

const escapeHtml = (text) => String(text).replace(/[&<>"']/g, (c) => `&#${c.charCodeAt(0)};`);

const markdown = new Marked({
  async: false, gfm: true, breaks: true,
  renderer: {
    html: ({ text }) => escapeHtml(text),
    image: ({ text }) => escapeHtml(text),
  },
});

const purify = DOMPurify(window);
purify.addHook("afterSanitizeAttributes", (node) => {
  for (const name of ["src", "srcset", "style", "background", "poster", "action", "formaction", "xlink:href"])
    node.removeAttribute(name);
  if (node.tagName === "A") {
    const href = node.getAttribute("href") || "";
    if (!SAFE_LINK.test(href.trim())) node.removeAttribute("href");
    node.removeAttribute("target");
  }
});

export function renderMarkdown(text, { openUrl }) {
  const html = markdown.parse(String(text ?? ""));
  const fragment = purify.sanitize(html, {
    RETURN_DOM_FRAGMENT: true, FORBID_TAGS, FORBID_ATTR: ["style", "class", "id"],
    ALLOWED_URI_REGEXP: /^(?:https?:|mailto:)/i,
  });
  for (const link of fragment.querySelectorAll("a")) {
    const href = link.getAttribute("href");
    if (!href) continue;
    link.rel = "noopener noreferrer";
    link.addEventListener("click", (event) => { event.preventDefault(); openUrl(href); });
  }
  return fragment;
}
