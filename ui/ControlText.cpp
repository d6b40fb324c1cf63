#include "ui/ControlText.h"

#include "ui/WideText.h"

namespace ui {

std::string GetText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return Narrow(text);
}

void SetText(HWND control, std::string_view text) {
    SetWindowTextW(control, Widen(text).c_str());
}

}  // namespace ui
