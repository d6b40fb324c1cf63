// How a run ended, and how the update of one installation ended: what the
// window, the exit code and the record are made from, without the engine's
// update machinery behind them.
#pragma once

#include <cstdint>

namespace engine {

// How a run ended; each has its own exit code in an unattended run.
enum class RunOutcome : std::uint8_t {
    Updated,         // every installation found was updated
    WaitsForRestart,  // every one updated or waiting for the next restart, one at least waiting
    NothingFound,    // no installation was found
    SomeLeft,        // at least one installation was left as it was
    LeftMidway,      // an installation was left in the middle of its update; run again
    PackageDamaged,  // the package is missing files or is damaged; nothing was changed
    SomeBehind,      // an inventory found an installation not wholly at the package's bytes
    Stopped,         // stopped before a verdict
    Failed,          // an unexpected error
};

// How the update of one installation ended.
enum class UpdateEnd : std::uint8_t {
    Updated,      // every file holds the package's bytes
    LeftAsItWas,  // every file holds its old bytes, and nothing of the update is left
    Midway,       // anything else: the journal stays for the next run
    AtRestart,    // every file holds its old bytes, the new ones staged to replace them at
                  // the next restart: a program holds the files
};

}  // namespace engine
