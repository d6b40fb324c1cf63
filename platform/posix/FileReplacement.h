// The one write the updater makes: a file below an installation replaced by a
// copy of another, atomically and without following links.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace platform {

// Replaces the file that `names` lead to below the host folder `installation`
// with a copy of the host file `source`. Each name is matched as Windows
// would match it (CaseInsensitiveLookup.h); a missing last name is created as
// given. Every folder below `installation` is opened without following a
// link, so that a link planted there cannot redirect the write, and the copy
// is written to a temporary file beside the destination and renamed over it.
ReplaceResult ReplaceFileBelow(const std::string& source, const std::string& installation,
                               const std::vector<std::string_view>& names);

}  // namespace platform
