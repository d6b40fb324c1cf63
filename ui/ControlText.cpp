#include "ui/ControlText.h"

#include "platform/win32/Utf16.h"

namespace ui {

std::string GetText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return platform::Utf16ToUtf8(text);
}

void SetText(HWND control, std::string_view text) {
    SetWindowTextW(control, platform::Utf8ToUtf16(text).c_str());
}

}  // namespace ui
