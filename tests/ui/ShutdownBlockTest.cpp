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
        WPARAM wParam;
        LPARAM lParam;
        std::optional<LRESULT> answer;
        int stops;  // the run's stop requests so far
    } steps[] = {
        {WM_QUERYENDSESSION, 0, kLogOff, TRUE, 1},   {ui::kChangingInstallation, TRUE, 0, 0, 1},
        {WM_QUERYENDSESSION, 0, kLogOff, FALSE, 2},  {WM_QUERYENDSESSION, 0, 0, FALSE, 3},
        {WM_QUERYENDSESSION, 0, kCritical, TRUE, 4}, {ui::kChangingInstallation, TRUE, 0, 0, 4},
        {WM_PAINT, 0, 0, std::nullopt, 4},           {WM_APP, TRUE, 0, std::nullopt, 4},
        {ui::kChangingInstallation, FALSE, 0, 0, 4}, {WM_QUERYENDSESSION, 0, kLogOff, TRUE, 5},
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
