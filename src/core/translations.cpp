#include "core/translations.h"

namespace wrenfold {

namespace {

constexpr std::string_view kClaudeCodePage = "https://www.anthropic.com/claude-code";

MessageMap english_messages()
{
    return {
        { "err.ai_exe.bad_name", "Invalid executable name: {name}" },
        { "err.account.need_fields", "Please enter both Apple ID and app-specific password." },
        { "err.account.network", "Cannot reach iCloud: {err}" },
        { "err.event.unreachable",
          "The calendar's server could not be reached, so the change may not have been saved. What you typed is "
          "kept: try again once the connection is back." },
        { "err.account.auth", "iCloud sign-in failed (HTTP {status}). Check the Apple ID and app-specific password." },
        { "err.calendar.not_responding", "not responding: its server has not answered yet" },
        { "err.events.too_many",
          "too many occurrences: this calendar has more repeating events in this range than can be shown" },
        { "err.account.discover", "Signed in but failed to list calendars: {err}" },
        { "err.account.dup", "This Apple ID is already added: {id}" },
        { "err.time_zone.unknown", "Unknown time zone: {name}" },
        { "err.ai_event.bad_payload", "Invalid event data." },
        { "err.ai_event.need_summary", "Event needs a title." },
        { "err.ai_event.need_start", "Event needs a start time." },
        { "err.ai_event.need_url", "This action needs the event url (use query_events to get it first)." },
        { "err.ai_event.need_range", "Query needs both start and end dates." },
        { "err.ai_event.no_calendar", "No writable iCloud calendar. Add an account in the sidebar first." },
        { "err.claude_not_found", "Cannot find claude executable, please install Claude Code first." },
        { "err.claude_timeout", "Claude response timed out ({n} seconds)." },
        { "err.claude_exec_fail", "Failed to execute claude: {err}" },
        { "tray.show", "Show window" },
        { "tray.quit", "Quit" },
        { "save.title", "Save calendar file" },
        { "save.filter", "Calendar files (.ics)" },
        { "hint.claude.not_found",
          "Cannot find claude executable. Please install Claude Code first: " + std::string(kClaudeCodePage) },
        { "hint.claude.version_fail", "Failed to run claude --version: {err}" },
        { "hint.claude.not_logged_in",
          "Not signed in to Claude Code. Please run `claude` in a terminal and follow the browser flow to sign in." },
        { "claude.report_err", "claude reported an error" },
        { "err.api.auth",
          "Authentication failed (HTTP {status}). Your {provider} API key may be invalid — in DeepSeek mode, please "
          "check ANTHROPIC_AUTH_TOKEN inside deepseek-settings.json; for Anthropic, run `claude login` again." },
        { "err.api.balance",
          "Insufficient balance (HTTP 402). Your {provider} account is out of credit — please top up at {provider} "
          "before retrying." },
        { "err.api.ratelimit",
          "Rate limit reached (HTTP 429). Wait a moment and retry, or check your {provider} account quota." },
        { "err.api.server",
          "{provider} server error (HTTP {status}). This is not caused by your input — please retry in a moment." },
        { "err.api.generic", "{provider} API error (HTTP {status})." },
        { "err.api.raw_label", "Original error" },
        { "err.key.control_chars",
          "The API key, base URL and model name must not contain line breaks or other control characters." },
        { "err.deepseek_no_key",
          "DeepSeek API key is not set. Open Settings → Claude Code model → DeepSeek and enter your API key." },
    };
}

MessageMap traditional_chinese_messages()
{
    return {
        { "err.ai_exe.bad_name", "執行檔名稱不合法：{name}" },
        { "err.account.need_fields", "請輸入 Apple ID 與 App 專用密碼。" },
        { "err.account.network", "無法連線到 iCloud：{err}" },
        { "err.event.unreachable",
          "無法連線到行事曆的伺服器，變更可能沒有儲存。您輸入的內容都還在，連線恢復後請再試一次。" },
        { "err.account.auth", "iCloud 登入失敗（HTTP {status}）。請確認 Apple ID 與 App 專用密碼。" },
        { "err.calendar.not_responding", "沒有回應：伺服器尚未回覆" },
        { "err.events.too_many", "重複次數過多：此行事曆在這段期間的重複活動多到無法顯示" },
        { "err.account.discover", "登入成功但列出行事曆失敗：{err}" },
        { "err.account.dup", "這個 Apple ID 已經加入過了：{id}" },
        { "err.time_zone.unknown", "無法辨識的時區：{name}" },
        { "err.ai_event.bad_payload", "行程資料不合法。" },
        { "err.ai_event.need_summary", "行程需要標題。" },
        { "err.ai_event.need_start", "行程需要開始時間。" },
        { "err.ai_event.need_url", "這個動作需要行程 url（請先用 query_events 取得）。" },
        { "err.ai_event.need_range", "查詢需要開始與結束日期。" },
        { "err.ai_event.no_calendar", "沒有可寫入的 iCloud 行事曆。請先在側邊欄新增帳號。" },
        { "err.claude_not_found", "找不到 claude 執行檔，請先安裝 Claude Code。" },
        { "err.claude_timeout", "Claude 回應逾時（{n} 秒）。" },
        { "err.claude_exec_fail", "執行 claude 失敗：{err}" },
        { "tray.show", "顯示視窗" },
        { "tray.quit", "完全退出" },
        { "save.title", "儲存行事曆檔案" },
        { "save.filter", "行事曆檔案 (.ics)" },
        { "hint.claude.not_found", "找不到 claude 執行檔。請先安裝 Claude Code：" + std::string(kClaudeCodePage) },
        { "hint.claude.version_fail", "執行 claude --version 失敗：{err}" },
        { "hint.claude.not_logged_in", "尚未登入 Claude Code。請在終端機執行 `claude` 並依瀏覽器流程登入。" },
        { "claude.report_err", "claude 回報錯誤" },
        { "err.api.auth",
          "驗證失敗（HTTP {status}）。{provider} API 金鑰可能無效 — DeepSeek 模式請檢查 deepseek-settings.json 內的 "
          "ANTHROPIC_AUTH_TOKEN；Anthropic 模式請執行 `claude login` 重新登入。" },
        { "err.api.balance", "餘額不足（HTTP 402）。{provider} 帳號額度已用完 — 請至 {provider} 後台儲值後再試。" },
        { "err.api.ratelimit", "達到速率/額度上限（HTTP 429）。請稍候再試，或檢查 {provider} 帳號額度。" },
        { "err.api.server", "{provider} 伺服器錯誤（HTTP {status}）。這不是你的操作造成的 — 請稍候再試。" },
        { "err.api.generic", "{provider} API 錯誤（HTTP {status}）。" },
        { "err.api.raw_label", "原始錯誤" },
        { "err.key.control_chars", "API 金鑰、Base URL 與模型名稱不可包含換行或其他控制字元。" },
        { "err.deepseek_no_key",
          "尚未設定 DeepSeek API 金鑰。請開啟「設定 → Claude Code 模型 → DeepSeek」並輸入金鑰。" },
    };
}

}  // namespace

const TranslationTable& translation_table()
{
    static const TranslationTable table {
        { "en", english_messages() },
        { "zh-Hant", traditional_chinese_messages() },
    };
    return table;
}

std::optional<std::string> fill_template(std::string_view text, const Json& values)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '}') {
            if (i + 1 < text.size() && text[i + 1] == '}') {
                out.push_back('}');
                ++i;
                continue;
            }
            return std::nullopt;  // a lone closing brace
        }
        if (c != '{') {
            out.push_back(c);
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '{') {
            out.push_back('{');
            ++i;
            continue;
        }
        std::size_t close = text.find('}', i + 1);
        if (close == std::string_view::npos)
            return std::nullopt;
        std::string name(text.substr(i + 1, close - i - 1));
        if (name.empty() || name.find('{') != std::string::npos || !values.is_object() || !values.contains(name))
            return std::nullopt;
        out += text_form(values.at(name));
        i = close;
    }
    return out;
}

std::string translate(const TranslationTable& table, std::string_view language, std::string_view key,
                      const Json& values)
{
    auto lookup = [&](std::string_view code) -> const std::string* {
        auto messages = table.find(code);
        if (messages == table.end())
            return nullptr;
        auto found = messages->second.find(key);
        return found != messages->second.end() ? &found->second : nullptr;
    };
    const std::string* found = lookup(language);
    if (!found)
        found = lookup("en");
    std::string text = found ? *found : std::string(key);
    if (!values.is_object() || values.empty())
        return text;
    return fill_template(text, values).value_or(text);
}

}  // namespace wrenfold
