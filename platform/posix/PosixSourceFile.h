// A file of the update package open for reading (FileSystem.h).
#pragma once

#include <memory>
#include <string>

#include "platform/FolderHandle.h"
#include "platform/posix/ScopedFd.h"

namespace platform {

// Opens the host file `path`, which must be a regular file.
Result<std::unique_ptr<SourceFile>> OpenRegularFile(const std::string& path);

}  // namespace platform
