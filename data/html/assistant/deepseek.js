// DeepSeek's key, base URL and model, shared by the setup dialog and the
// settings. The stored key is never put back into a field: only its last
// characters are shown, and an empty field keeps it.
import { h } from "../js/dom.js";
import { at } from "./texts.js";

export function maskKey(key) {
  const text = String(key ?? "");
  if (!text) return "";
  return text.length <= 8 ? "•".repeat(text.length) : text.slice(0, 3) + "…" + text.slice(-4);
}

let fieldCount = 0;
function field(label, control, help) {
  control.id = "assistant-field-" + (++fieldCount);
  return h("div", { class: "field" }, h("label", { for: control.id }, label), control, help || null);
}

export function deepseekForm(ctx, { onSaved = () => {}, selectProvider = true } = {}) {
  const { api } = ctx;
  const key = h("input", { type: "password", autocomplete: "off", spellcheck: false });
  const keyHelp = h("p", { class: "help" });
  const baseUrl = h("input", { type: "text", spellcheck: false });
  const model = h("select", {});
  const status = h("p", { class: "form-status", role: "status" });
  const error = h("p", { class: "form-error", role: "alert" });
  const modelField = field(at("deepseek_model"), model);
  modelField.hidden = true;
  let storedKey = "";

  api.claude_get_deepseek_credentials().then((stored) => {
    baseUrl.value = stored.base_url || "";
    storedKey = stored.exists ? stored.api_key || "" : "";
    keyHelp.textContent = storedKey ? at("deepseek_key_stored", { masked: maskKey(storedKey) }) : "";
    if (stored.exists) loadModels();
  }).catch((failure) => { error.textContent = failure.message; });

  async function loadModels() {
    let list;
    try { list = await api.claude_get_deepseek_models(); } catch (failure) { error.textContent = failure.message; return; }
    model.replaceChildren(h("option", { value: "" }, "—"), ...(list.models || []).map((id) => h("option", { value: id }, id)));
    if (list.current && !(list.models || []).includes(list.current)) model.append(h("option", { value: list.current }, list.current));
    model.value = list.current || "";
    modelField.hidden = false;
    if (!list.ok && list.error) status.textContent = at("deepseek_models_fallback", { error: list.error });
  }

  model.addEventListener("change", async () => {
    error.textContent = "";
    try {
      const answer = await api.set_claude_deepseek_model(model.value);
      status.textContent = at("settings_saved") + (answer.model ? " " + answer.model : "");
    } catch (failure) { error.textContent = failure.message; }
  });

  const save = h("button", { type: "button", class: "primary" }, at("deepseek_save"));
  save.addEventListener("click", async () => {
    error.textContent = "";
    const typed = key.value.trim();
    if (!typed && !storedKey) { error.textContent = at("deepseek_key_needed"); key.focus(); return; }
    save.disabled = true;
    try {
      const answer = await api.set_claude_deepseek_credentials(typed || storedKey, baseUrl.value.trim() || null, null);
      if (!answer.ok) { error.textContent = String(answer.error ?? ""); return; }
      storedKey = typed || storedKey;
      key.value = "";
      keyHelp.textContent = at("deepseek_key_stored", { masked: maskKey(storedKey) });
      if (selectProvider) await api.set_claude_provider("deepseek");
      status.textContent = at("deepseek_saved");
      await loadModels();
      onSaved();
    } catch (failure) {
      error.textContent = failure.message;
    } finally {
      save.disabled = false;
    }
  });

  return h("div", { class: "form deepseek-form" },
    field(at("deepseek_key"), key, keyHelp), field(at("deepseek_base_url"), baseUrl),
    h("div", { class: "actions" }, save), modelField, status, error);
}

export { field };
