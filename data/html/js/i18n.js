// The page's own texts in both interface languages. Texts that the program
// sends (errors, holiday names) are shown as they come and never pass here.
const TEXTS = {
  "en": {
    today: "Today", previous: "Previous", next: "Next", view: "View",
    month: "Month", week: "Week", day: "Day", agenda: "Agenda",
    new_event: "New event", assistant: "Assistant", settings: "Settings", refresh_all: "Refresh all calendars",
    calendars: "Calendars", add_account: "Add account", tw_holidays: "Taiwan holidays", language: "Language",
    mini_month: "Month navigator", mini_prev: "Previous month", mini_next: "Next month",
    no_accounts: "No iCloud account yet. Add one to see your calendars.",
    account_menu: "Actions for {name}", calendar_menu: "Options for {name}",
    refresh_account: "Refresh", remove_account: "Remove account",
    remove_account_title: "Remove account",
    remove_account_question: "Remove {name} from Wrenfold? The events stay on iCloud.",
    remove: "Remove", default_calendar: "Default", make_default: "Use for new events",
    read_only: "Read-only", calendar_error: "{name} could not be loaded: {error}",
    refresh_failed: "{name}: {error}",
    apple_id: "Apple ID", app_password: "App-specific password",
    app_password_help: "Sign in with an app-specific password, not your Apple ID password.",
    app_password_link: "How to create an app-specific password",
    add: "Add", verifying: "Signing in to iCloud…",
    title: "Title", all_day: "All day", start: "Start", end: "End", location: "Location", notes: "Notes",
    calendar: "Calendar", repeat: "Repeat", save: "Save", delete: "Delete", cancel: "Cancel", close: "Close",
    repeat_none: "Does not repeat", repeat_daily: "Daily", repeat_weekly: "Weekly",
    repeat_monthly: "Monthly", repeat_yearly: "Yearly", repeat_custom: "Custom (kept as it is)",
    repeat_weekdays: "Every weekday", repeat_every: "Every", repeat_on_days: "On", repeat_month_on: "On",
    repeat_ends: "Ends", ends_never: "Never", ends_until: "On a date", ends_count: "After a number of times",
    repeat_until: "Last date", repeat_count: "Times",
    unit_days: "days", unit_weeks: "weeks", unit_months: "months", unit_years: "years",
    new_event_title: "New event", edit_event_title: "Edit event", show_event_title: "Event",
    read_only_note: "This calendar is read-only.", holiday_note: "A Taiwan public holiday.",
    no_writable: "No writable calendar. Add an account first.",
    saving: "Saving…",
    delete_title: "Delete event", delete_question: "Delete “{name}”?",
    series_title: "Repeating event",
    series_change_question: "“{name}” repeats. Change only this event or all events of the series?",
    series_delete_question: "“{name}” repeats. Delete only this event or all events of the series?",
    series_move_question: "“{name}” repeats. Moving it to another calendar moves all events of the series.",
    this_event: "This event", all_events: "All events", following_events: "This and following events",
    untitled: "(No title)", more: "+{n} more",
    end_before_start: "The end lies before the start.",
    title_needed: "Please enter a title.",
    unreachable: "Wrenfold is not reachable: {error}",
    list_time: "Time", list_event: "Event",
    display: "Display", time_zone: "Time zone", zone_system: "{zone} (this computer)",
    theme: "Theme", theme_system: "As the system", theme_light: "Light", theme_dark: "Dark",
    week_start: "Week starts on", week_start_system: "As the system", sunday: "Sunday", monday: "Monday",
    clock: "Time format", clock_language: "By language", clock_12: "12-hour (9:30 PM)", clock_24: "24-hour (21:30)",
    week_numbers: "Week numbers", lunar_dates: "Lunar dates", show_sidebar: "Calendars and settings",
    shortcuts: "Keyboard shortcuts", key_today: "Go to today", key_next: "Next period", key_previous: "Previous period",
    key_month: "Month view", key_week: "Week view", key_day: "Day view", key_agenda: "Agenda", key_new: "New event",
    key_assistant: "Open or close the assistant", key_help: "This list of shortcuts",
    search: "Search events", search_placeholder: "Search  /", search_none: "No event found.",
    offline_since: "The calendars could not be reached since {time}. The events shown are the last ones known.",
    offline_trying: "Trying to reach the calendars…", try_again: "Try again",
    new_password_for: "New password for {name}", new_password_title: "New app-specific password",
    new_password_message: "iCloud refused the app-specific password of {name}. Create a new one and enter it here.",
    details: "Details",
    new_calendar: "New calendar…", edit_calendar: "Rename or recolour…", delete_calendar: "Delete calendar…",
    new_calendar_title: "New calendar", edit_calendar_title: "Calendar", calendar_name: "Name", calendar_color: "Colour",
    calendar_name_needed: "Please enter a name.", delete_calendar_title: "Delete calendar",
    delete_calendar_question: "Delete the calendar “{name}” from the server?",
    delete_calendar_full: "“{name}” holds {n} events. Deleting the calendar deletes them too, on every device.",
    delete_with_events: "Delete with its events",
    time_zone: "Time zone", home_zone: "{zone} (the account's zone)",
    start_time: "Start time", end_time: "End time", choose_date: "Choose the date: {field}",
    unreadable_time: "A date or time cannot be read. Write it like the others, or use the date picker.",
    undo: "Undo", dismiss: "Dismiss",
    notice_created: "Created “{name}”.", notice_saved: "Saved “{name}”.", notice_moved: "Moved “{name}”.",
    notice_deleted: "Deleted “{name}”.",
    discard_title: "Discard changes?", discard_question: "Your changes to this event have not been saved.",
    keep_editing: "Keep editing", discard: "Discard",
    conflict_title: "Changed elsewhere",
    conflict_message: "“{name}” was changed elsewhere after you opened it. Keep your changes on top of the new version, or use the new version as it is.",
    their_version: "Current version", your_changes: "Your changes",
    keep_mine: "Keep mine", use_theirs: "Use theirs",
  },
  "zh-Hant": {
    today: "今天", previous: "上一頁", next: "下一頁", view: "檢視",
    month: "月", week: "週", day: "日", agenda: "議程",
    new_event: "新增行程", assistant: "助理", settings: "設定", refresh_all: "重新整理所有行事曆",
    calendars: "行事曆", add_account: "新增帳號", tw_holidays: "台灣節日", language: "語言",
    mini_month: "月份導覽", mini_prev: "上個月", mini_next: "下個月",
    no_accounts: "尚未加入 iCloud 帳號。加入後即可看到你的行事曆。",
    account_menu: "{name} 的動作", calendar_menu: "{name} 的選項",
    refresh_account: "重新整理", remove_account: "移除帳號",
    remove_account_title: "移除帳號",
    remove_account_question: "要從 Wrenfold 移除 {name} 嗎？行程仍會保留在 iCloud。",
    remove: "移除", default_calendar: "預設", make_default: "設為新行程的預設行事曆",
    read_only: "唯讀", calendar_error: "無法載入 {name}：{error}",
    refresh_failed: "{name}：{error}",
    apple_id: "Apple ID", app_password: "App 專用密碼",
    app_password_help: "請使用 App 專用密碼登入，而不是 Apple ID 的密碼。",
    app_password_link: "如何建立 App 專用密碼",
    add: "加入", verifying: "正在登入 iCloud…",
    title: "標題", all_day: "全天", start: "開始", end: "結束", location: "地點", notes: "備註",
    calendar: "行事曆", repeat: "重複", save: "儲存", delete: "刪除", cancel: "取消", close: "關閉",
    repeat_none: "不重複", repeat_daily: "每天", repeat_weekly: "每週",
    repeat_monthly: "每月", repeat_yearly: "每年", repeat_custom: "自訂（維持原樣）",
    repeat_weekdays: "每個工作日", repeat_every: "每", repeat_on_days: "於", repeat_month_on: "於",
    repeat_ends: "結束重複", ends_never: "永不", ends_until: "於某日", ends_count: "重複幾次後",
    repeat_until: "最後日期", repeat_count: "次數",
    unit_days: "天", unit_weeks: "週", unit_months: "個月", unit_years: "年",
    new_event_title: "新增行程", edit_event_title: "編輯行程", show_event_title: "行程",
    read_only_note: "這個行事曆是唯讀的。", holiday_note: "台灣國定假日。",
    no_writable: "沒有可寫入的行事曆。請先新增帳號。",
    saving: "儲存中…",
    delete_title: "刪除行程", delete_question: "要刪除「{name}」嗎？",
    series_title: "重複行程",
    series_change_question: "「{name}」是重複行程。只變更這個行程，還是整個系列的所有行程？",
    series_delete_question: "「{name}」是重複行程。只刪除這個行程，還是整個系列的所有行程？",
    series_move_question: "「{name}」是重複行程。移到其他行事曆會移動整個系列的所有行程。",
    this_event: "此行程", all_events: "所有行程", following_events: "此行程及之後的行程",
    untitled: "（無標題）", more: "還有 {n} 個",
    end_before_start: "結束時間早於開始時間。",
    title_needed: "請輸入標題。",
    unreachable: "無法連線到 Wrenfold：{error}",
    list_time: "時間", list_event: "行程",
    display: "顯示", time_zone: "時區", zone_system: "{zone}（這台電腦）",
    theme: "主題", theme_system: "跟隨系統", theme_light: "淺色", theme_dark: "深色",
    week_start: "每週開始於", week_start_system: "跟隨系統", sunday: "星期日", monday: "星期一",
    clock: "時間格式", clock_language: "依語言", clock_12: "12 小時制（9:30 PM）", clock_24: "24 小時制（21:30）",
    week_numbers: "顯示週數", lunar_dates: "農曆日期", show_sidebar: "行事曆與設定",
    shortcuts: "鍵盤快速鍵", key_today: "回到今天", key_next: "下一段期間", key_previous: "上一段期間",
    key_month: "月檢視", key_week: "週檢視", key_day: "日檢視", key_agenda: "議程", key_new: "新增行程",
    key_assistant: "開啟或關閉助理", key_help: "這份快速鍵清單",
    search: "搜尋行程", search_placeholder: "搜尋  /", search_none: "找不到行程。",
    offline_since: "自 {time} 起無法連線到行事曆，目前顯示的是最後已知的行程。",
    offline_trying: "正在重新連線行事曆…", try_again: "再試一次",
    new_password_for: "為 {name} 輸入新密碼", new_password_title: "新的 App 專用密碼",
    new_password_message: "iCloud 拒絕了 {name} 的 App 專用密碼。請建立新的密碼並在此輸入。",
    details: "詳細資訊",
    new_calendar: "新增行事曆…", edit_calendar: "重新命名或變更顏色…", delete_calendar: "刪除行事曆…",
    new_calendar_title: "新增行事曆", edit_calendar_title: "行事曆", calendar_name: "名稱", calendar_color: "顏色",
    calendar_name_needed: "請輸入名稱。", delete_calendar_title: "刪除行事曆",
    delete_calendar_question: "要從伺服器刪除行事曆「{name}」嗎？",
    delete_calendar_full: "「{name}」裡有 {n} 個行程。刪除行事曆也會在所有裝置上刪除這些行程。",
    delete_with_events: "連同行程一起刪除",
    time_zone: "時區", home_zone: "{zone}（帳號的時區）",
    start_time: "開始時間", end_time: "結束時間", choose_date: "選擇日期：{field}",
    unreadable_time: "無法讀取日期或時間。請照其他欄位的寫法輸入，或使用日期選擇器。",
    undo: "復原", dismiss: "關閉通知",
    notice_created: "已新增「{name}」。", notice_saved: "已儲存「{name}」。", notice_moved: "已移動「{name}」。",
    notice_deleted: "已刪除「{name}」。",
    discard_title: "要放棄變更嗎？", discard_question: "這個行程的變更尚未儲存。",
    keep_editing: "繼續編輯", discard: "放棄",
    conflict_title: "已在別處變更",
    conflict_message: "你開啟「{name}」後，它已在別處被變更。你可以把你的變更套用在新版本上，或直接使用新版本。",
    their_version: "目前版本", your_changes: "你的變更",
    keep_mine: "保留我的", use_theirs: "使用對方的",
  },
};

export const LANGUAGES = Object.keys(TEXTS);
let language = "en";
const listeners = new Set();

export const currentLanguage = () => language;

export function t(key, values = {}) {
  const text = TEXTS[language]?.[key] ?? TEXTS.en[key] ?? key;
  return text.replace(/\{(\w+)\}/g, (whole, name) => (name in values ? String(values[name]) : whole));
}

export function setLanguage(code) {
  language = TEXTS[code] ? code : "en";
  document.documentElement.lang = language;
  applyTexts(document);
  for (const listener of listeners) listener(language);
}

export function onLanguageChange(listener) {
  listeners.add(listener);
  return () => listeners.delete(listener);
}

// Fills the static texts: data-t sets the text, data-t-label the accessible
// name (and tooltip) of controls that show only an icon.
export function applyTexts(root) {
  for (const node of root.querySelectorAll("[data-t]")) node.textContent = t(node.dataset.t);
  for (const node of root.querySelectorAll("[data-t-label]")) {
    node.setAttribute("aria-label", t(node.dataset.tLabel));
    node.title = t(node.dataset.tLabel);
  }
}
