#pragma once

#include "core/json.h"

namespace wrenfold {

// The "accounts" member of a parsed accounts.json; throws when the document is
// not an object or lacks the key.
Json accounts_from_store(const Json& document);

// The account list as the application keeps it: anything but a list counts as
// empty, elements that are not objects are dropped, and each account gets a
// fresh id when its "id" is empty or missing, an empty "calendars" list and the
// "home_tzid" "Asia/Taipei" when those keys are missing.
Json normalise_accounts(const Json& accounts);

}  // namespace wrenfold
