// Dots per inch of the screen a window is on, and the scaling of the layout
// designed at 96 dpi. The per-monitor functions exist from Windows 10 (1607)
// on; on older systems the whole desktop has the one system dpi.
#pragma once

#include "platform/win32/WinApi.h"

#include "ui/Layout.h"

namespace ui {

inline constexpr UINT kDesignDpi = 96;

UINT WindowDpi(HWND window);

inline int Scale(int value96, UINT dpi) {
    return MulDiv(value96, static_cast<int>(dpi), kDesignDpi);
}

inline RECT Scale(const Bounds96& bounds, UINT dpi) {
    const int left = Scale(bounds.left, dpi);
    const int top = Scale(bounds.top, dpi);
    // Right and bottom edges are scaled, not the sizes, so that neighbours
    // designed to touch still touch after rounding.
    return RECT{left, top, Scale(bounds.left + bounds.width, dpi),
                Scale(bounds.top + bounds.height, dpi)};
}

}  // namespace ui
