// The one message that says an installation is being changed, and the
// answer to the session's question that follows from it, as the window and
// the run without a window both take them up.
#include "platform/win32/WinApi.h"

#include <gtest/gtest.h>

#include <optional>

#include "ui/ShutdownBlock.h"

namespace {

TEST(ShutdownBlock, HeldOnlyWhileAnInstallationIsBeingChanged) {
    const HWND window = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    constexpr LPARAM kLogOff = ENDSESSION_LOGOFF;
    constexpr LPARAM kCritical = ENDSESSION_CRITICAL;
    const struct {
        UINT message;
        int stops;  // the run's stop requests so far, this one's included
        WPARAM wParam;
        LPARAM lParam;
        std::optional<LRESULT> answer;
    } steps[] = {
        // clang-format off
        {WM_QUERYENDSESSION,         1, 0,     kLogOff,   TRUE},
        {ui::kChangingInstallation,  1, TRUE,  0,         0},
        {WM_QUERYENDSESSION,         2, 0,     kLogOff,   FALSE},
        {WM_QUERYENDSESSION,         3, 0,     0,         FALSE},
        {WM_QUERYENDSESSION,         4, 0,     kCritical, TRUE},
        {ui::kChangingInstallation,  4, TRUE,  0,         0},
        {WM_PAINT,                   4, 0,     0,         std::nullopt},
        {WM_APP,                     4, TRUE,  0,         std::nullopt},
        {ui::kChangingInstallation,  4, FALSE, 0,         0},
        {WM_QUERYENDSESSION,         5, 0,     kLogOff,   TRUE},
        // clang-format on
    };
    ui::ShutdownBlock block;
    int stops = 0;
    int step = 0;
    for (const auto& each : steps) {
        EXPECT_EQ(block.Handle(window, each.message, each.wParam, each.lParam, [&] { ++stops; }),
                  each.answer)
            << "step " << step;
        EXPECT_EQ(stops, each.stops) << "step " << step;
        ++step;
    }
    // What the worker posts arrives as that message.
    ui::ShutdownBlock::Post(window, true);
    MSG posted{};
    ASSERT_TRUE(PeekMessageW(&posted, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(posted.message, ui::kChangingInstallation);
    EXPECT_EQ(posted.wParam, static_cast<WPARAM>(TRUE));
    DestroyWindow(window);
}

}  // namespace
