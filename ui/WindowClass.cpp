#include "ui/WindowClass.h"

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

}  // namespace ui
