// What the system knows of the programs running beside the updater: which
// program files they were started from, and which of them hold a file open.
#pragma once

#include <optional>
#include <string>

namespace platform {

// Whether a running process was started from the program file `path` (UTF-8,
// full path), letter case ignored. Processes that the updater may not ask
// (those of other users, without elevation) are left out.
bool AnyProcessRunsFrom(const std::string& path);

// The name that the Restart Manager gives an application holding the file
// `path` open, in UTF-8; nullopt when none does or it cannot tell.
std::optional<std::string> ApplicationHolding(const std::string& path);

}  // namespace platform
