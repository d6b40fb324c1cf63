// The log: a multi-line edit box with a vertical scroll bar whose long lines
// wrap at its width. The user may type into it; Enter and Esc pressed there
// belong to the box (Enter breaks the line, Esc does nothing), while Tab still
// moves on to the next control.
#pragma once

#include "platform/win32/WinApi.h"

#include <string>
#include <string_view>

namespace ui {

class LogBox {
  public:
    LogBox() = default;
    // The box's subclass refers to this object.
    LogBox(const LogBox&) = delete;
    LogBox& operator=(const LogBox&) = delete;

    void Create(HINSTANCE instance, HWND parent, int id, const RECT& bounds);
    HWND Handle() const { return box_; }

    void Clear();
    // Adds `line` and a line break at the end. When the text does not end in
    // a line break (the user typed after the last line), the line goes onto a
    // line of its own: a line break, then `line`. Costs the same however
    // much the box holds. Lines added in quick succession reach the screen
    // together a moment later; whoever reads the box's text, and the user
    // about to type, sees them all at once.
    void AppendLine(std::string_view line);

  private:
    friend LRESULT CALLBACK LogBoxProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

    // Puts the lines added since the last time into the box.
    void Flush();
    // Learns the text's length and ending again after the user typed.
    void MeasureAfterTyping();

    HWND box_ = nullptr;
    // The lines not in the box yet, each followed by a line break.
    std::wstring pending_;
    // The text's length in UTF-16 units and whether it ends in a line break
    // (or is empty), as far as the box's own operations know; the user's
    // typing is noticed by the box's modification flag, which those
    // operations clear.
    int length_ = 0;
    bool endsWithLineBreak_ = true;
};

}  // namespace ui
