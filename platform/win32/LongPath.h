// Paths in the form that lifts Windows' limit of 260 characters: "\\?\"
// before a full path makes the system take it as it is, up to about 32767
// characters, without trimming blanks and dots or folding "..".
#pragma once

#include <string>
#include <string_view>

namespace platform {

// "C:" -> "\\?\C:\", "C:\a\b" -> "\\?\C:\a\b", "\\server\share\a" ->
// "\\?\UNC\server\share\a"; a path that already has the prefix stays as it
// is. '/' becomes '\', which the prefix would otherwise take as part of a
// name. A path that is not full (no drive, no server) gets no prefix.
std::wstring ToLongPath(std::string_view path);

// Takes the prefix away again, as a path is shown to people:
// "\\?\C:\a" -> "C:\a", "\\?\UNC\server\share" -> "\\server\share".
std::wstring WithoutLongPrefix(std::wstring_view path);

// `path` completed as the system completes a path it is given (the current
// drive and folder, "." and ".." folded); `path` itself when the system
// cannot complete it.
std::wstring FullPathName(const std::wstring& path);

}  // namespace platform
