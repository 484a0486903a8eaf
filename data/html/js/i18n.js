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
    repeat_none: "Does not repeat", repeat_daily: "Every day", repeat_weekly: "Every week",
    repeat_monthly: "Every month", repeat_yearly: "Every year", repeat_custom: "Custom (kept as it is)",
    new_event_title: "New event", edit_event_title: "Edit event", show_event_title: "Event",
    read_only_note: "This calendar is read-only.", holiday_note: "A Taiwan public holiday.",
    no_writable: "No writable calendar. Add an account first.",
    saving: "Saving…",
    delete_title: "Delete event", delete_question: "Delete “{name}”?",
    series_title: "Repeating event",
    series_change_question: "“{name}” repeats. Change only this event or all events of the series?",
    series_delete_question: "“{name}” repeats. Delete only this event or all events of the series?",
    series_move_question: "“{name}” repeats. Moving it to another calendar moves all events of the series.",
    this_event: "This event", all_events: "All events",
    untitled: "(No title)", more: "+{n} more",
    end_before_start: "The end lies before the start.",
    title_needed: "Please enter a title.",
    unreachable: "Wrenfold is not reachable: {error}",
    list_time: "Time", list_event: "Event",
    alert: "Alert", second_alert: "Second alert", alert_none: "None", alert_at_start: "At time of event",
    alert_minutes: "{n} minutes before", alert_hours: "{n} hours before", alert_days: "{n} days before",
    alert_weeks: "{n} weeks before", alert_one_minute: "1 minute before", alert_one_hour: "1 hour before",
    alert_one_day: "1 day before", alert_one_week: "1 week before",
    alert_all_day_m540: "On the day at 09:00", alert_all_day_900: "1 day before at 09:00",
    alert_all_day_2340: "2 days before at 09:00", alert_all_day_9540: "1 week before at 09:00",
    alert_custom: "Custom alert (kept as it is): {text}", alert_custom_before: "{n} min before",
    alert_custom_after: "{n} min after the start", alert_custom_before_end: "{n} min before the end",
    alert_custom_after_end: "{n} min after the end", alert_custom_at: "at {time}",
    reminders: "Reminders", reminder_sound: "Play a sound", default_alert: "Default alert",
    default_all_day_alert: "Default alert for all-day events",
    snooze: "Snooze", open: "Open", dismiss: "Dismiss",
    search: "Search events", search_placeholder: "Search  /", search_none: "No event found.",
    offline_since: "The calendars could not be reached since {time}. The events shown are the last ones known.",
    offline_trying: "Trying to reach the calendars…", try_again: "Try again",
    new_password_for: "New password for {name}", new_password_title: "New app-specific password",
    new_password_message: "iCloud refused the app-specific password of {name}. Create a new one and enter it here.",
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
    new_event_title: "新增行程", edit_event_title: "編輯行程", show_event_title: "行程",
    read_only_note: "這個行事曆是唯讀的。", holiday_note: "台灣國定假日。",
    no_writable: "沒有可寫入的行事曆。請先新增帳號。",
    saving: "儲存中…",
    delete_title: "刪除行程", delete_question: "要刪除「{name}」嗎？",
    series_title: "重複行程",
    series_change_question: "「{name}」是重複行程。只變更這個行程，還是整個系列的所有行程？",
    series_delete_question: "「{name}」是重複行程。只刪除這個行程，還是整個系列的所有行程？",
    series_move_question: "「{name}」是重複行程。移到其他行事曆會移動整個系列的所有行程。",
    this_event: "此行程", all_events: "所有行程",
    untitled: "（無標題）", more: "還有 {n} 個",
    end_before_start: "結束時間早於開始時間。",
    title_needed: "請輸入標題。",
    unreachable: "無法連線到 Wrenfold：{error}",
    list_time: "時間", list_event: "行程",
    alert: "提醒", second_alert: "第二個提醒", alert_none: "無", alert_at_start: "行程開始時",
    alert_minutes: "{n} 分鐘前", alert_hours: "{n} 小時前", alert_days: "{n} 天前",
    alert_weeks: "{n} 週前", alert_one_minute: "1 分鐘前", alert_one_hour: "1 小時前",
    alert_one_day: "1 天前", alert_one_week: "1 週前",
    alert_all_day_m540: "當天 09:00", alert_all_day_900: "1 天前 09:00",
    alert_all_day_2340: "2 天前 09:00", alert_all_day_9540: "1 週前 09:00",
    alert_custom: "自訂提醒（維持原樣）：{text}", alert_custom_before: "{n} 分鐘前",
    alert_custom_after: "開始後 {n} 分鐘", alert_custom_before_end: "結束前 {n} 分鐘",
    alert_custom_after_end: "結束後 {n} 分鐘", alert_custom_at: "於 {time}",
    reminders: "提醒", reminder_sound: "播放音效", default_alert: "預設提醒",
    default_all_day_alert: "全天行程的預設提醒",
    snooze: "稍後提醒", open: "開啟", dismiss: "關閉提醒",
    search: "搜尋行程", search_placeholder: "搜尋  /", search_none: "找不到行程。",
    offline_since: "自 {time} 起無法連線到行事曆，目前顯示的是最後已知的行程。",
    offline_trying: "正在重新連線行事曆…", try_again: "再試一次",
    new_password_for: "為 {name} 輸入新密碼", new_password_title: "新的 App 專用密碼",
    new_password_message: "iCloud 拒絕了 {name} 的 App 專用密碼。請建立新的密碼並在此輸入。",
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
