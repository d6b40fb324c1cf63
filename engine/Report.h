// The six operations through which a run changes the window. The window
// implements them; each is carried out on the UI thread, in the order the
// worker issues them, while the worker waits (see UiCallQueue). The one
// exception is the status line showing the folder being searched: the worker
// posts it and goes on, and of folders posted in quick succession only the
// newest may be shown.
#pragma once

#include <cstdint>
#include <string>

namespace engine {

// Colours in the layout 0x00BBGGRR (COLORREF).
inline constexpr std::uint32_t kColourBlue = 0x00FF0000;
inline constexpr std::uint32_t kColourRed = 0x000000FF;

class Report {
  public:
    virtual ~Report() = default;
    virtual void SetStatusText(const std::string& text) = 0;  // the status line, Label1
    virtual void ClearLog() = 0;                              // Memo1 becomes empty
    virtual void AppendLogLine(const std::string& line) = 0;  // one line at the end of Memo1
    virtual void SetRunButtonCaption(const std::string& caption) = 0;  // Button1
    virtual void SetRunButtonEnabled(bool enabled) = 0;                // Button1
    virtual void SetStatusColour(std::uint32_t colour) = 0;            // Label1's text colour
};

}  // namespace engine
