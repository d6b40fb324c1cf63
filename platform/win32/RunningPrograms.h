// What the system knows of the programs running beside the updater: which
// program files they were started from, and which of them hold a file open.
#pragma once

#include <optional>
#include <string>

#include "platform/FolderHandle.h"

namespace platform {

// Whether a running process was started from the program file whose
// identity is `program`, through whatever path: another drive letter mapped
// to the same folder, a link or a short name lead to the same file.
// Processes that the updater may not ask (those of other users, without
// elevation) are left out.
bool AnyProcessRunsFrom(const FileId& program);

// The name that the Restart Manager gives an application holding the file
// `path` open, in UTF-8; nullopt when none does or it cannot tell.
std::optional<std::string> ApplicationHolding(const std::string& path);

}  // namespace platform
