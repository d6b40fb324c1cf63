// The only messages the window ever shows: an error box captioned with the
// application title, for a worker that could not be started and for any
// failure that escapes a window handler.
#pragma once

#include "platform/win32/WinApi.h"

#include <exception>
#include <string>
#include <string_view>
#include <system_error>

namespace ui {

// Shows `message` with the error icon and an OK button, owned by `owner`.
void ShowErrorBox(HWND owner, std::string_view message) noexcept;

// The text of an error box for a failure that reached a window procedure:
// the failure's own description, ended with "." unless it already ends in a
// character that sorts at or before "." (so "…failed" becomes "…failed.",
// while "…failed." and "…failed!" stay as they are).
std::string FailureMessage(const std::exception_ptr& failure);
std::string WithClosingFullStop(std::string message);

// Shows a failure that escaped a window handler: its message, through `show`
// (an error box of the window's choosing); should wording or showing it fail
// too, a bare "?" in an error box owned by `owner`.
template <typename Show>
void ShowFailureBox(HWND owner, const std::exception_ptr& failure, Show&& show) noexcept {
    try {
        show(FailureMessage(failure));
    } catch (...) {
        ShowErrorBox(owner, "?");
    }
}

}  // namespace ui
