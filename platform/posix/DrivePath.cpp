#include "platform/posix/DrivePath.h"

#include "platform/AsciiCase.h"

namespace platform {
namespace {

bool IsUsableName(std::string_view name) {
    return name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

// Splits at '\'; returns false when a name is unusable. Empty names are
// passed over.
bool SplitNames(std::string_view text, std::vector<std::string_view>& names) {
    while (true) {
        const std::size_t end = text.find('\\');
        const std::string_view name = text.substr(0, end);
        if (!name.empty()) {
            if (!IsUsableName(name))
                return false;
            names.push_back(name);
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
        parsed.letter = AsciiUpper(path[0]);
        if (parsed.letter < 'A' || parsed.letter > 'Z')
            return std::nullopt;
        path.remove_prefix(2);
        if (!path.empty() && path.front() != '\\')
            return std::nullopt;  // "C:name" is relative
    } else if (path.empty() || path.front() != '\\') {
        return std::nullopt;
    }
    if (!SplitNames(path, parsed.names))
        return std::nullopt;
    return parsed;
}

bool IsSingleName(std::string_view name) {
    return !name.empty() && name.find('\\') == std::string_view::npos && IsUsableName(name);
}

}  // namespace platform
