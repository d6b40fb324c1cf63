#include "ui/TaskbarProgress.h"

#include <gtest/gtest.h>

namespace {

using engine::RunOutcome;
using ui::ButtonState;
using Stage = ui::RunProgress::Stage;

TEST(TaskbarProgress, StatesAndSharesThroughARun) {
    struct Case {
        const char* what;
        Stage stage;
        std::uint64_t searched;
        std::optional<std::uint64_t> onDrives;
        RunOutcome outcome;
        bool windowShown;
        ButtonState state;
        unsigned thousandths;
    };
    const Case cases[] = {
        {"before a run", Stage::Idle, 0, {}, RunOutcome::Stopped, true, ButtonState::None, 0},
        {"searching, counted", Stage::Searching, 250, 1000, RunOutcome::Stopped, true,
         ButtonState::Normal, 250},
        {"searching, count overtaken", Stage::Searching, 1200, 1000, RunOutcome::Stopped, true,
         ButtonState::Normal, 1000},
        {"searching, not counted",
         Stage::Searching,
         250,
         {},
         RunOutcome::Stopped,
         true,
         ButtonState::Marquee,
         0},
        {"searching, drives hold nothing", Stage::Searching, 3, 0, RunOutcome::Stopped, true,
         ButtonState::Marquee, 0},
        {"changing, counted", Stage::Changing, 400, 1000, RunOutcome::Stopped, true,
         ButtonState::Normal, 400},
        {"changing, not counted",
         Stage::Changing,
         400,
         {},
         RunOutcome::Stopped,
         true,
         ButtonState::Normal,
         1000},
        {"updated", Stage::Ended, 1000, 1000, RunOutcome::Updated, true, ButtonState::None, 0},
        {"nothing found", Stage::Ended, 1000, 1000, RunOutcome::NothingFound, true,
         ButtonState::None, 0},
        {"some left", Stage::Ended, 1000, 1000, RunOutcome::SomeLeft, true, ButtonState::Error,
         1000},
        {"left midway", Stage::Ended, 10, 1000, RunOutcome::LeftMidway, true, ButtonState::Error,
         1000},
        {"package refused",
         Stage::Ended,
         0,
         {},
         RunOutcome::PackageDamaged,
         true,
         ButtonState::Error,
         1000},
        {"failed", Stage::Ended, 0, {}, RunOutcome::Failed, true, ButtonState::Error, 1000},
        {"stopped, counted", Stage::Ended, 300, 1000, RunOutcome::Stopped, true,
         ButtonState::Paused, 300},
        {"stopped, not counted",
         Stage::Ended,
         300,
         {},
         RunOutcome::Stopped,
         true,
         ButtonState::Paused,
         1000},
        {"no window, searching", Stage::Searching, 250, 1000, RunOutcome::Stopped, false,
         ButtonState::None, 0},
        {"no window, some left", Stage::Ended, 1000, 1000, RunOutcome::SomeLeft, false,
         ButtonState::None, 0},
    };
    for (const Case& c : cases) {
        ui::RunProgress run;
        run.stage = c.stage;
        run.entriesSearched = c.searched;
        run.entriesOnDrives = c.onDrives;
        run.outcome = c.outcome;
        const ui::ButtonProgress shown = ui::ProgressOnButton(run, c.windowShown);
        EXPECT_EQ(shown.state, c.state) << c.what;
        EXPECT_EQ(shown.thousandths, c.thousandths) << c.what;
    }
}

}  // namespace
