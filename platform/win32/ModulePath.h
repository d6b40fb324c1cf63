// The path of a loaded module, such as the program's own executable.
#pragma once

#include <cstddef>
#include <string>

#include "platform/win32/WinApi.h"

namespace platform {

// The full path of `module` (null: the program itself), of any length:
// GetModuleFileNameW cuts a path that does not fit its buffer, so the buffer
// grows from `firstBufferSize` until it does. Empty when it cannot be read.
std::wstring ModuleFileName(HMODULE module, std::size_t firstBufferSize = MAX_PATH + 1);

}  // namespace platform
