// The taskbar button's progress bar (ITaskbarList3, Windows 7 and later) and
// its flashing. Thin: what to show is decided in TaskbarProgress.h. Where the
// shell offers no taskbar list, as under some Wine versions, nothing shows.
#pragma once

#include "platform/win32/WinApi.h"

#include <shobjidl.h>

#include <memory>

#include "ui/TaskbarProgress.h"

namespace ui {

class TaskbarButton {
  public:
    TaskbarButton() = default;
    ~TaskbarButton();
    TaskbarButton(const TaskbarButton&) = delete;
    TaskbarButton& operator=(const TaskbarButton&) = delete;

    // Shows `progress` on the button of `window`, unless it shows it already.
    // On the UI thread only.
    void Show(HWND window, const ButtonProgress& progress);

    // Flashes the button of `window` until StopFlashing (or until `window`
    // itself comes to the front).
    static void Flash(HWND window);
    static void StopFlashing(HWND window);

  private:
    struct Release {
        void operator()(ITaskbarList3* list) const { list->Release(); }
    };

    bool Connect();

    bool triedToConnect_ = false;
    bool comStarted_ = false;
    std::unique_ptr<ITaskbarList3, Release> list_;
    ButtonProgress shown_;
};

}  // namespace ui
