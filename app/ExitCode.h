// The exit codes of Update.exe, which a deployment script reads as
// %ERRORLEVEL%. docs/administrators.md and the /? box list them; keep the three in step.
#pragma once

#include <cstddef>
#include <optional>

#include "engine/RunEvents.h"

namespace app::exit_code {

inline constexpr int kUpdated = 0;         // every installation found was updated
inline constexpr int kNothingFound = 1;    // no installation was found
inline constexpr int kSomeLeft = 2;        // one or more left as they were
inline constexpr int kPackageDamaged = 3;  // nothing was changed
inline constexpr int kStopped = 4;         // 「中　止」, the window closed, log-off, shut-down
inline constexpr int kAlreadyRunning = 5;  // another Update.exe runs; nothing was done
// A switch not understood, or a /LOG file no log may go to (this program, a
// file of its package, a file inside an installation, a device); nothing
// was done. A log that cannot be opened or written is no reason: the run
// goes on without it, and says so in the other log and the record.
inline constexpr int kBadCommandLine = 6;
inline constexpr int kUnexpected = 7;
inline constexpr int kLeftMidway = 8;     // an installation is half updated; run the update again
inline constexpr int kNotAllCurrent = 9;  // /LIST: an installation found is not at 1.55B
// ERROR_SUCCESS_REBOOT_REQUIRED: every installation found was updated or
// waits for the next restart, at least one waits. The program never restarts
// the PC itself.
inline constexpr int kRestartNeeded = 3010;

// Where a run's installations ended differently, the one the PC most needs
// to hear of decides: 8 (one in the middle of its update), then 2 (one left
// as it was), then 3010 (one waits for the restart), then 0.

constexpr int Of(engine::RunOutcome outcome) {
    switch (outcome) {
        case engine::RunOutcome::Updated:
            return kUpdated;
        case engine::RunOutcome::WaitsForRestart:
            return kRestartNeeded;
        case engine::RunOutcome::NothingFound:
            return kNothingFound;
        case engine::RunOutcome::SomeLeft:
            return kSomeLeft;
        case engine::RunOutcome::LeftMidway:
            return kLeftMidway;
        case engine::RunOutcome::SomeBehind:
            return kNotAllCurrent;
        case engine::RunOutcome::PackageDamaged:
            return kPackageDamaged;
        case engine::RunOutcome::Stopped:
            return kStopped;
        case engine::RunOutcome::Failed:
            break;
    }
    return kUnexpected;
}

// An installation left in the middle is what the PC needs to hear about
// most, another run, whatever else stopped this one.
constexpr int Of(engine::RunOutcome outcome, const engine::InstallationCount& count) {
    const bool midway =
        count.found > count.updated + count.leftAsTheyWere + count.waitingForRestart;
    if (midway && (outcome == engine::RunOutcome::Stopped || outcome == engine::RunOutcome::Failed))
        return kLeftMidway;
    return Of(outcome);
}

// What the record's Version and UpToDate become after a run that ended
// with `code`; nullopt keeps what is there. Version "1.55B" says that the
// last run that looked found every installation at 1.55B; UpToDate that the
// last run that finished its search left none behind, which a PC without
// the product is too, unless a drive could not be searched at all.
enum class VersionChange : unsigned char { Write, Remove, Keep };

constexpr VersionChange VersionAfter(int code) {
    if (code == kUpdated)
        return VersionChange::Write;
    return code == kSomeLeft || code == kLeftMidway || code == kRestartNeeded
               ? VersionChange::Remove
               : VersionChange::Keep;
}

constexpr std::optional<bool> UpToDateAfter(int code, bool everyDriveSearched) {
    if (code == kSomeLeft || code == kLeftMidway || code == kRestartNeeded)
        return false;
    if (code == kUpdated || code == kNothingFound)
        return everyDriveSearched;
    return std::nullopt;
}

// What the record's PendingRestart becomes: 1 while a run that looked left
// an installation waiting for the restart, 0 once one finds none waiting;
// nullopt keeps what is there.
constexpr std::optional<bool> PendingRestartAfter(int code, std::size_t waitingForRestart) {
    if (code == kUpdated || code == kNothingFound || code == kSomeLeft || code == kLeftMidway ||
        code == kRestartNeeded) {
        return waitingForRestart > 0;
    }
    return std::nullopt;
}

}  // namespace app::exit_code
