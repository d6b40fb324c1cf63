#include "ui/FormLayout.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "engine/Texts.h"
#include "platform/win32/Utf16.h"
#include "ui/ControlIds.h"
#include "ui/ControlText.h"
#include "ui/Dpi.h"
#include "ui/Layout.h"
#include "ui/RaisedPanel.h"
#include "ui/ScopedDc.h"
#include "ui/Texts.h"
#include "ui/WindowClass.h"

namespace ui {

namespace {

void Move(HWND control, const RECT& bounds) {
    MoveWindow(control, bounds.left, bounds.top, bounds.right - bounds.left,
               bounds.bottom - bounds.top, TRUE);
}

HWND CreateControl(HINSTANCE instance, HWND parent, const wchar_t* className, std::string_view text,
                   DWORD style, int id) {
    // Laid out once every control exists and the font is known.
    return CreateChild(instance, parent, 0, className, text, style, id, RECT{},
                       "CreateWindowEx (control)");
}

// The size of a one-line text as a static control draws it in `font`.
SIZE MeasureText(HWND control, HFONT font) {
    const std::wstring text = platform::Utf8ToUtf16(GetText(control));
    const ScopedDc dc(control);
    const ScopedSelection selection(dc.Get(), font);
    RECT extent{0, 0, 0, 0};
    DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return SIZE{extent.right - extent.left, extent.bottom - extent.top};
}

// Where a window of the given size sits in the middle of the desktop, which
// is the whole virtual screen, all monitors together; never beyond its top
// or left edge.
POINT MiddleOfDesktop(int width, int height) {
    return POINT{GetSystemMetrics(SM_XVIRTUALSCREEN) +
                     std::max(0, (GetSystemMetrics(SM_CXVIRTUALSCREEN) - width) / 2),
                 GetSystemMetrics(SM_YVIRTUALSCREEN) +
                     std::max(0, (GetSystemMetrics(SM_CYVIRTUALSCREEN) - height) / 2)};
}

}  // namespace

RECT FormLayout::FirstPlace() {
    RECT size96{0, 0, kClientWidth96, kClientHeight96};
    AdjustWindowRectEx(&size96, kFormStyle, FALSE, kFormExStyle);
    const int width = size96.right - size96.left;
    const int height = size96.bottom - size96.top;
    const POINT origin = MiddleOfDesktop(width, height);
    return RECT{origin.x, origin.y, origin.x + width, origin.y + height};
}

void FormLayout::CreateControls(HINSTANCE instance, HWND form) {
    form_ = form;
    // Creation order is tab order: Button1, Button2, then the log inside Panel1.
    Button1 = CreateControl(instance, form_, L"BUTTON", engine::text::kRunCaption,
                            WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, kButton1Id);
    Button2 = CreateControl(instance, form_, L"BUTTON", text::kCloseCaption,
                            WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, kButton2Id);
    Panel1 = CreateRaisedPanel(instance, form_, kPanel1Id, RECT{});
    // The status line shows folder paths as they are: an "&" is drawn, not
    // taken as an access key, and a long path is cut off at the right edge.
    Label1 =
        CreateControl(instance, Panel1, L"STATIC", "", SS_LEFTNOWORDWRAP | SS_NOPREFIX, kLabel1Id);
    Memo1.Create(instance, Panel1, kMemo1Id, RECT{});
    Label2 = CreateControl(instance, form_, L"STATIC", text::kHeading,
                           SS_LEFTNOWORDWRAP | SS_NOPREFIX, kLabel2Id);
    KeepOnlyMoveAndCloseInSystemMenu();
    LayOut(WindowDpi(form_));
}

void FormLayout::KeepOnlyMoveAndCloseInSystemMenu() {
    // Whatever else the system puts there (Restore, Size, Minimize, Maximize,
    // and under Wine its About entry) goes, and one separator stays between
    // the two.
    const HMENU menu = GetSystemMenu(form_, FALSE);
    bool separatorAbove = true;  // none at the top
    for (int i = 0; i < GetMenuItemCount(menu);) {
        const UINT id = GetMenuItemID(menu, i);
        const bool separator = id == 0;
        const bool keep = separator ? !separatorAbove : (id == SC_MOVE || id == SC_CLOSE);
        if (!keep) {
            DeleteMenu(menu, static_cast<UINT>(i), MF_BYPOSITION);
            continue;
        }
        separatorAbove = separator;
        ++i;
    }
    const int count = GetMenuItemCount(menu);
    if (count > 0 && GetMenuItemID(menu, count - 1) == 0) {
        DeleteMenu(menu, static_cast<UINT>(count - 1), MF_BYPOSITION);
    }
}

void FormLayout::LayOut(UINT dpi) {
    UniqueFont windowFont = CreateWindowFont(kWindowFontHeight96, dpi);
    UniqueFont headingFont = CreateWindowFont(kHeadingFontHeight96, dpi);
    for (HWND control : {Button1, Button2, Label1, Memo1.Handle()}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont.Get()), FALSE);
    }
    SendMessageW(Label2, WM_SETFONT, reinterpret_cast<WPARAM>(headingFont.Get()), FALSE);
    // The controls have let go of the old fonts; now they may be deleted.
    windowFont_ = std::move(windowFont);
    headingFont_ = std::move(headingFont);

    Move(Button1, Scale(kRunButton96, dpi));
    Move(Button2, Scale(kCloseButton96, dpi));
    Move(Panel1, Scale(kPanel96, dpi));
    Move(Label1, Scale(kStatusLine96, dpi));
    Move(Memo1.Handle(), Scale(kLog96, dpi));
    const SIZE heading = MeasureText(Label2, headingFont_.Get());
    MoveWindow(Label2, Scale(kHeadingLeft96, dpi), Scale(kHeadingTop96, dpi), heading.cx,
               heading.cy, TRUE);

    SetClientSize(Scale(kClientWidth96, dpi), Scale(kClientHeight96, dpi));
    InvalidateRect(form_, nullptr, TRUE);
}

void FormLayout::SetClientSize(int width, int height) {
    // The frame is measured rather than computed, so the client area comes
    // out exact whatever dpi the system draws the frame at.
    RECT window;
    RECT client;
    GetWindowRect(form_, &window);
    GetClientRect(form_, &client);
    const int frameWidth = (window.right - window.left) - client.right;
    const int frameHeight = (window.bottom - window.top) - client.bottom;
    SetWindowPos(form_, nullptr, 0, 0, width + frameWidth, height + frameHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormLayout::PlaceOnce() {
    if (std::exchange(placed_, true))
        return;
    RECT window;
    GetWindowRect(form_, &window);
    const POINT origin = MiddleOfDesktop(window.right - window.left, window.bottom - window.top);
    SetWindowPos(form_, nullptr, origin.x, origin.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace ui
