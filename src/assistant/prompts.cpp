#include "assistant/prompts.h"

#include "core/unicode_text.h"

#include <array>
#include <cstdio>
#include <vector>

namespace wrenfold::assistant {

namespace {

constexpr const char* kIntroduction =
    "你正在透過 Claude Code CLI 為 Wrenfold 的使用者提供協助。以下是你必須遵守的行事曆動作規範。"
    "需要查網路資料（解析地圖連結、查地點 / 公司資訊）時可用 WebFetch。";

std::string language_name(const std::string& lang)
{
    return lang == "zh-Hant" ? "繁體中文" : "English (英文)";
}

std::string join(const std::vector<std::string>& parts, const std::string& separator)
{
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            joined += separator;
        joined += parts[i];
    }
    return joined;
}

std::string time_line(const std::tm& now, const std::string& zone)
{
    static const std::array<const char*, 7> weekdays { "一", "二", "三", "四", "五", "六", "日" };
    char date[40], clock[24];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", now.tm_year + 1900, now.tm_mon + 1, now.tm_mday);
    std::snprintf(clock, sizeof clock, "%02d:%02d", now.tm_hour, now.tm_min);
    int monday_based = (now.tm_wday + 6) % 7;
    return std::string("現在時間：") + date + "（週" + weekdays[static_cast<std::size_t>(monday_based)] + "）" + clock +
        "，時區 " + zone;
}

}  // namespace

std::string language_directive(const std::string& lang)
{
    return "【回答語言】使用者目前的介面語系是 `" + lang + "`。請**預設用 " + language_name(lang) +
        " 回覆**;這條規則**優先於 `claude規範提示詞.md` 與架構文件內任何其他關於語言的舊指示**。"
        "若使用者改用其他語言提問,或明確要求切換,就跟著切到使用者偏好的語言。"
        "技術名詞、shell 指令、protocol 名稱可保留英文。本指令僅針對你的回覆語言,不影響其他規範。";
}

std::string documents_section(const std::string& rules, const std::string& index)
{
    std::vector<std::string> parts;
    if (!rules.empty())
        parts.push_back(std::string("===== ") + kRulesDocumentName + " =====\n" + rules);
    if (!index.empty())
        parts.push_back(std::string("===== ") + kIndexDocumentName + " =====\n" + index);
    return join(parts, "\n\n");
}

std::string inline_system_prompt(const std::string& directive, const std::string& rules, const std::string& index)
{
    std::vector<std::string> parts { kIntroduction, directive };
    auto documents = documents_section(rules, index);
    if (!documents.empty())
        parts.push_back(documents);
    return join(parts, "\n\n");
}

std::string pointer_system_prompt(const std::string& directive, const std::string& file_name)
{
    return "你正在透過 Claude Code CLI 為 Wrenfold 的使用者提供協助。\n" + directive + "\n" +
        "你的完整運作規則與架構索引在 add-dir 內的 `" + file_name +
        "` 檔案 —— **第一輪回覆前必須先用 Read 工具讀完它**,並把其中所有規則當作 system prompt 一樣強制遵守。"
        "但上一段「回答語言」指令的優先序**高於 add-dir 內 .md 檔關於語言的任何舊指示**"
        "(只針對回覆語言,其他規範不變)。同一 session 不必再讀(--resume 會保留上下文)。\n"
        "需要查網路資料（解析地圖連結、查地點 / 公司資訊）時可用 WebFetch 工具。";
}

std::string calendar_context_block(const std::tm& now, const std::vector<Account>& accounts,
                                   const std::optional<Calendar>& default_calendar)
{
    std::string zone(kDefaultHomeTzid);
    if (!accounts.empty() && !accounts.front().home_tzid.empty())
        zone = accounts.front().home_tzid;
    // Names come from the server, and a shared calendar is named by someone
    // else: each stays on its own line of the block, so that none can pass
    // for a line of instructions.
    std::vector<std::string> lines { time_line(now, on_one_line(zone)) };

    bool multi = accounts.size() >= 2;
    std::vector<std::string> entries;
    for (const Account& account : accounts) {
        for (const Calendar& calendar : account.calendars) {
            if (calendar.read_only)
                continue;
            bool is_default = default_calendar && calendar.url == default_calendar->url;
            std::string tag = multi ? "〔帳號：" + on_one_line(account.apple_id) + "〕" : "";
            entries.push_back("  • " + on_one_line(calendar.name) + (is_default ? "（預設）" : "") + tag);
        }
    }
    if (entries.empty()) {
        lines.push_back("（目前沒有可寫入的行事曆；請提醒使用者先在側邊欄「＋ 新增帳號」加入 iCloud。）");
    } else {
        std::string header = "可寫入的行事曆（建立/修改用 calendar 欄位指定名稱,省略則用預設）：";
        if (multi)
            header += "\n  ※ 目前有多個 iCloud 帳號。若不同帳號有同名行事曆,提 create_event 時請一併用 account "
                      "欄位帶上該行事曆的 Apple ID（即上面〔帳號：…〕內的值）以指定是哪一個,避免建到錯的帳號。";
        lines.push_back(header);
        lines.insert(lines.end(), entries.begin(), entries.end());
    }
    return "\n\n----- 行事曆環境 -----\n" + join(lines, "\n") + "\n-----";
}

}  // namespace wrenfold::assistant
