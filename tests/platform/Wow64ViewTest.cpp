// The worker's view of System32: a 32-bit build under WOW64 (Wine runs one
// so in its 64-bit prefix) sees the true System32 on the thread that holds
// the view, and only there and only then; a 64-bit build sees it always.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>

#include "platform/Sha256.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32FileError.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/WinApi.h"

namespace {

using platform::Win32FileSystem;

std::string Folder(UINT(WINAPI* get)(LPWSTR, UINT)) {
    wchar_t path[MAX_PATH];
    const UINT length = get(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? platform::Utf16ToUtf8({path, length}) : "";
}

std::set<std::string> Listing(Win32FileSystem& fs, const std::string& folder) {
    std::set<std::string> names;
    EXPECT_TRUE(fs.ListFolder(folder, [&](const platform::FolderEntry& entry) {
        names.emplace(entry.name);
        return true;
    })) << folder;
    return names;
}

bool UnderWow64() {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

TEST(Wow64View, TheThreadHoldingItSeesSystem32AsItIs) {
    const std::string system32 = Folder(GetSystemDirectoryW);
    const std::string sysWow64 = Folder(GetSystemWow64DirectoryW);
    if (sysWow64.empty())
        GTEST_SKIP() << "32-bit Windows: there is nothing to redirect";
    Win32FileSystem fs;
    const auto sysWow64Names = Listing(fs, sysWow64);
    // Redirected, System32 is SysWOW64 under another name.
    const bool redirected = UnderWow64();
    EXPECT_EQ(Listing(fs, system32) == sysWow64Names, redirected);
    {
        const auto view = fs.SeeFoldersAsTheyAre();
        EXPECT_NE(Listing(fs, system32), sysWow64Names);
        // The window's thread goes on loading its 32-bit DLLs from SysWOW64.
        std::thread other([&] { EXPECT_EQ(Listing(fs, system32) == sysWow64Names, redirected); });
        other.join();
    }
    EXPECT_EQ(Listing(fs, system32) == sysWow64Names, redirected);
}

TEST(Wow64View, TheWorkersSystemCallsWorkWhileItIsHeld) {
    Win32FileSystem fs;
    const auto view = fs.SeeFoldersAsTheyAre();
    platform::Sha256 hash;
    hash.Update(std::as_bytes(std::span(std::string_view("abc"))));
    EXPECT_EQ(platform::ToHex(hash.Finish()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_NE(platform::SystemMessage(ERROR_ACCESS_DENIED), "Error 5");
}

}  // namespace
