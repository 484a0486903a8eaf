// The consumer of the sync worker's reports: each one becomes sync statuses
// and refreshes that the page picks up when it polls.
#include "app/wrenfold_app.h"

#include "core/log.h"
#include "store/event_store.h"

#include <thread>

namespace wrenfold {

namespace {

using namespace std::chrono_literals;

constexpr auto kReceiptWait = 500ms;
constexpr auto kPauseAfterError = 1s;

// The strings of a list member; a member that is missing or not a list is
// empty, and elements that are not strings are skipped.
std::vector<std::string> strings_of(const Json& message, const char* key)
{
    std::vector<std::string> texts;
    auto found = message.find(key);
    if (found == message.end() || !found->is_array())
        return texts;
    for (const Json& element : *found) {
        if (element.is_string())
            texts.push_back(element.get<std::string>());
    }
    return texts;
}

std::shared_ptr<platform::MessageQueue> receipt_queue(const platform::QueueMap& queues)
{
    auto found = queues.find("get_receipt");
    return found != queues.end() ? found->second : nullptr;
}

}  // namespace

// Every calendar of the account that has an address is marked; a stored
// calendar without one is reported once the others are marked, since the
// worker's error cannot be shown on it.
void WrenfoldApp::_mark_sync_failed(const Account& account)
{
    std::size_t without_url = 0;
    for (const Calendar& calendar : account.calendars) {
        if (calendar.url.empty())
            ++without_url;
        else
            _set_sync_status(calendar.url, "error");
    }
    if (without_url > 0)
        throw std::runtime_error("account " + account.id + ": " + std::to_string(without_url) +
                                 " stored calendar(s) without a url");
}

void WrenfoldApp::_handle_worker_message(const Json& message)
{
    if (!message.is_object())
        return;
    auto type = message.find("type");
    if (type == message.end() || !type->is_string())
        return;
    if (*type == "calendars_changed") {
        auto urls = strings_of(message, "urls");
        for (const std::string& url : urls)
            _set_sync_status(url, "ok");
        auto accounts_changed = strings_of(message, "list_changed_accounts");
        for (const std::string& account_id : accounts_changed) {
            refresh_calendars(account_id);
            if (auto account = _account_by_id(account_id))
                for (const Calendar& calendar : account->calendars)
                    urls.push_back(calendar.url);
        }
        // Only what the worker reported is synced into the local copy.
        _sync_later(urls);
        if (accounts_changed.empty())
            _bump_refresh();
    } else if (*type == "sync_error") {
        auto account_id = message.find("account_id");
        if (account_id == message.end() || !account_id->is_string())
            return;
        auto account = _account_by_id(account_id->get<std::string>());
        if (!account)
            return;
        // The local copy keeps the account's events and learns since when
        // they could not be refreshed, which the page shows at once.
        if (m_store) {
            auto error = message.find("error");
            std::string text = error != message.end() && error->is_string() ? error->get<std::string>()
                                                                            : "the server could not be reached";
            auto now =
                std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
                    .count();
            for (const Calendar& calendar : account->calendars)
                if (!calendar.url.empty())
                    m_store->record_failure(calendar.url, account->id, text, now);
        }
        _mark_sync_failed(*account);
    }
}

void WrenfoldApp::_poll_queue()
{
    while (!_stop) {
        try {
            _release_start_syncs(false);
            auto queue = receipt_queue(queue_all);
            if (!queue) {
                std::this_thread::sleep_for(kReceiptWait);
                continue;
            }
            std::optional<Json> message;
            try {
                message = queue->get(kReceiptWait);
            } catch (...) {
                // A queue that cannot be read counts as an empty one; the
                // pause keeps a broken queue from spinning this thread.
                std::this_thread::sleep_for(kReceiptWait);
            }
            if (message)
                _handle_worker_message(*message);
        } catch (const std::exception& error) {
            log_line("[poll_queue]", error.what());
            std::this_thread::sleep_for(kPauseAfterError);
        }
    }
}

void WrenfoldApp::_start_poll_queue()
{
    m_poll_thread.with_locked([this](std::thread& consumer) {
        if (!consumer.joinable())
            consumer = std::thread([this] { _poll_queue(); });
    });
    // The page is answered from the local copy at once; each calendar is
    // brought up to date behind it.
    _sync_all_after_first_answer();
}

void WrenfoldApp::_join_poll_queue()
{
    auto consumer = m_poll_thread.with_locked([](std::thread& running) { return std::move(running); });
    if (consumer.joinable() && consumer.get_id() != std::this_thread::get_id())
        consumer.join();
    else if (consumer.joinable())
        consumer.detach();
}

}  // namespace wrenfold
