#include "ui/ApplicationWindow.h"

#include "platform/win32/Utf16.h"
#include "ui/ControlIds.h"
#include "ui/ErrorBox.h"
#include "ui/Win32Error.h"
#include "ui/WindowClass.h"

namespace ui {

namespace {

// Posted to itself when it got the focus, to hand it on once the activation
// that brought it is over.
constexpr UINT kFocusMainWindow = WM_APP;

}  // namespace

ApplicationWindow::~ApplicationWindow() {
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
}

void ApplicationWindow::Create(HINSTANCE instance, std::string_view title) {
    RegisterWindowClass(instance, kApplicationClassName, WindowProc, nullptr);
    // No size, in the middle of the primary screen: visible to the task bar
    // and to Alt+Tab, never on the screen.
    const int left = GetSystemMetrics(SM_CXSCREEN) / 2;
    const int top = GetSystemMetrics(SM_CYSCREEN) / 2;
    if (CreateWindowExW(0, kApplicationClassName, platform::Utf8ToUtf16(title).c_str(),
                        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS, left, top, 0, 0,
                        nullptr, nullptr, instance, this) == nullptr) {
        ThrowLastError("CreateWindowEx (application)");
    }
}

void ApplicationWindow::Show() {
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
}

LRESULT ApplicationWindow::DefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

void ApplicationWindow::ShowFailure(const std::exception_ptr& failure) noexcept {
    ShowFailureBox(mainWindow_, failure,
                   [&](const std::string& message) { ShowErrorBox(mainWindow_, message); });
}

LRESULT ApplicationWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETFOCUS:
            PostMessageW(hwnd_, kFocusMainWindow, 0, 0);
            return 0;
        case kFocusMainWindow:
            // Still ours: give it to the main window, or to the error box
            // that has disabled it.
            if (mainWindow_ != nullptr && GetFocus() == hwnd_ && IsWindowVisible(mainWindow_)) {
                const HWND target =
                    IsWindowEnabled(mainWindow_) ? mainWindow_ : GetLastActivePopup(mainWindow_);
                SetFocus(target);
            }
            return 0;
        case WM_CLOSE:
            // The task-bar button's Close, Alt+F4 while the button is active.
            if (mainWindow_ != nullptr)
                PostMessageW(mainWindow_, WM_CLOSE, 0, 0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace ui
