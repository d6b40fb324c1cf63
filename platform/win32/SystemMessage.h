// The system's own wording of a failure, in the user's language: the one
// place that asks FormatMessageW and trims what it gives, so that the
// window's boxes, the logs and the report read a failure alike. The words go
// inside the program's own lines ("<path>: <why>", "<why>; could not be
// removed: <why>"), so they end without the system's full stop and line
// break; a box that shows them as a sentence of their own adds its stop.
#pragma once

#include <string>
#include <system_error>

#include "platform/win32/WinApi.h"

namespace platform {

// The system's message for a Win32 error code, in UTF-8, without the line
// break and the full stop ("." or "。") that the system ends it with; empty
// when the system has no text for it.
std::string SystemText(DWORD code);

// SystemText, or "Error <code>" when the system has no text for it.
std::string SystemMessage(DWORD code);

// The same words for an error code of either kind: Windows' for a Win32
// code, the C library's for an errno value.
std::string SystemErrorText(const std::error_code& error);

// SystemErrorText of the error the last failed Win32 call left.
std::string LastErrorText();

// What `error` says: the call that failed, as its what() names it, then
// SystemErrorText of its code. Its what() holds the C++ library's words,
// in the ANSI code page rather than UTF-8.
std::string SystemErrorWhat(const std::system_error& error);

}  // namespace platform
