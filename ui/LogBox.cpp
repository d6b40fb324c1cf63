#include "ui/LogBox.h"

#include <commctrl.h>

#include <string>

#include "platform/win32/Utf16.h"
#include "ui/Win32Error.h"
#include "ui/WindowClass.h"

namespace ui {

namespace {

constexpr UINT_PTR kKeysSubclassId = 1;

// In a dialog a multi-line edit box asks for every key, Tab included, and
// closes the dialog on Esc. Here Tab moves the focus as everywhere else, and
// Enter and Esc stay in the box without pressing a button.
LRESULT CALLBACK LogBoxKeys(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR) {
    switch (message) {
        case WM_GETDLGCODE: {
            LRESULT code = DefSubclassProc(box, message, wParam, lParam);
            code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB);
            const auto* key = reinterpret_cast<const MSG*>(lParam);
            if (key != nullptr && (key->message == WM_KEYDOWN || key->message == WM_CHAR) &&
                (key->wParam == VK_RETURN || key->wParam == VK_ESCAPE)) {
                code |= DLGC_WANTMESSAGE;
            }
            return code;
        }
        case WM_KEYDOWN:
        case WM_CHAR:
            if (wParam == VK_ESCAPE)
                return 0;
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(box, LogBoxKeys, kKeysSubclassId);
            break;
        default:
            break;
    }
    return DefSubclassProc(box, message, wParam, lParam);
}

}  // namespace

void LogBox::Create(HINSTANCE instance, HWND parent, int id, const RECT& bounds) {
    box_ = CreateChild(instance, parent, WS_EX_CLIENTEDGE, L"EDIT", "",
                       WS_TABSTOP | WS_GROUP | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN |
                           ES_AUTOVSCROLL | ES_LEFT,
                       id, bounds, "CreateWindowEx (log)");
    // Without this the box stops taking text at 30,000 characters, a few
    // dozen installations' worth of lines.
    SendMessageW(box_, EM_SETLIMITTEXT, 0, 0);
    SetWindowSubclass(box_, LogBoxKeys, kKeysSubclassId, 0);
}

void LogBox::Clear() {
    SetWindowTextW(box_, L"");
    SendMessageW(box_, EM_SETMODIFY, FALSE, 0);
    length_ = 0;
    endsWithLineBreak_ = true;
}

void LogBox::MeasureAfterTyping() {
    length_ = GetWindowTextLengthW(box_);
    // The text ends in a line break exactly when its last line is empty,
    // which the box tells without handing its text over: a wrapped line
    // always holds at least one character.
    const auto lastLine = SendMessageW(box_, EM_GETLINECOUNT, 0, 0) - 1;
    endsWithLineBreak_ = length_ == 0 || SendMessageW(box_, EM_LINEINDEX,
                                                      static_cast<WPARAM>(lastLine), 0) == length_;
}

void LogBox::AppendLine(std::string_view line) {
    // Asking the box for its text or its length at every line made each
    // line cost more than the last: a long run's log slowed the run itself.
    if (SendMessageW(box_, EM_GETMODIFY, 0, 0) != 0)
        MeasureAfterTyping();
    const std::wstring wide = platform::Utf8ToUtf16(line);
    const std::wstring insertion = endsWithLineBreak_ ? wide + L"\r\n" : L"\r\n" + wide;
    SendMessageW(box_, EM_SETSEL, static_cast<WPARAM>(length_), static_cast<LPARAM>(length_));
    SendMessageW(box_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(insertion.c_str()));
    SendMessageW(box_, EM_SETMODIFY, FALSE, 0);
    length_ += static_cast<int>(insertion.size());
    endsWithLineBreak_ = insertion.ends_with(L"\r\n");
}

}  // namespace ui
