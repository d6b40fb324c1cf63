#include "ui/Dpi.h"

#include "ui/ScopedDc.h"

namespace ui {

namespace {

// Looks up a user32 function that older Windows versions lack.
template <class Function>
Function User32Function(const char* name) {
    const FARPROC address = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);

UINT ScreenDpi() {
    const int dpi = GetDeviceCaps(ScopedDc(nullptr).Get(), LOGPIXELSY);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

}  // namespace

UINT WindowDpi(HWND window) {
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0)
            return dpi;
    }
    return ScreenDpi();
}

}  // namespace ui
