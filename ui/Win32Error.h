// Failures of Win32 calls as exceptions carrying the system's error code.
#pragma once

#include "platform/win32/WinApi.h"

#include <system_error>

namespace ui {

[[noreturn]] inline void ThrowLastError(const char* call) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), call);
}

}  // namespace ui
