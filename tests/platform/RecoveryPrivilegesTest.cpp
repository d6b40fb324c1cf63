// The privileges that take a folder back hold on the thread that asked for
// them, and only meanwhile: the search and the window open folders without.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <span>
#include <thread>

#include "platform/win32/OwnerAndList.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/WinApi.h"

namespace {

struct Privileges {
    DWORD count = 3;
    LUID_AND_ATTRIBUTES each[3] = {};
};

// Per privilege (take ownership, restore, backup): 0 not held, 1 held, 2 enabled.
std::array<int, 3> StatesOf(HANDLE token, const Privileges& wanted) {
    alignas(TOKEN_PRIVILEGES) BYTE buffer[4096] = {};
    DWORD size = 0;
    EXPECT_TRUE(GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &size));
    const auto& held = *reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
    std::array<int, 3> states{};
    for (std::size_t i = 0; i < states.size(); ++i)
        for (const LUID_AND_ATTRIBUTES& one : std::span(held.Privileges, held.PrivilegeCount))
            if (std::memcmp(&one.Luid, &wanted.each[i].Luid, sizeof(LUID)) == 0)
                states[i] = (one.Attributes & SE_PRIVILEGE_ENABLED) ? 2 : 1;
    return states;
}

// The process's token, or the calling thread's (none when it has none).
platform::ScopedHandle Token(bool thread) {
    HANDLE raw = nullptr;
    if (thread ? OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &raw)
               : OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, &raw))
        return platform::ScopedHandle(raw);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));
    return {};
}

TEST(RecoveryPrivileges, AreEnabledOnTheCallingThreadOnlyAndOnlyWhileHeld) {
    Privileges off;  // all attributes 0: disabled
    const wchar_t* names[] = {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME, SE_BACKUP_NAME};
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(LookupPrivilegeValueW(nullptr, names[i], &off.each[i].Luid));
    // Disabled on the process first, as an administrator's token has them:
    // enabling them there would show.
    const platform::ScopedHandle process = Token(false);
    Privileges before;
    AdjustTokenPrivileges(process.Get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(&off),
                          sizeof before, reinterpret_cast<TOKEN_PRIVILEGES*>(&before), nullptr);
    const auto disabled = StatesOf(process.Get(), off);
    auto enabled = disabled;
    for (int& each : enabled)
        each *= 2;
    ASSERT_FALSE(Token(true));
    {
        const platform::RecoveryPrivileges outer;
        EXPECT_EQ(StatesOf(Token(true).Get(), off), enabled);
        bool otherHasOne = true;
        std::thread([&] { otherHasOne = bool(Token(true)); }).join();
        EXPECT_FALSE(otherHasOne);
        {
            const platform::RecoveryPrivileges inner;
            EXPECT_EQ(StatesOf(Token(true).Get(), off), enabled);
        }
        EXPECT_EQ(StatesOf(Token(true).Get(), off), enabled);  // the outer's, not none
        EXPECT_EQ(StatesOf(process.Get(), off), disabled);
    }
    EXPECT_FALSE(Token(true));
    EXPECT_EQ(StatesOf(process.Get(), off), disabled);
    AdjustTokenPrivileges(process.Get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(&before), 0,
                          nullptr, nullptr);
}

}  // namespace
