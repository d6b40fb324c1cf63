// The log file an administrator asks for with /LOG: UTF-8 with a byte order
// mark from its creation, CRLF line ends, every line after the local time
// (YYYY-MM-DD hh:mm:ss.mmm). Each run is appended to what is there, and each
// line is written as it happens, so a run that is killed keeps its lines.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "platform/win32/ScopedWin.h"

namespace ui {

class LogFile {
  public:
    // Opens `path` for appending, creating it when it does not exist. Throws
    // std::system_error when it cannot be opened so.
    explicit LogFile(const std::string& path);

    // The file's path as the system completes it (drive, current folder),
    // which the run's record names.
    const std::string& FullPath() const { return fullPath_; }

    // Appends one line. Safe from any thread; a line the disk refuses is
    // lost and the run goes on, since the update matters more than its log.
    void WriteLine(std::string_view line) noexcept;
    // "unexpected error: <what>", for a failure that ends the program with
    // exit code 7.
    void WriteUnexpectedError(std::string_view what) noexcept;
    // A failure that was shown rather than written: should the program end
    // with exit code 7 without any unexpected error written, this is its why.
    void NoteFailure(std::string_view what) noexcept;
    // The run's last line, "exit code N". Only the first call writes it, and
    // nothing is written after it: whichever comes first, the program's end
    // or a log-off that may end the program at any moment, has the last word.
    // Exit code 7 comes after its reason, whichever way the program got there.
    void WriteExitCode(int code) noexcept;

  private:
    void Append(std::string_view line) noexcept;

    std::mutex mutex_;
    std::string fullPath_;
    platform::ScopedHandle file_;
    bool ended_ = false;
    bool unexpectedErrorWritten_ = false;
    std::string noted_;
};

}  // namespace ui
