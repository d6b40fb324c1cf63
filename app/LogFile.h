// The run's log: the PC's own, %ProgramData%\Kelmina\Soramido\Logs\Update.log,
// which every run appends to so that a PC always keeps a trace, and the file
// an administrator asks for with /LOG. Both UTF-8 with a byte order mark from
// their creation, CRLF line ends, every line after the local time
// (YYYY-MM-DD hh:mm:ss.mmm). Each run is appended to what is there, and each
// line is written as it happens, so a run that is killed keeps its lines.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ProtectedFolder.h"
#include "engine/RunEvents.h"
#include "platform/win32/ScopedWin.h"

namespace app {

// Where the PC's own log lies, under %ProgramData%, and the name the older
// half of it is moved to.
inline constexpr std::string_view kLocalLogFolder[] = {"Kelmina", "Soramido", "Logs"};
inline constexpr std::string_view kLocalLogName = "Update.log";
inline constexpr std::string_view kOlderLocalLogName = "Update.1.log";

// The local log is moved to kOlderLocalLogName once it holds this much.
inline constexpr unsigned long long kLocalLogLimit = 1024ULL * 1024;

// Where the /LOG file whose full path is `full` lies: on a share
// ("\\server\share\…", its long form, or a drive letter the system maps to a
// share), opened by its path; on a drive of the PC, opened folder by folder
// through handles from `onDrive`, its "C:\…" form (a long form "\\?\C:\…"
// included); or neither (a device, a volume by its GUID), not opened.
enum class LogPlace : unsigned char { Share, Drive, Neither };
LogPlace PlaceOf(const std::string& full, std::string& onDrive);

class LogFile {
  public:
    // Writes nowhere until a file is opened.
    LogFile() = default;

    // Opens the PC's own log, moving a full one aside first, and adds to
    // `corrections` what stood in its way and was put right. Empty when it
    // is open, otherwise why not: the run goes on without it.
    std::string OpenLocal(Corrections& corrections) noexcept;
    // Opens /LOG's file, making the folders above it: on a share by its
    // path, on a drive through handles that refuse a link. A file that cannot be
    // opened, now or at a later line (a share gone, a full disk), does not
    // stop the run: TargetError() keeps why, which a failed line writes
    // into the local log at once and a failed opening leaves to the caller.
    // A file no log may go to (inside an installation, a device) is not
    // opened either, and TargetRefused() says why.
    void OpenTarget(const std::string& path) noexcept;
    const std::optional<std::string>& TargetError() const { return targetError_; }
    const std::optional<std::string>& TargetRefused() const { return targetRefused_; }

    // The path of the file the run's record names: /LOG's file as the system
    // completes it (drive, current folder), or else the local log's.
    std::string FullPath() const;

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
    bool Ended() const {
        std::lock_guard lock(mutex_);
        return ended_;
    }
    // Whether the caller is the one to finish the run (its event, then its
    // exit code): true for the first caller only. The program's end and a
    // session's end may ask at once; the later one waits, at most `wait`,
    // for the exit code to be written, since the session's end may end the
    // process as soon as it returns.
    bool ClaimFinish(std::chrono::milliseconds wait) noexcept;

    // The last run's counts, for the event log's entry.
    void NoteCounts(const engine::InstallationCount& count) noexcept {
        std::lock_guard lock(mutex_);
        counts_ = count;
    }
    engine::InstallationCount Counts() const {
        std::lock_guard lock(mutex_);
        return counts_;
    }

  private:
    struct Sink {
        platform::ScopedHandle file;
        std::string path;
        bool target = false;
    };
    void Append(std::string_view line) noexcept;
    void Add(platform::ScopedHandle file, std::string path, bool target);
    // Under the lock.
    void TargetUnavailable(const std::string& path, const std::string& why);

    mutable std::mutex mutex_;
    std::vector<Sink> sinks_;
    std::optional<std::string> targetError_;
    std::optional<std::string> targetRefused_;
    engine::InstallationCount counts_;
    std::condition_variable endedChanged_;
    std::atomic<bool> finishClaimed_{false};
    bool ended_ = false;
    bool unexpectedErrorWritten_ = false;
    std::string noted_;
};

}  // namespace app
