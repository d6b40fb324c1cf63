// Registration of the program's own window classes.
#pragma once

#include "platform/win32/WinApi.h"

namespace ui {

// Registers `name` once per module (a second call finds it and returns), with
// the arrow cursor and `background` (nullptr: the window paints its own).
// `windowExtra` reserves bytes per window, as the dialog manager needs
// (DLGWINDOWEXTRA). Throws std::system_error when registration fails.
void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC windowProc,
                         HBRUSH background, int windowExtra = 0);

}  // namespace ui
