// Installations changed through handles on Windows (FolderHandle.h): every
// folder is a handle held without FILE_SHARE_DELETE, so that no one can
// rename or delete it, and so swap it for a link, while the update runs; every
// name inside it is opened relative to that handle (RelativeFile.h).
#pragma once

#include <memory>
#include <string>

#include "platform/FolderHandle.h"
#include "platform/win32/WinApi.h"

namespace platform {

// Opens the folder at `path` (UTF-8, Windows form) as an installation. The
// folders above it are opened through links, the folder itself only as
// itself: its parent is opened first, and the folder relative to it.
Result<std::unique_ptr<FolderHandle>> OpenFolderNoLinkAt(const std::string& path);

// Opens the folder that `path` leads to, following every link, the last
// component's too; held as an installation folder is.
Result<std::unique_ptr<FolderHandle>> OpenFolderThroughLinks(const std::string& path);

}  // namespace platform

namespace platform {

// The handle behind a folder opened by the functions above; null for a
// FolderHandle of another kind.
HANDLE NativeHandleOf(FolderHandle& folder);

}  // namespace platform
