// Reading and setting a control's text in UTF-8.
#pragma once

#include "platform/win32/WinApi.h"

#include <string>
#include <string_view>

namespace ui {

std::string GetText(HWND control);
void SetText(HWND control, std::string_view text);

}  // namespace ui
