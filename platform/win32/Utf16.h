// Text is UTF-8 inside the program and UTF-16 at the Win32 calls; these
// convert at that boundary.
//
// Windows does not require a name to be valid UTF-16: NTFS stores any 16-bit
// units, so a folder may be named with an unpaired surrogate. Such a unit is
// carried inside as the three bytes UTF-8 would give its code point (the
// generalized form known as WTF-8), so that the name leads back to its
// folder; valid text converts exactly as UTF-8 does.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Bytes that are neither UTF-8 nor a surrogate's three bytes become U+FFFD.
std::wstring Utf8ToUtf16(std::string_view text);

// Loses nothing: Utf8ToUtf16 gives back exactly `text`.
std::string Utf16ToUtf8(std::wstring_view text);

// `text` with each surrogate's three bytes replaced by U+FFFD, for what must
// be valid UTF-8 outside the program, as a log file read by other tools.
std::string WellFormedUtf8(std::string_view text);

}  // namespace platform
