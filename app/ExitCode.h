// The exit codes of Update.exe, which a deployment script reads as
// %ERRORLEVEL%, and the states /LIST gives. The /? box, the event messages,
// docs/administrators.md, the publisher's note, the start-up script and the
// report all tell them; tests/commandline/ExitCodeHomesTest reads each of
// those against kCodes, kPrecedence and kListStates below.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "engine/RunEvents.h"
#include "engine/Version.h"

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

// Every code, with the words the event message gives it after
// "ended with exit code <N>: ".
struct Code {
    int value;
    std::string_view meaning;
};
inline constexpr Code kCodes[] = {
    {kUpdated, "every installation found was updated"},
    {kNothingFound, "no installation was found"},
    {kSomeLeft, "one or more installations were left as they were"},
    {kPackageDamaged, "files of the update package are missing or damaged"},
    {kStopped, "the run was stopped before its verdict"},
    {kAlreadyRunning, "another Update.exe was running"},
    {kBadCommandLine, "the command line was refused"},
    {kUnexpected, "an unexpected error"},
    {kLeftMidway, "an installation was left in the middle of its update"},
    {kNotAllCurrent, "an installation found is not at 1.55B"},
    {kRestartNeeded,
     "every installation found was updated or will be finished at the next restart"},
};

constexpr bool IsCode(int value) {
    for (const Code& code : kCodes) {
        if (code.value == value)
            return true;
    }
    return false;
}

// Where a run's installations ended differently, the one the PC most needs
// to hear of decides: 8 (one in the middle of its update), then 2 (one left
// as it was), then 3010 (one waits for the restart), then 0.
inline constexpr int kPrecedence[] = {kLeftMidway, kSomeLeft, kRestartNeeded, kUpdated};

// The states a /LIST line gives an installation, in the order the texts
// list them.
inline constexpr std::string_view kListStates[] = {engine::kVersion, "old",     "mixed",
                                                   "interrupted",    "restart", "blocked"};

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
