// Starts the page: loads the state, builds the calendar, the sidebar and the
// header, then keeps everything current by polling the program.
import { api, hasToken, NO_TOKEN_TEXT } from "./shim.js";
import { t, setLanguage, currentLanguage, onLanguageChange, applyTexts } from "./i18n.js";
import { openDialog, askDialog, confirmDialog, isDialogOpen } from "./dialog.js";
import { $, afterPaint } from "./dom.js";
import { createStore } from "./store.js";
import { createCalendar } from "./calendar.js";
import { createSidebar } from "./sidebar.js";
import { createReadingSettings } from "./reading.js";
import { bindSidebarToggle } from "./sidebar-toggle.js";
import { showShortcuts } from "./shortcuts.js";
import { openEventEditor } from "./editor.js";
import { openAddAccount } from "./add-account.js";
import { startPolling } from "./poll.js";
import { bindKeys } from "./keys.js";
import { showBanner, clearBanner } from "./banner.js";
import "./theme.js";
import { startReminders } from "./reminders.js";
import { createOfflineBanner } from "./offline.js";
import { bindSearch } from "./search.js";
import { importFile, calendarFiles, openHandedFiles } from "./ics-files.js";

const store = createStore(api);

// What the assistant and settings modules are handed.
const ctx = {
  api,
  t,
  store,
  dialogs: { openDialog, askDialog, confirmDialog },
  get language() { return currentLanguage(); },
  async setLanguage(code) {
    const answer = await api.set_language(code);
    setLanguage(answer.language);
    return answer.language;
  },
  refetch: () => calendar.refetch(),
  onLanguageChange,
  showError: showBanner,
};

const calendar = createCalendar({ element: $("#calendar"), store, ctx, openEditor: (options) => openEventEditor(ctx, options) });
ctx.calendar = calendar;
const sidebar = createSidebar({ store, ctx, calendar, openAddAccount: () => openAddAccount(ctx) });

// A .ics file chosen in the sidebar or dropped anywhere on the page.
function bindImport() {
  const chooser = $("#import-file");
  $("#import-ics").addEventListener("click", () => chooser.click());
  chooser.addEventListener("change", () => {
    const [file] = chooser.files;
    chooser.value = "";
    if (file) importFile(ctx, file).catch(showBanner);
  });
  document.addEventListener("dragover", (event) => {
    if ([...(event.dataTransfer?.types || [])].includes("Files")) event.preventDefault();
  });
  // A dropped file never replaces the page, whatever it is.
  document.addEventListener("drop", (event) => {
    if (![...(event.dataTransfer?.types || [])].includes("Files")) return;
    event.preventDefault();
    const [file] = calendarFiles(event.dataTransfer);
    if (file) importFile(ctx, file).catch(showBanner);
  });
}

function bindHeader() {
  $("#today").addEventListener("click", () => calendar.today());
  $("#prev").addEventListener("click", () => calendar.prev());
  $("#next").addEventListener("click", () => calendar.next());
  for (const button of document.querySelectorAll("#views [data-view]"))
    button.addEventListener("click", () => calendar.changeView(button.dataset.view));
  $("#new-event").addEventListener("click", () => calendar.newEvent());
  $("#refresh-all").addEventListener("click", () => sidebar.refreshAll());
  bindImport();
  $("#assistant").addEventListener("click", () => openAssistantModule("openAssistant"));
  $("#settings").addEventListener("click", () => openAssistantModule("openSettings"));
  bindSidebarToggle({ toggle: $("#sidebar-toggle"), sidebar: $("#sidebar") });
  $("#language").addEventListener("change", (event) => ctx.setLanguage(event.target.value).catch(showBanner));
}

// The assistant's chat panel and the settings dialog live in their own modules,
// loaded when first asked for.
function openAssistantModule(entry) {
  import("../assistant/index.js").then((module) => module[entry](ctx)).catch(showBanner);
}

async function loadImages() {
  const images = await api.get_images();
  if (images.logo) $("#logo").src = images.logo;
  if (images.refresh) $("#refresh-icon").src = images.refresh;
  if (images.gear) $("#gear-icon").src = images.gear;
}

async function start() {
  applyTexts(document);
  bindHeader();
  if (!hasToken()) { showBanner(new Error(NO_TOKEN_TEXT)); return; }
  onLanguageChange((code) => { $("#language").value = code; });
  let drawn;
  try {
    const state = await store.loadInitial();
    setLanguage(state.language);
    sidebar.render();
    // Drawn the moment the month's events are in; the page around it is
    // laid out while they are on their way.
    drawn = calendar.start(state.view);
    clearBanner();
  } catch (error) {
    showBanner(error);
    return;
  }
  loadImages().catch(showBanner);
  bindKeys({ calendar, isDialogOpen, toggleAssistant: () => openAssistantModule("toggleAssistant"), showShortcuts });
  bindSearch({ api, calendar, onError: showBanner });
  // What the first paint does not show waits for it: the display settings
  // (folded, their zone list hundreds of options long), the polls and their
  // answers, and the assistant's module.
  await drawn;
  await afterPaint();
  createReadingSettings({ element: $("#reading"), store }).render();
  openAssistantModule("checkAtStart");
  const offline = createOfflineBanner({ ctx, onError: showBanner });
  let handedFiles = 0;
  let takingFiles = false;
  startPolling({ api, store, calendar, sidebar, onError: showBanner, onRecovered: clearBanner,
                 onState: (state) => {
                   offline.update(state.calendar_states);
                   if (state.opened_file_token > handedFiles && !takingFiles) {
                     handedFiles = state.opened_file_token;
                     takingFiles = true;
                     openHandedFiles(ctx).catch(showBanner).finally(() => { takingFiles = false; });
                   }
                 } });
  startReminders(ctx, $("#banner"));
}

start();
