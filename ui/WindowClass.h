// Registration of the program's own window classes, and the making of the
// child windows that fill them.
#pragma once

#include "platform/win32/WinApi.h"

#include <string_view>

namespace ui {

// Registers `name` once per module (a second call finds it and returns), with
// the arrow cursor and `background` (nullptr: the window paints its own).
// `windowExtra` reserves bytes per window, as the dialog manager needs
// (DLGWINDOWEXTRA). Throws std::system_error when registration fails.
void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC windowProc,
                         HBRUSH background, int windowExtra = 0);

// A visible child window of `parent` with the control id `id`, at `bounds`
// (in the parent's client area; empty for one laid out later). Throws
// std::system_error naming `what` when it cannot be made.
HWND CreateChild(HINSTANCE instance, HWND parent, DWORD exStyle, const wchar_t* className,
                 std::string_view text, DWORD style, int id, const RECT& bounds, const char* what);

}  // namespace ui
