// The object behind a window: the window procedure finds it from the handle
// (stored at WM_NCCREATE from CreateWindowEx's last argument) and hands every
// message to its member HandleMessage. No exception leaves the window
// procedure: whatever a handler throws is shown to the user by the object's
// ShowFailure and the message counts as handled.
//
// Derived provides:
//   LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
//   static LRESULT DefaultProc(HWND, UINT, WPARAM, LPARAM);  // for messages before WM_NCCREATE
//   void ShowFailure(const std::exception_ptr& failure) noexcept;
#pragma once

#include "platform/win32/WinApi.h"

#include <exception>

namespace ui {

template <class Derived>
class BaseWindow {
  public:
    HWND Handle() const { return hwnd_; }

    BaseWindow(const BaseWindow&) = delete;
    BaseWindow& operator=(const BaseWindow&) = delete;

  protected:
    BaseWindow() = default;
    ~BaseWindow() = default;

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        Derived* self = nullptr;
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            self = static_cast<Derived*>(create->lpCreateParams);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            self->hwnd_ = hwnd;
        } else {
            self = reinterpret_cast<Derived*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        }
        // A few messages (WM_GETMINMAXINFO) arrive before WM_NCCREATE.
        if (self == nullptr)
            return Derived::DefaultProc(hwnd, message, wParam, lParam);

        LRESULT result = 0;
        try {
            result = self->HandleMessage(message, wParam, lParam);
        } catch (...) {
            self->ShowFailure(std::current_exception());
        }
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
        }
        return result;
    }

    HWND hwnd_ = nullptr;
};

}  // namespace ui
