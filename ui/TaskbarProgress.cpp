#include "ui/TaskbarProgress.h"

#include <algorithm>

namespace ui {

namespace {

constexpr unsigned kWhole = 1000;

// The share of the search done; a count of entries is only near the truth
// (files with several names, records freed), so it never passes the whole.
std::optional<unsigned> ShareSearched(const RunProgress& run) {
    if (!run.entriesOnDrives || *run.entriesOnDrives == 0)
        return std::nullopt;
    const std::uint64_t done = std::min(run.entriesSearched, *run.entriesOnDrives);
    return static_cast<unsigned>(done * kWhole / *run.entriesOnDrives);
}

}  // namespace

ButtonProgress ProgressOnButton(const RunProgress& run, bool windowShown) {
    if (!windowShown)
        return {};
    const std::optional<unsigned> share = ShareSearched(run);
    switch (run.stage) {
        case RunProgress::Stage::Idle:
            return {};
        case RunProgress::Stage::Searching:
            return share ? ButtonProgress{ButtonState::Normal, *share}
                         : ButtonProgress{ButtonState::Marquee, 0};
        case RunProgress::Stage::Changing:
            // A steady bar, unlike the marquee, says that something is being
            // changed now; where the share is unknown it is full.
            return {ButtonState::Normal, share.value_or(kWhole)};
        case RunProgress::Stage::Ended:
            break;
    }
    switch (run.outcome) {
        case engine::RunOutcome::Updated:
        case engine::RunOutcome::NothingFound:
        // An inventory that found installations to update has failed at
        // nothing: its lines say what it found.
        case engine::RunOutcome::SomeBehind:
        // The restart finishes it, with nobody at the PC to do anything.
        case engine::RunOutcome::WaitsForRestart:
            return {};
        case engine::RunOutcome::Stopped:
            // Where the search stopped, as far as it is known.
            return {ButtonState::Paused, share.value_or(kWhole)};
        case engine::RunOutcome::SomeLeft:
        case engine::RunOutcome::LeftMidway:
        case engine::RunOutcome::PackageDamaged:
        case engine::RunOutcome::Failed:
            break;
    }
    return {ButtonState::Error, kWhole};
}

}  // namespace ui
