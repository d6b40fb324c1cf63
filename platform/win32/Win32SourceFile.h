// A file open for reading on Windows (FolderHandle.h's SourceFile).
#pragma once

#include <memory>

#include "platform/FolderHandle.h"
#include "platform/win32/ScopedWin.h"

namespace platform {

// Takes `file`, open with at least GENERIC_READ; refuses a folder. Its
// modification time and identity are read now, so that they belong to the
// content read from it.
Result<std::unique_ptr<SourceFile>> ReadFrom(ScopedHandle file);

}  // namespace platform
