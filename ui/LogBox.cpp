#include "ui/LogBox.h"

#include <commctrl.h>

#include "platform/win32/Utf16.h"
#include "ui/Win32Error.h"
#include "ui/WindowClass.h"

namespace ui {

namespace {

constexpr UINT_PTR kSubclassId = 1;
// Far from the small numbers the edit box's own timers use.
constexpr UINT_PTR kFlushTimer = 0x4C4F;
// Under Wine every insertion into an edit box costs some 15 ms whatever it
// inserts, which one line per insertion made the window's run several times
// slower than a run without it; a tenth of a second between insertions is
// too short for the eye to notice.
constexpr UINT kFlushEveryMs = 100;

constexpr std::wstring_view kLineBreak = L"\r\n";

// Messages after which the box's text must be whole: it is read, or the
// user is about to change it where the lines would have gone.
bool NeedsWholeText(UINT message) {
    switch (message) {
        case WM_GETTEXT:
        case WM_GETTEXTLENGTH:
        case WM_SETFOCUS:
        case WM_KEYDOWN:
        case WM_CHAR:
        case WM_PASTE:
        case WM_CUT:
        case WM_CLEAR:
        case WM_UNDO:
        case EM_UNDO:
            return true;
        default:
            return false;
    }
}

}  // namespace

// In a dialog a multi-line edit box asks for every key, Tab included, and
// closes the dialog on Esc. Here Tab moves the focus as everywhere else, and
// Enter and Esc stay in the box without pressing a button.
LRESULT CALLBACK LogBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR self) {
    auto& log = *reinterpret_cast<LogBox*>(self);
    if (NeedsWholeText(message))
        log.Flush();
    switch (message) {
        case WM_TIMER:
            if (wParam == kFlushTimer) {
                log.Flush();
                return 0;
            }
            break;
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
            RemoveWindowSubclass(box, LogBoxProc, kSubclassId);
            break;
        default:
            break;
    }
    return DefSubclassProc(box, message, wParam, lParam);
}

void LogBox::Create(HINSTANCE instance, HWND parent, int id, const RECT& bounds) {
    box_ = CreateChild(instance, parent, WS_EX_CLIENTEDGE, L"EDIT", "",
                       WS_TABSTOP | WS_GROUP | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN |
                           ES_AUTOVSCROLL | ES_LEFT,
                       id, bounds, "CreateWindowEx (log)");
    // Without this the box stops taking text at 30,000 characters, a few
    // dozen installations' worth of lines.
    SendMessageW(box_, EM_SETLIMITTEXT, 0, 0);
    SetWindowSubclass(box_, LogBoxProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void LogBox::Clear() {
    pending_.clear();
    KillTimer(box_, kFlushTimer);
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
    if (pending_.empty())
        SetTimer(box_, kFlushTimer, kFlushEveryMs, nullptr);
    pending_ += platform::Utf8ToUtf16(line);
    pending_ += kLineBreak;
}

void LogBox::Flush() {
    if (pending_.empty())
        return;
    KillTimer(box_, kFlushTimer);
    // Taken first: the box's own messages below come back through Flush.
    std::wstring insertion = std::move(pending_);
    pending_.clear();
    if (SendMessageW(box_, EM_GETMODIFY, 0, 0) != 0)
        MeasureAfterTyping();
    // After typed text the lines keep their breaks in front, so the text
    // goes on ending as the user left it.
    if (!endsWithLineBreak_) {
        insertion.resize(insertion.size() - kLineBreak.size());
        insertion.insert(0, kLineBreak);
    }
    SendMessageW(box_, EM_SETSEL, static_cast<WPARAM>(length_), static_cast<LPARAM>(length_));
    SendMessageW(box_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(insertion.c_str()));
    SendMessageW(box_, EM_SETMODIFY, FALSE, 0);
    length_ += static_cast<int>(insertion.size());
}

}  // namespace ui
