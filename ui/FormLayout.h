// Where Form1's controls come from and where they sit: the frame's style, the
// controls made in tab order, the system menu cut down to Move and Close, the
// fonts and bounds for a dpi, and the place on the desktop. Form1 itself only
// runs and stops.
#pragma once

#include "platform/win32/WinApi.h"

#include "ui/DialogFont.h"
#include "ui/LogBox.h"

namespace ui {

// A fixed dialog frame: caption and close box, no sizing border, no
// minimise or maximise box, and (with the modal frame) no icon.
inline constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
inline constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;

// The form's window and controls; the form's window procedure owns their
// handles' lifetime (they go with the window), the layout owns the fonts.
class FormLayout {
  public:
    // The window rectangle, about its 96-dpi size in the middle of the
    // desktop, at which the form is made so that it starts on the screen
    // whose dpi it is then laid out for.
    static RECT FirstPlace();

    // Makes the controls inside `form`, already created, in tab order, and
    // lays them out for the form's dpi.
    void CreateControls(HINSTANCE instance, HWND form);
    // Fonts, bounds and the client size for `dpi`.
    void LayOut(UINT dpi);
    // In the middle of the desktop, the first time only.
    void PlaceOnce();

    HWND Button1 = nullptr;
    HWND Button2 = nullptr;
    HWND Label2 = nullptr;
    HWND Panel1 = nullptr;
    HWND Label1 = nullptr;
    LogBox Memo1;

  private:
    void KeepOnlyMoveAndCloseInSystemMenu();
    void SetClientSize(int width, int height);

    HWND form_ = nullptr;
    UniqueFont windowFont_;
    UniqueFont headingFont_;
    bool placed_ = false;
};

}  // namespace ui
