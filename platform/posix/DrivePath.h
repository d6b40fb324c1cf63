// The updater's Windows-form paths taken apart for a system without drive
// letters: "C:\Audio\Term" is drive 'C' and the names "Audio", "Term".
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace platform {

struct DrivePath {
    // 'A'..'Z', or 0 for a path that starts with '\' and names a host folder
    // directly (the program's own folder when it lies on no drive).
    char letter = 0;
    std::vector<std::string_view> names;  // views into the parsed text
};

// Parses "C:", "C:\a\b", "c:\a\" or "\usr\bin". Empty names (doubled or
// trailing backslashes) are passed over, as Windows does. "." and ".." are
// refused, so that no path leads out of the folder its drive stands for, and
// so are names holding '/' or NUL, which no Windows name can hold.
std::optional<DrivePath> ParseDrivePath(std::string_view path);

// True when `name` can stand for one entry of a folder and for nothing else:
// it is not empty, "." or "..", and holds no '\', '/' or NUL.
bool IsSingleName(std::string_view name);

}  // namespace platform
