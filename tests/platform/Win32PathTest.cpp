// What only the Win32 implementation does: long-path forms, UTF-16 at the
// boundary, and the system's own drives.
#include <gtest/gtest.h>

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
    EXPECT_EQ(platform::JoinPath(L"\\\\?\\C:\\", L"a"), L"\\\\?\\C:\\a");
    EXPECT_EQ(platform::JoinPath(L"\\\\?\\C:\\a", L"b"), L"\\\\?\\C:\\a\\b");
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
    // What cannot be converted becomes U+FFFD rather than vanishing.
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              L"a\uFFFDb");
    EXPECT_EQ(Utf16ToUtf8(std::wstring(L"a\xD800"
                                       L"b")),
              "a\xEF\xBF\xBD"
              "b");
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
