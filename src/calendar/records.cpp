#include "calendar/records.h"

namespace wrenfold {

namespace {

std::string text_of(const Json& object, const char* key)
{
    auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

bool flag_of(const Json& object, const char* key, bool fallback)
{
    auto found = object.find(key);
    return found == object.end() ? fallback : truthy(*found);
}

// The records read from the objects among the elements of `list`; anything
// but a list holds none.
template <typename Record> std::vector<Record> parse_objects(const Json& list, Record (*parse)(const Json&))
{
    std::vector<Record> records;
    if (!list.is_array())
        return records;
    for (const Json& element : list) {
        if (element.is_object())
            records.push_back(parse(element));
    }
    return records;
}

}  // namespace

Calendar calendar_from_discovery(const caldav::DiscoveredCalendar& discovered)
{
    Calendar calendar;
    calendar.url = discovered.url;
    calendar.name = discovered.name;
    calendar.color = discovered.color.value_or(std::string(kDefaultCalendarColor));
    calendar.read_only = discovered.read_only;
    calendar.record = discovered.to_json();
    return calendar;
}

std::vector<Calendar> calendars_from_discovery(const std::vector<caldav::DiscoveredCalendar>& discovered)
{
    std::vector<Calendar> calendars;
    calendars.reserve(discovered.size());
    for (const auto& calendar : discovered)
        calendars.push_back(calendar_from_discovery(calendar));
    return calendars;
}

Calendar parse_calendar(const Json& object)
{
    Calendar calendar;
    if (!object.is_object())
        return calendar;
    calendar.url = text_of(object, "url");
    calendar.name = text_of(object, "name");
    auto color = object.find("color");
    calendar.color =
        color != object.end() && color->is_string() ? color->get<std::string>() : std::string(kDefaultCalendarColor);
    calendar.read_only = flag_of(object, "read_only", false);
    calendar.visible = flag_of(object, "visible", true);
    calendar.record = object;
    return calendar;
}

std::vector<Calendar> parse_calendars(const Json& list)
{
    return parse_objects(list, parse_calendar);
}

Account parse_account(const Json& object)
{
    Account account;
    if (!object.is_object())
        return account;
    auto id = object.find("id");
    if (id != object.end() && !id->is_null())
        account.id = text_form(*id);
    account.apple_id = text_of(object, "apple_id");
    account.app_password = text_of(object, "app_password");
    account.home_tzid = text_of(object, "home_tzid");
    auto calendars = object.find("calendars");
    if (calendars != object.end())
        account.calendars = parse_calendars(*calendars);
    account.record = object;
    return account;
}

std::vector<Account> parse_accounts(const Json& list)
{
    return parse_objects(list, parse_account);
}

std::vector<Json> calendar_records(const std::vector<Calendar>& calendars)
{
    std::vector<Json> records;
    records.reserve(calendars.size());
    for (const Calendar& calendar : calendars)
        records.push_back(calendar.record);
    return records;
}

Json account_records(const std::vector<Account>& accounts)
{
    Json records = Json::array();
    for (const Account& account : accounts)
        records.push_back(account.record);
    return records;
}

Calendar with_visible(Calendar calendar, bool visible)
{
    calendar.visible = visible;
    calendar.record["visible"] = visible;
    return calendar;
}

Account with_calendar_visible(const Account& account, const std::string& calendar_url, bool visible)
{
    Json record = account.record;
    auto calendars = record.find("calendars");
    if (calendars == record.end() || !calendars->is_array())
        return account;
    for (Json& calendar : *calendars) {
        if (calendar.is_object() && calendar.value("url", Json()) == calendar_url)
            calendar["visible"] = visible;
    }
    return parse_account(record);
}

Account with_calendars(Account account, const std::vector<Calendar>& calendars)
{
    account.calendars = calendars;
    account.record["calendars"] = calendar_records(calendars);
    return account;
}

}  // namespace wrenfold
