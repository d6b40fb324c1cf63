// The application's own window: never seen itself (it has no size), it
// carries the task-bar button labelled with the application title, and it
// owns the main window, which thus has no task-bar button of its own. A
// click on the button brings the main window forward; the button's Close
// closes the main window.
#pragma once

#include "platform/win32/WinApi.h"

#include <exception>
#include <string_view>

#include "ui/BaseWindow.h"

namespace ui {

class ApplicationWindow : public BaseWindow<ApplicationWindow> {
  public:
    ApplicationWindow() = default;
    ~ApplicationWindow();

    void Create(HINSTANCE instance, std::string_view title);
    // The window that activation and Close are handed on to.
    void SetMainWindow(HWND mainWindow) { mainWindow_ = mainWindow; }
    // Shows the task-bar button (the window itself stays without size).
    void Show();

  private:
    friend class BaseWindow<ApplicationWindow>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT DefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void ShowFailure(const std::exception_ptr& failure) noexcept;

    HWND mainWindow_ = nullptr;
};

}  // namespace ui
