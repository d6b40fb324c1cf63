// Text is UTF-8 inside the program and UTF-16 at the Win32 calls; these
// convert at that boundary.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Bytes that are not UTF-8 become U+FFFD.
std::wstring Utf8ToUtf16(std::string_view text);

// Unpaired surrogates, which Windows allows in file names, become U+FFFD, so
// such a name does not lead back to its file; nothing else is lost.
std::string Utf16ToUtf8(std::wstring_view text);

}  // namespace platform
