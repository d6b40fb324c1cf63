// What the taskbar button shows of a run: the share of the search done where
// the drives tell how many entries they hold, a marquee where they do not, a
// full bar while an installation is changed, and at the verdict nothing, the
// error state or the paused state. Decided here, without Windows, so that
// the choices are the same whatever the taskbar makes of them.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/RunEvents.h"

namespace ui {

// The states of ITaskbarList3::SetProgressState.
enum class ButtonState : std::uint8_t { None, Marquee, Normal, Error, Paused };

struct ButtonProgress {
    ButtonState state = ButtonState::None;
    // Of 1000; a whole unit is finer than the button can draw, so a new
    // value is worth sending only when this changes.
    unsigned thousandths = 0;
    bool operator==(const ButtonProgress&) const = default;
};

// What the window knows of the run.
struct RunProgress {
    enum class Stage : std::uint8_t { Idle, Searching, Changing, Ended };
    Stage stage = Stage::Idle;
    std::uint64_t entriesSearched = 0;
    // Over all fixed drives, when every one of them tells.
    std::optional<std::uint64_t> entriesOnDrives;
    engine::RunOutcome outcome = engine::RunOutcome::Stopped;  // once Ended
};

// `windowShown` is false for a run without a window (/VERYSILENT), which
// shows nothing anywhere.
ButtonProgress ProgressOnButton(const RunProgress& run, bool windowShown);

}  // namespace ui
