// The identity of an open file or folder, as FileId holds it.
#pragma once

#include <optional>

#include "platform/FolderHandle.h"
#include "platform/win32/WinApi.h"

namespace platform {

// The 128-bit id of FILE_ID_INFO (ReFS needs all of it) where the system
// gives one, else the 64-bit index of GetFileInformationByHandle. Either way
// it holds only while `handle` is open; nullopt when neither can be read.
std::optional<FileId> IdentityOf(HANDLE handle);

}  // namespace platform
