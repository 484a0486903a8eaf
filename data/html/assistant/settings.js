// The settings dialog behind the gear: language and holidays for the page,
// then the assistant's provider, model, effort, keys and conversation.
// Every choice is applied as soon as it is made.
import { h } from "../js/dom.js";
import { at } from "./texts.js";
import { deepseekForm, field } from "./deepseek.js";
import { openLicences } from "./licences.js";
import { reminderSettingsSection } from "../js/reminder-settings.js";

const CUSTOM = "__custom__";

// A level the page has no name for is shown as the program calls it.
function effortName(level) {
  const name = at("effort_" + level);
  return name === "effort_" + level ? level : name;
}

export function openSettings(ctx, options) {
  const { api } = ctx;
  const { onNewConversation } = options;
  // The dialog is built in one language; a switch made inside it rebuilds it.
  let stopFollowing = () => {};
  const { closed } = ctx.dialogs.openDialog({
    title: at("settings_title"),
    className: "assistant-settings",
    build: (close) => {
      const status = h("p", { class: "form-status", role: "status", "aria-live": "polite" });
      const error = h("p", { class: "form-error", role: "alert" });
      const report = (promise, text = at("settings_saved")) => promise
        .then((answer) => { error.textContent = ""; status.textContent = text; return answer; })
        .catch((failure) => { status.textContent = ""; error.textContent = failure.message; });

      const language = h("select", {}, h("option", { value: "en" }, "English"), h("option", { value: "zh-Hant" }, "繁體中文"));
      language.value = ctx.language;
      language.addEventListener("change", () => report(ctx.setLanguage(language.value)));
      stopFollowing = ctx.onLanguageChange(() => {
        stopFollowing();
        close();
        // Reopened after the listeners have run, so the new dialog does not hear this change.
        queueMicrotask(() => {
          openSettings(ctx, options);
          document.querySelector("dialog[open] select")?.focus();
        });
      });
      const holidays = h("input", { type: "checkbox", role: "switch", checked: ctx.store.state.showHolidays !== false });
      holidays.id = "assistant-settings-holidays";
      holidays.addEventListener("change", () => report(ctx.store.setHolidays(holidays.checked)));

      const provider = h("select", {}, h("option", { value: "claude" }, at("settings_anthropic")), h("option", { value: "deepseek" }, at("settings_deepseek")));
      const model = h("select", {});
      const customModel = h("input", { type: "text", spellcheck: false });
      const applyModel = h("button", { type: "button" }, at("settings_apply"));
      const customRow = h("div", { class: "custom-model", hidden: true }, field(at("settings_custom_model_id"), customModel), applyModel);
      const effort = h("select", {});
      const anthropicKey = h("input", { type: "password", autocomplete: "off", spellcheck: false });
      const anthropic = h("div", { class: "form provider-anthropic" },
        field(at("settings_model"), model), customRow, field(at("settings_effort"), effort),
        field(at("settings_api_key"), anthropicKey, h("p", { class: "help" }, at("settings_api_key_help"))),
        h("div", { class: "actions" },
          h("button", { type: "button", onclick: () => saveKey(anthropicKey.value) }, at("settings_save_key")),
          h("button", { type: "button", onclick: () => saveKey("") }, at("settings_remove_key"))));
      const deepseek = h("div", { class: "provider-deepseek" }, deepseekForm(ctx, { selectProvider: false }));

      async function saveKey(value) {
        if (value.trim() === "" && value !== "") return;
        const answer = await report(api.set_claude_api_key(value.trim()), value ? at("settings_key_saved") : at("settings_key_removed"));
        anthropicKey.value = "";
        if (answer && !answer.ok) { status.textContent = ""; error.textContent = String(answer.error ?? ""); }
      }

      const showProvider = () => {
        anthropic.hidden = provider.value === "deepseek";
        deepseek.hidden = provider.value !== "deepseek";
      };
      provider.addEventListener("change", () => { showProvider(); report(api.set_claude_provider(provider.value)); });
      model.addEventListener("change", () => {
        customRow.hidden = model.value !== CUSTOM;
        if (model.value === CUSTOM) customModel.focus();
        else report(api.set_claude_model(model.value));
      });
      applyModel.addEventListener("click", () => {
        if (customModel.value.trim()) report(api.set_claude_model(customModel.value.trim()));
      });
      effort.addEventListener("change", () => report(api.set_claude_effort(effort.value)));

      api.claude_get_models().then((models) => {
        model.replaceChildren(...models.builtin.map((row) => h("option", { value: row.id },
          row.kind === "alias" ? at("settings_latest", { family: row.family }) : row.id)),
          h("option", { value: CUSTOM }, at("settings_custom_model")));
        model.value = models.is_custom ? CUSTOM : models.current;
        customModel.value = models.is_custom ? models.current : "";
        customRow.hidden = !models.is_custom;
        effort.replaceChildren(...models.effort_levels.map((level) => h("option", { value: level }, effortName(level))));
        effort.value = models.effort;
        provider.value = models.provider === "deepseek" ? "deepseek" : "claude";
        showProvider();
      }).catch((failure) => { error.textContent = failure.message; });
      showProvider();

      const newConversation = h("button", { type: "button" }, at("settings_new_conversation"));
      newConversation.addEventListener("click", () => report(api.claude_reset_session().then(() => onNewConversation()), at("settings_conversation_reset")));
      const licences = h("button", { type: "button", onclick: () => openLicences(ctx) }, at("settings_licences"));

      return h("div", { class: "form settings-form" },
        h("section", { "aria-labelledby": "settings-general" }, h("h3", { id: "settings-general" }, at("settings_general")),
          h("div", { class: "form" }, field(ctx.t("language"), language),
            h("div", { class: "field checkbox" }, holidays, h("label", { for: holidays.id }, at("settings_holidays"))))),
        reminderSettingsSection(ctx.store, report),
        h("section", { "aria-labelledby": "settings-assistant" }, h("h3", { id: "settings-assistant" }, at("settings_assistant")),
          h("div", { class: "form" }, field(at("settings_provider"), provider), anthropic, deepseek,
            h("div", { class: "actions" }, newConversation))),
        status, error,
        h("div", { class: "actions" }, licences, h("span", { class: "spacer" }),
          h("button", { type: "button", onclick: () => close() }, ctx.t("close"))));
    },
  });
  closed.then(() => stopFollowing());
}
