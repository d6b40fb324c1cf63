// What the window does with each report operation, without a window: it
// keeps the status line's text, the log as one growing text of CRLF-ended
// lines, the run button's caption and state and the status colour, and adds
// up the time spent inside the operations, which is the UI thread's share of
// a run.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/Report.h"

namespace bench {

class StandInWindow : public engine::Report {
  public:
    void SetStatusText(const std::string& text) override;
    void ClearLog() override;
    void AppendLogLine(const std::string& line) override;
    void SetRunButtonCaption(const std::string& caption) override;
    void SetRunButtonEnabled(bool enabled) override;
    void SetStatusColour(engine::Verdict verdict) override;

    const std::string& StatusText() const { return status_; }
    const std::string& Log() const { return log_; }
    const std::string& RunButtonCaption() const { return caption_; }
    bool RunButtonEnabled() const { return enabled_; }

    std::size_t LogLines() const { return logLines_; }
    std::size_t Operations() const { return operations_; }
    std::chrono::steady_clock::duration BusyTime() const { return busy_; }

    // True when the run ended with every installation refreshed.
    bool Completed() const;

  private:
    // Times one operation and counts it towards the busy time.
    class Busy;

    std::string status_;
    std::string log_;
    std::string caption_;
    bool enabled_ = true;
    std::optional<engine::Verdict> verdict_;
    std::size_t logLines_ = 0;
    std::size_t operations_ = 0;
    std::chrono::steady_clock::duration busy_{};
};

}  // namespace bench
