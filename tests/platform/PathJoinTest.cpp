// Paths put together from a folder and a name, and taken apart again: a '\'
// doubled or left out names another file, or none.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "platform/PathJoin.h"

namespace {

using platform::JoinPath;
using platform::PathBelow;

// Plain ASCII only, one wide character to a byte.
std::wstring Wide(std::string_view ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

TEST(PathJoin, OneSeparatorBetweenFolderAndNameAndBackAgain) {
    const struct {
        std::string_view folder, name, joined;
    } cases[] = {
        {"C:\\Inst", "QBANK.CXT", "C:\\Inst\\QBANK.CXT"},
        {"C:", "Inst", "C:\\Inst"},  // the drive's root, never its current folder
        {"C:\\", "Inst", "C:\\Inst"},
        {"\\\\server\\share\\", "Logs", "\\\\server\\share\\Logs"},
        {"\\\\?\\C:\\", "a", "\\\\?\\C:\\a"},
        {"\\\\?\\C:\\a", "b", "\\\\?\\C:\\a\\b"},
        {"", "Inst", "\\Inst"},
        {"C:\\Inst", "", "C:\\Inst\\"},
        {"C:\\Inst", "Audio\\Phrase", "C:\\Inst\\Audio\\Phrase"},
        {"C:\\インストール", "ｷｭｰ", "C:\\インストール\\ｷｭｰ"},
    };
    for (const auto& [folder, name, joined] : cases) {
        EXPECT_EQ(JoinPath(folder, name), joined) << folder << " + " << name;
        std::string appended(folder);
        EXPECT_EQ(platform::AppendToPath(appended, name), joined);
        EXPECT_EQ(PathBelow(folder, joined), name) << joined << " below " << folder;
        if (std::ranges::all_of(joined, [](char c) { return (c & 0x80) == 0; })) {
            EXPECT_EQ(JoinPath(Wide(folder), Wide(name)), Wide(joined)) << joined;
        }
    }
}

TEST(PathJoin, NothingOutsideAFolderIsBelowIt) {
    for (const std::string_view path :
         {"C:\\A", "C:\\AB", "C:\\AB\\c", "c:\\a\\b", "D:\\A\\b", "C:", "C:A\\b"}) {
        EXPECT_EQ(PathBelow("C:\\A", path), std::nullopt) << path;
    }
}

}  // namespace
