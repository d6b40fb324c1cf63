// The exit codes of Update.exe, which a deployment script reads as
// %ERRORLEVEL%. The README and the /? box list them; keep the three in step.
#pragma once

#include "engine/RunJournal.h"

namespace ui::exit_code {

inline constexpr int kUpdated = 0;         // every installation found was updated
inline constexpr int kNothingFound = 1;    // no installation was found
inline constexpr int kSomeLeft = 2;        // one or more left as they were
inline constexpr int kPackageDamaged = 3;  // nothing was changed
inline constexpr int kStopped = 4;         // 「中　止」, the window closed, log-off, shut-down
inline constexpr int kAlreadyRunning = 5;  // another Update.exe runs; nothing was done
inline constexpr int kBadCommandLine = 6;  // or the log file cannot be written; nothing was done
inline constexpr int kUnexpected = 7;
inline constexpr int kLeftMidway = 8;     // an installation is half updated; run the update again
inline constexpr int kNotAllCurrent = 9;  // /LIST: an installation found is not at 1.55B

constexpr int Of(engine::RunOutcome outcome) {
    switch (outcome) {
        case engine::RunOutcome::Updated:
            return kUpdated;
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

}  // namespace ui::exit_code
