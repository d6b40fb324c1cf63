// A raised panel that holds other controls. It paints the button-face colour
// with a one-pixel raised bevel and shows no caption. Its children's
// notifications and colour requests go to their parent, the panel; the panel
// passes them on to its own parent, so the window that owns the controls
// handles them as if the controls were its own. Tab and arrow keys reach the
// children because the panel is a control parent.
#pragma once

#include "platform/win32/WinApi.h"

namespace ui {

HWND CreateRaisedPanel(HINSTANCE instance, HWND parent, int id, const RECT& bounds);

}  // namespace ui
