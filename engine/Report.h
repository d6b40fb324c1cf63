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

// What the status line's colour says of a run; the window picks the colour.
enum class Verdict : std::uint8_t {
    Completed,   // every installation was updated
    Incomplete,  // some installation was left as it was
};

class Report {
  public:
    virtual ~Report() = default;
    virtual void SetStatusText(const std::string& text) = 0;  // the status line, Label1
    virtual void ClearLog() = 0;                              // Memo1 becomes empty
    virtual void AppendLogLine(const std::string& line) = 0;  // one line at the end of Memo1
    virtual void SetRunButtonCaption(const std::string& caption) = 0;  // Button1
    virtual void SetRunButtonEnabled(bool enabled) = 0;                // Button1
    virtual void SetStatusColour(Verdict verdict) = 0;                 // Label1's text colour
};

}  // namespace engine
