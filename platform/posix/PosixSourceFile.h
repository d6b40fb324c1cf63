// A file of the update package open for reading (FileSystem.h).
#pragma once

#include <memory>
#include <string>

#include "platform/FolderHandle.h"
#include "platform/posix/ScopedFd.h"

namespace platform {

// Opens the host file `path`, which must be a regular file.
Result<std::unique_ptr<SourceFile>> OpenRegularFile(const std::string& path);

// Opens the file `name` of the folder open as `folderFd`, never through a
// link (Kind::Link); it must be a regular file.
Result<std::unique_ptr<SourceFile>> OpenRegularFileIn(int folderFd, const std::string& name);

}  // namespace platform
