// A '\' doubled or left out between a folder and a name names another file,
// or none.
#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "platform/PathJoin.h"

namespace {

TEST(PathJoin, OneSeparatorBetweenFolderAndNameAndBackAgain) {
    const struct {
        std::string_view folder, name, joined;
    } cases[] = {
        {"C:\\Inst", "QBANK.CXT", "C:\\Inst\\QBANK.CXT"},
        {"C:", "Inst", "C:\\Inst"},  // the drive's root, never its current folder
        {"C:\\", "Inst", "C:\\Inst"},
        {"\\\\server\\share\\", "Logs", "\\\\server\\share\\Logs"},
        {"", "Inst", "\\Inst"},
        {"C:\\Inst", "", "C:\\Inst\\"},
        {"C:\\インストール", "ｷｭｰ", "C:\\インストール\\ｷｭｰ"},
    };
    for (const auto& [folder, name, joined] : cases) {
        EXPECT_EQ(platform::JoinPath(folder, name), joined) << folder << " + " << name;
        EXPECT_EQ(platform::PathBelow(folder, joined), name) << joined;
    }
    EXPECT_EQ(platform::JoinPath(L"\\\\?\\C:\\", L"a"), L"\\\\?\\C:\\a");
    for (const std::string_view path : {"C:\\A", "C:\\AB\\c", "c:\\a\\b", "C:A\\b"})
        EXPECT_EQ(platform::PathBelow("C:\\A", path), std::nullopt) << path;
}

}  // namespace
