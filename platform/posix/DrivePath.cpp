#include "platform/posix/DrivePath.h"

namespace platform {
namespace {

bool IsUsableName(std::string_view name) {
    return name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

// Splits at '\'; returns false when a name is unusable, or empty while
// `allowEmpty` is false.
bool SplitNames(std::string_view text, bool allowEmpty, std::vector<std::string_view>& names) {
    while (true) {
        const std::size_t end = text.find('\\');
        const std::string_view name = text.substr(0, end);
        if (name.empty()) {
            if (!allowEmpty)
                return false;
        } else if (IsUsableName(name)) {
            names.push_back(name);
        } else {
            return false;
        }
        if (end == std::string_view::npos)
            return true;
        text.remove_prefix(end + 1);
    }
}

}  // namespace

std::optional<DrivePath> ParseDrivePath(std::string_view path) {
    DrivePath parsed;
    if (path.size() >= 2 && path[1] == ':') {
        const char letter = path[0];
        if (letter >= 'a' && letter <= 'z') {
            parsed.letter = char(letter - 'a' + 'A');
        } else if (letter >= 'A' && letter <= 'Z') {
            parsed.letter = letter;
        } else {
            return std::nullopt;
        }
        path.remove_prefix(2);
        if (!path.empty() && path.front() != '\\')
            return std::nullopt;  // "C:name" is relative
    } else if (path.empty() || path.front() != '\\') {
        return std::nullopt;
    }
    if (!SplitNames(path, true, parsed.names))
        return std::nullopt;
    return parsed;
}

std::optional<std::vector<std::string_view>> SplitRelativePath(std::string_view relative) {
    std::vector<std::string_view> names;
    if (!SplitNames(relative, false, names))
        return std::nullopt;
    return names;
}

}  // namespace platform
