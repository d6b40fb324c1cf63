// Holds a log-off or shut-down while an installation is being changed: the
// change itself is made whole or undone whatever happens, but a machine that
// goes down half way leaves it for the next run to repair. The system shows
// the reason given here and lets the user wait or go on regardless.
#pragma once

#include "platform/win32/WinApi.h"

namespace ui {

class ShutdownBlock {
  public:
    // True as an installation begins to be changed, false once it is all old
    // or all new again. Only the thread that made `window` may call this:
    // the system refuses the reason from any other, so the worker posts.
    void Hold(HWND window, bool changing) noexcept;

    // The answer to WM_QUERYENDSESSION given `reasons` (its lParam): no
    // while an installation is being changed, unless the end is critical
    // and will come whatever anyone answers.
    BOOL AllowsEndOfSession(LPARAM reasons) const noexcept;

  private:
    bool held_ = false;
};

}  // namespace ui
