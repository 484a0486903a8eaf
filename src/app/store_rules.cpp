#include "app/store_rules.h"

#include "core/random.h"

#include <stdexcept>

namespace wrenfold {

Json accounts_from_store(const Json& document)
{
    if (!document.is_object())
        throw std::runtime_error("accounts.json does not hold a JSON object");
    if (!document.contains("accounts"))
        throw std::runtime_error("accounts.json has no \"accounts\" key");
    return document.at("accounts");
}

Json normalise_accounts(const Json& accounts)
{
    Json normalised = Json::array();
    if (!accounts.is_array())
        return normalised;
    for (const Json& element : accounts) {
        if (!element.is_object())
            continue;
        Json account = element;
        if (!truthy(account.value("id", Json())))
            account["id"] = new_uuid_hex();
        if (!account.contains("calendars"))
            account["calendars"] = Json::array();
        if (!account.contains("home_tzid"))
            account["home_tzid"] = "Asia/Taipei";
        normalised.push_back(std::move(account));
    }
    return normalised;
}

}  // namespace wrenfold
