#include "platform/win32/PendingRenames.h"

#include <vector>

namespace platform {

namespace {

// The strings of `value` in order; a value cut short of its last NUL still
// gives its last string.
std::vector<std::wstring_view> Strings(std::wstring_view value) {
    std::vector<std::wstring_view> strings;
    std::size_t start = 0;
    while (start < value.size()) {
        const std::size_t end = std::min(value.find(L'\0', start), value.size());
        strings.push_back(value.substr(start, end - start));
        start = end + 1;
    }
    return strings;
}

}  // namespace

std::wstring PendingSource(std::wstring_view path) {
    return std::wstring(L"\\??\\").append(path);
}

std::wstring PendingReplacement(std::wstring_view destination) {
    return std::wstring(L"!\\??\\").append(destination);
}

bool HoldsPair(std::wstring_view value, std::wstring_view source, std::wstring_view destination) {
    const std::vector<std::wstring_view> strings = Strings(value);
    for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
        if (strings[i] == source && strings[i + 1] == destination)
            return true;
    }
    return false;
}

std::optional<PendingValue> WithoutPair(std::wstring_view value, std::wstring_view source,
                                        std::wstring_view destination) {
    const std::vector<std::wstring_view> strings = Strings(value);
    PendingValue kept;
    bool found = false;
    std::size_t i = 0;
    for (; i + 1 < strings.size(); i += 2) {
        if (strings[i] == source && strings[i + 1] == destination) {
            found = true;
            continue;
        }
        kept.append(strings[i]).push_back(L'\0');
        kept.append(strings[i + 1]).push_back(L'\0');
    }
    // What ends the list (its empty string), or a string without a pair,
    // stays as it stood.
    if (const std::size_t rest = value.size(); found && i < strings.size()) {
        std::size_t offset = 0;
        for (std::size_t j = 0; j < i; ++j)
            offset += strings[j].size() + 1;
        kept.append(value.substr(std::min(offset, rest)));
    }
    if (!found)
        return std::nullopt;
    return kept;
}

bool HoldsNoPair(std::wstring_view value) {
    const std::vector<std::wstring_view> strings = Strings(value);
    for (std::wstring_view string : strings) {
        if (!string.empty())
            return false;
    }
    return true;
}

}  // namespace platform
