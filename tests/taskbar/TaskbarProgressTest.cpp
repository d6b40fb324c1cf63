#include "ui/TaskbarProgress.h"

#include <gtest/gtest.h>

namespace {

using engine::RunOutcome;
using ui::ButtonState;
using Stage = ui::RunProgress::Stage;

TEST(TaskbarProgress, StatesAndSharesThroughARun) {
    struct Case {
        const char* what;
        std::uint64_t searched;
        std::optional<std::uint64_t> onDrives;
        Stage stage;
        RunOutcome outcome;
        bool windowShown;
        ButtonState state;
        unsigned thousandths;
    };
    const Case cases[] = {
        {"before a run", 0, {}, Stage::Idle, RunOutcome::Stopped, true, ButtonState::None, 0},
        {"searching, counted", 250, 1000, Stage::Searching, RunOutcome::Stopped, true,
         ButtonState::Normal, 250},
        {"searching, count overtaken", 1200, 1000, Stage::Searching, RunOutcome::Stopped, true,
         ButtonState::Normal, 1000},
        {"searching, not counted",
         250,
         {},
         Stage::Searching,
         RunOutcome::Stopped,
         true,
         ButtonState::Marquee,
         0},
        {"searching, drives hold nothing", 3, 0, Stage::Searching, RunOutcome::Stopped, true,
         ButtonState::Marquee, 0},
        {"changing, counted", 400, 1000, Stage::Changing, RunOutcome::Stopped, true,
         ButtonState::Normal, 400},
        {"changing, not counted",
         400,
         {},
         Stage::Changing,
         RunOutcome::Stopped,
         true,
         ButtonState::Normal,
         1000},
        {"updated", 1000, 1000, Stage::Ended, RunOutcome::Updated, true, ButtonState::None, 0},
        {"nothing found", 1000, 1000, Stage::Ended, RunOutcome::NothingFound, true,
         ButtonState::None, 0},
        {"some left", 1000, 1000, Stage::Ended, RunOutcome::SomeLeft, true, ButtonState::Error,
         1000},
        {"left midway", 10, 1000, Stage::Ended, RunOutcome::LeftMidway, true, ButtonState::Error,
         1000},
        {"package refused",
         0,
         {},
         Stage::Ended,
         RunOutcome::PackageDamaged,
         true,
         ButtonState::Error,
         1000},
        {"failed", 0, {}, Stage::Ended, RunOutcome::Failed, true, ButtonState::Error, 1000},
        {"stopped, counted", 300, 1000, Stage::Ended, RunOutcome::Stopped, true,
         ButtonState::Paused, 300},
        {"stopped, not counted",
         300,
         {},
         Stage::Ended,
         RunOutcome::Stopped,
         true,
         ButtonState::Paused,
         1000},
        {"no window, searching", 250, 1000, Stage::Searching, RunOutcome::Stopped, false,
         ButtonState::None, 0},
        {"no window, some left", 1000, 1000, Stage::Ended, RunOutcome::SomeLeft, false,
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
