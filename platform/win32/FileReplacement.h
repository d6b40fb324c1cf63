// The one write the updater makes: a file below an installation replaced by a
// copy of another, atomically and without following links.
#pragma once

#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace platform {

// Replaces the file that `names` lead to below the folder `installation`
// with a copy of `source` (both "\\?\" paths). No folder below the
// installation, and not the destination, may be a link or other reparse
// point; the folders on the way are held open until the end so that none can
// be swapped for one meanwhile. The copy is written to a temporary file
// beside the destination and moved over it.
ReplaceResult ReplaceFileBelow(const std::wstring& source, const std::wstring& installation,
                               const std::vector<std::wstring>& names);

}  // namespace platform
