// The licences of the libraries the program links and ships, for the page's notices.
#include "app/wrenfold_app.h"

#include "core/license_notices.h"
#include "platform/utf8.h"

namespace wrenfold {

// The build and the install put one metadata folder per library here, beside
// the program; a development run and an installed one look alike.
std::filesystem::path WrenfoldApp::_license_scan_dirs() const
{
    return MODULE_DIR / "third-party-licenses";
}

// Scanned afresh on every call, on the calling bridge thread.
Json WrenfoldApp::get_third_party_licenses() const
{
    return third_party_licenses(_license_scan_dirs(), platform::decode_utf8_replacing);
}

}  // namespace wrenfold
