#include "ui/WindowClass.h"

#include "platform/win32/Utf16.h"
#include "ui/Win32Error.h"

namespace ui {

void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC windowProc,
                         HBRUSH background, int windowExtra) {
    WNDCLASSEXW windowClass{};
    if (GetClassInfoExW(instance, name, &windowClass))
        return;
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.cbWndExtra = windowExtra;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    if (RegisterClassExW(&windowClass) == 0)
        ThrowLastError("RegisterClassEx");
}

HWND CreateChild(HINSTANCE instance, HWND parent, DWORD exStyle, const wchar_t* className,
                 std::string_view text, DWORD style, int id, const RECT& bounds, const char* what) {
    const HWND child = CreateWindowExW(
        exStyle, className, platform::Utf8ToUtf16(text).c_str(), WS_CHILD | WS_VISIBLE | style,
        bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (child == nullptr)
        ThrowLastError(what);
    return child;
}

}  // namespace ui
