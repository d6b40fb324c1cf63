#include "bench/StandInWindow.h"

#include "engine/Texts.h"

namespace bench {

class StandInWindow::Busy {
  public:
    explicit Busy(StandInWindow& window)
        : window_(window), start_(std::chrono::steady_clock::now()) {}
    ~Busy() {
        window_.busy_ += std::chrono::steady_clock::now() - start_;
        ++window_.operations_;
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

  private:
    StandInWindow& window_;
    std::chrono::steady_clock::time_point start_;
};

// The window too leaves its status line alone when the text is unchanged.
void StandInWindow::SetStatusText(const std::string& text) {
    Busy busy(*this);
    if (status_ != text)
        status_ = text;
}

void StandInWindow::ClearLog() {
    Busy busy(*this);
    log_.clear();
    logLines_ = 0;
}

void StandInWindow::AppendLogLine(const std::string& line) {
    Busy busy(*this);
    log_.append(line).append("\r\n");
    ++logLines_;
}

void StandInWindow::SetRunButtonCaption(const std::string& caption) {
    Busy busy(*this);
    caption_ = caption;
}

void StandInWindow::SetRunButtonEnabled(bool enabled) {
    Busy busy(*this);
    enabled_ = enabled;
}

void StandInWindow::SetStatusColour(engine::Verdict verdict) {
    Busy busy(*this);
    verdict_ = verdict;
}

bool StandInWindow::Completed() const {
    return status_ == engine::text::kCompletedStatus && verdict_ == engine::Verdict::Completed &&
           !enabled_;
}

}  // namespace bench
