#include "platform/posix/MountTable.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace platform {
namespace {

// The kernel writes a blank, tab, newline or backslash in a path as '\' and
// three octal digits.
std::string Unescape(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                text += char((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
                i += 3;
                continue;
            }
        }
        text += field[i];
    }
    return text;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t start = line.find_first_not_of(' ', pos);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(line.find(' ', start), line.size());
        fields.push_back(line.substr(start, end - start));
        pos = end;
    }
    return fields;
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> mounts;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::vector<std::string_view> fields = SplitFields(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));

        // id parent major:minor root mount-point options [optional...] - type source super-options
        std::size_t separator = 6;
        while (separator < fields.size() && fields[separator] != "-")
            ++separator;
        if (separator + 2 >= fields.size())
            continue;
        mounts.push_back(MountEntry{Unescape(fields[3]), Unescape(fields[4]),
                                    Unescape(fields[separator + 1]),
                                    Unescape(fields[separator + 2])});
    }
    return mounts;
}

std::vector<MountEntry> ReadOwnMountTable() {
    std::ifstream file("/proc/self/mountinfo", std::ios::binary);
    if (!file)
        return {};
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    return ParseMountInfo(text);
}

}  // namespace platform
