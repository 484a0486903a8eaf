#pragma once

#include "app/launch_options.h"

#include <filesystem>
#include <iosfwd>
#include <optional>

namespace wrenfold {

// Claims the data directory for this start and records the claim in
// `options`. When another Wrenfold already runs on that directory, asks it to
// come forward (its window shown, or its address printed to `out`), handing
// it `options.open_file` (a full path) when there is one, and answers the exit
// status this start ends with: 0 when it answered, 1 when it did not or
// refused the file.
std::optional<int> claim_or_hand_over(const std::filesystem::path& data_directory, LaunchOptions& options,
                                      std::ostream& out);

// The hook before anything starts: --help and --version print and answer 0;
// otherwise the data directory of this user is claimed, or handed over as
// above. Nothing when the program is to start.
std::optional<int> finish_before_start(LaunchOptions& options);

}  // namespace wrenfold
