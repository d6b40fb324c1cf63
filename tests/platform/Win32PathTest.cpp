// What only the Win32 implementation does: long-path forms, UTF-16 at the
// boundary, and the system's own drives.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/LongPath.h"
#include "platform/win32/ModulePath.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/WinApi.h"

namespace {

using platform::ToLongPath;
using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

TEST(Win32Paths, FullPathsGetTheLongPathPrefix) {
    EXPECT_EQ(ToLongPath("C:"), L"\\\\?\\C:\\");
    EXPECT_EQ(ToLongPath("c:\\"), L"\\\\?\\c:\\");
    EXPECT_EQ(ToLongPath("C:\\Audio\\Term"), L"\\\\?\\C:\\Audio\\Term");
    EXPECT_EQ(ToLongPath("C:/Audio/Term"), L"\\\\?\\C:\\Audio\\Term");
    EXPECT_EQ(ToLongPath("\\\\server\\share\\Data"), L"\\\\?\\UNC\\server\\share\\Data");
    EXPECT_EQ(ToLongPath("\\\\?\\D:\\x"), L"\\\\?\\D:\\x");
    // Not full paths: the prefix would change what they mean.
    EXPECT_EQ(ToLongPath("C:name"), L"C:name");
    EXPECT_EQ(ToLongPath("Data\\QBank.cxt"), L"Data\\QBank.cxt");
}

TEST(Win32Paths, ThePrefixComesOffForShowing) {
    EXPECT_EQ(platform::WithoutLongPrefix(L"\\\\?\\C:\\Updater\\Update.exe"),
              L"C:\\Updater\\Update.exe");
    EXPECT_EQ(platform::WithoutLongPrefix(L"\\\\?\\UNC\\server\\share\\Update.exe"),
              L"\\\\server\\share\\Update.exe");
    EXPECT_EQ(platform::WithoutLongPrefix(L"D:\\Update.exe"), L"D:\\Update.exe");
}

TEST(Win32Text, Utf8AndUtf16CarryEveryCharacterBothWays) {
    const std::string text = "実　行 ｲﾝｽﾄｰﾙ 한국어 😀 ü";
    const std::wstring wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide,
              L"\u5B9F\u3000\u884C \uFF72\uFF9D\uFF7D\uFF84\uFF70\uFF99 "
              L"\uD55C\uAD6D\uC5B4 \xD83D\xDE00 \u00FC");
    EXPECT_EQ(Utf16ToUtf8(wide), text);
    EXPECT_EQ(Utf8ToUtf16(""), L"");
    EXPECT_EQ(Utf16ToUtf8(L""), "");
}

// NTFS names may hold unpaired surrogates; each must lead back to its file.
TEST(Win32Text, UnpairedSurrogatesRoundTripAndOnlyBadBytesAreReplaced) {
    const struct {
        std::wstring wide;
        std::string narrow;
    } roundTrips[] = {
        {std::wstring(L"a\xD800"), "a\xED\xA0\x80"},
        {std::wstring(L"\xDFFF!"), "\xED\xBF\xBF!"},
        {std::wstring(L"\xDC00\xD800"), "\xED\xB0\x80\xED\xA0\x80"},  // reversed pair
        {std::wstring(L"\xD83D\xDE00\xD83D"), "\xF0\x9F\x98\x80\xED\xA0\xBD"},
        {std::wstring(L"\xFFFF\x7FF\x80"), "\xEF\xBF\xBF\xDF\xBF\xC2\x80"},
    };
    for (const auto& [wide, narrow] : roundTrips) {
        EXPECT_EQ(Utf16ToUtf8(wide), narrow);
        EXPECT_EQ(Utf8ToUtf16(narrow), wide) << narrow;
    }
    const struct {
        std::string narrow;
        std::wstring wide;
    } replaced[] = {
        {"a\xFF!", L"a\uFFFD!"},
        {"\xC0\xAF", L"\uFFFD\uFFFD"},                      // over-long '/'
        {"\xE0\x80\xAF", L"\uFFFD\uFFFD\uFFFD"},            // over-long too
        {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
        {"\xE5\xAE!", L"\uFFFD!"},                          // cut short
    };
    for (const auto& [narrow, wide] : replaced)
        EXPECT_EQ(Utf8ToUtf16(narrow), wide) << narrow;
    EXPECT_EQ(platform::WellFormedUtf8("a\xED\xA0\x80\xF0\x9F\x98\x80"),
              "a\xEF\xBF\xBD\xF0\x9F\x98\x80");
}

TEST(Win32Drives, TheSystemDriveIsInUseFixedAndListable) {
    platform::Win32FileSystem fs;
    EXPECT_TRUE(fs.LogicalDrives() & (1u << 2));
    EXPECT_EQ(fs.GetDriveType('C'), platform::DriveType::Fixed);
    EXPECT_TRUE(fs.IsFolder("C:"));
    int entries = 0;
    EXPECT_TRUE(fs.ListFolder("C:", [&](const platform::FolderEntry&) { return ++entries > 0; }));
    EXPECT_GT(entries, 0);
    // A letter with nothing behind it.
    for (char letter = 'Z'; letter >= 'D'; --letter) {
        if (!(fs.LogicalDrives() & (1u << (letter - 'A')))) {
            EXPECT_EQ(fs.GetDriveType(letter), platform::DriveType::NoRootDir) << letter;
            EXPECT_FALSE(fs.ListFolder(std::string{letter, ':'}, [](const auto&) { return true; }));
            break;
        }
    }
}

// GetModuleFileNameW cuts a path that does not fit its buffer. (A program
// cannot be started from a path beyond 260 characters, under Wine or without
// long-path awareness, so the growing is tested from a small first buffer.)
TEST(Win32OwnFolder, TheModulePathIsReadWholeWhateverTheFirstBuffer) {
    const std::wstring path = platform::ModuleFileName(nullptr);
    EXPECT_TRUE(path.ends_with(L"\\platform_files_test.exe")) << Utf16ToUtf8(path);
    EXPECT_EQ(platform::ModuleFileName(nullptr, 1), path);
    EXPECT_EQ(platform::ModuleFileName(nullptr, path.size()), path);
    EXPECT_EQ(platform::Win32FileSystem().OwnExecutableFolder(),
              Utf16ToUtf8(path.substr(0, path.rfind(L'\\') + 1)));
}

}  // namespace
