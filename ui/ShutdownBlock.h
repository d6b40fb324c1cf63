// Holds a log-off or shut-down while an installation is being changed: the
// change itself is made whole or undone whatever happens, but a machine that
// goes down half way leaves it for the next run to repair. The system shows
// the reason given here and lets the user wait or go on regardless.
#pragma once

#include "platform/win32/WinApi.h"

#include <chrono>
#include <functional>
#include <optional>

namespace ui {

// How long WM_ENDSESSION waits for the run to stop before the log is finished
// without it. The system gives a program some five seconds before it tells the
// user which one holds the log-off up; a stopped search ends in well under one.
inline constexpr std::chrono::milliseconds kSessionEndWait{4000};

// Posted to the window that holds the block, by the worker's thread, as an
// installation begins (wParam TRUE) or ends (FALSE) being changed: the system
// takes the reason only from the thread that made the window.
inline constexpr UINT kChangingInstallation = WM_APP + 1;

class ShutdownBlock {
  public:
    // From any thread: tells `window` that an installation begins or ends
    // being changed; its ShutdownBlock takes the message up in Handle.
    static void Post(HWND window, bool changing) noexcept;

    // On the thread of `window`, for each of its messages: holds or lets go
    // on kChangingInstallation, and answers WM_QUERYENDSESSION once `stopRun`
    // has asked the run to wind down (the installation under way, if any, is
    // finished meanwhile). nullopt for every other message.
    std::optional<LRESULT> Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  const std::function<void()>& stopRun);

    // True as an installation begins to be changed, false once it is all old
    // or all new again. Only the thread that made `window` may call this.
    void Hold(HWND window, bool changing) noexcept;

    // The answer to WM_QUERYENDSESSION given `reasons` (its lParam): no
    // while an installation is being changed, unless the end is critical
    // and will come whatever anyone answers.
    BOOL AllowsEndOfSession(LPARAM reasons) const noexcept;

  private:
    bool held_ = false;
};

}  // namespace ui
