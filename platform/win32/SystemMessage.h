// The system's own wording of a failure, in the user's language: the one
// place that asks FormatMessageW, so that the window's boxes, the logs and
// the report trim a message alike.
#pragma once

#include <string>
#include <system_error>

#include "platform/win32/WinApi.h"

namespace platform {

// The system's message for a Win32 error code, in UTF-8, as the system ends
// it (its full stop kept) but without the line break; empty when the system
// has no text for it.
std::string SystemText(DWORD code);

// The same without the full stop either, since the program places it inside
// its own sentences. "Error <code>" when the system has no text for it.
std::string SystemMessage(DWORD code);

// SystemText of an error code of either kind: Windows' text for a Win32
// code, the C library's for an errno value.
std::string SystemErrorText(const std::error_code& error);

// SystemErrorText of the error the last failed Win32 call left.
std::string LastErrorText();

}  // namespace platform
