// The privileges that take a folder back hold on the thread that asked for
// them, and only while it holds them: the search and the window, on threads
// of their own, keep opening folders without them meanwhile.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <thread>

#include "platform/win32/OwnerAndList.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/WinApi.h"

namespace {

// Per privilege (take ownership, restore, backup): not held, held, enabled.
enum class State { Absent, Held, Enabled };
using States = std::array<State, 3>;

const wchar_t* const kNames[] = {SE_TAKE_OWNERSHIP_NAME, SE_RESTORE_NAME, SE_BACKUP_NAME};

States StatesOf(HANDLE token) {
    States states{};
    alignas(TOKEN_PRIVILEGES) BYTE buffer[4096];
    DWORD size = 0;
    EXPECT_TRUE(GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &size));
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
    for (std::size_t i = 0; i < states.size(); ++i) {
        LUID luid{};
        EXPECT_TRUE(LookupPrivilegeValueW(nullptr, kNames[i], &luid));
        for (DWORD j = 0; j < privileges->PrivilegeCount; ++j) {
            const LUID_AND_ATTRIBUTES& each = privileges->Privileges[j];
            if (each.Luid.LowPart == luid.LowPart && each.Luid.HighPart == luid.HighPart)
                states[i] = (each.Attributes & SE_PRIVILEGE_ENABLED) ? State::Enabled : State::Held;
        }
    }
    return states;
}

platform::ScopedHandle ProcessToken() {
    HANDLE raw = nullptr;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, &raw));
    return platform::ScopedHandle(raw);
}

// The calling thread's impersonation token; none when it has none.
platform::ScopedHandle ThreadToken() {
    HANDLE raw = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &raw)) {
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));
        return {};
    }
    return platform::ScopedHandle(raw);
}

void SetOnProcess(const States& states) {
    const platform::ScopedHandle token = ProcessToken();
    for (std::size_t i = 0; i < states.size(); ++i) {
        TOKEN_PRIVILEGES one{1, {{{}, states[i] == State::Enabled ? SE_PRIVILEGE_ENABLED : 0u}}};
        if (states[i] != State::Absent &&
            LookupPrivilegeValueW(nullptr, kNames[i], &one.Privileges[0].Luid)) {
            EXPECT_TRUE(AdjustTokenPrivileges(token.Get(), FALSE, &one, 0, nullptr, nullptr));
        }
    }
}

TEST(RecoveryPrivileges, AreEnabledOnTheCallingThreadOnlyAndOnlyWhileHeld) {
    const States before = StatesOf(ProcessToken().Get());
    // Off on the process, as an administrator's token has them: enabling
    // them there would show.
    States off = before;
    for (State& each : off)
        each = each == State::Absent ? State::Absent : State::Held;
    SetOnProcess(off);
    States enabled = off;
    for (State& each : enabled)
        each = each == State::Held ? State::Enabled : State::Absent;
    std::printf("recovery privileges the account holds: %d of 3\n",
                int(std::count(enabled.begin(), enabled.end(), State::Enabled)));
    ASSERT_FALSE(ThreadToken());
    {
        const platform::RecoveryPrivileges outer;
        EXPECT_EQ(StatesOf(ProcessToken().Get()), off);
        const platform::ScopedHandle token = ThreadToken();
        ASSERT_TRUE(token);
        EXPECT_EQ(StatesOf(token.Get()), enabled);
        bool otherHasToken = true;
        std::thread([&] { otherHasToken = bool(ThreadToken()); }).join();
        EXPECT_FALSE(otherHasToken);
        {
            const platform::RecoveryPrivileges inner;
            EXPECT_EQ(StatesOf(ThreadToken().Get()), enabled);
        }
        // The outer one's token is back, not none.
        const platform::ScopedHandle after = ThreadToken();
        ASSERT_TRUE(after);
        EXPECT_EQ(StatesOf(after.Get()), enabled);
        EXPECT_EQ(StatesOf(ProcessToken().Get()), off);
    }
    EXPECT_FALSE(ThreadToken());
    EXPECT_EQ(StatesOf(ProcessToken().Get()), off);
    SetOnProcess(before);
}

}  // namespace
