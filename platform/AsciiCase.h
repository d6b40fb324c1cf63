// Name comparisons of the engine. Only the ASCII letters a-z are folded: the
// fixed names compared against ("SKM300.EXE", "XTRAS") are plain ASCII, so this
// gives exactly what the ANSI code page's upper-casing gives for them, and no
// Unicode look-alike (a full-width "ＳＫＭ", a dotless i) can pass as one of them.
#pragma once

#include <string>
#include <string_view>

namespace platform {

constexpr char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

inline std::string AsciiUpper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        c = AsciiUpper(c);
    return upper;
}

// True when upper-casing `name` gives exactly `capitals`; allocates nothing,
// since the search asks this of every file on every drive.
constexpr bool UpperCaseEquals(std::string_view name, std::string_view capitals) {
    if (name.size() != capitals.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (AsciiUpper(name[i]) != capitals[i])
            return false;
    }
    return true;
}

}  // namespace platform
