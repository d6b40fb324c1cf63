// The moves of an update's standing along the ways an update goes, and what
// each way leaves to be read: a wrong move would give an installation that
// was changed the verdict "left as it was", or look at one nothing touched.
#include "engine/update/UpdateStanding.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace engine {
namespace {

using Event = UpdateStanding::Event;

TEST(UpdateStandingTest, EachWayLeavesWhatItChanged) {
    struct Way {
        const char* what;
        std::vector<Event> events;
        bool look, journalStays, maybeChanged;
    } const ways[] = {
        {"nothing found", {Event::Listed}, false, false, false},
        {"refused before the journal was read", {Event::ListedJournal}, true, true, true},
        {"the user's file of the journal's name",
         {Event::ListedJournal, Event::JournalNotAJournal},
         false,
         false,
         true},
        {"a journal kept while the product runs",
         {Event::ListedJournal, Event::JournalUnrepaired},
         true,
         true,
         true},
        {"a journal followed",
         {Event::ListedJournal, Event::JournalUnrepaired, Event::JournalFollowed, Event::Listed},
         true,
         false,
         true},
        {"a journal set aside",
         {Event::ListedJournal, Event::JournalSetAside},
         false,
         false,
         false},
        {"a draft deleted, then a journal set aside",
         {Event::ListedJournal, Event::DraftDeleted, Event::JournalSetAside},
         true,
         false,
         true},
        {"a journal cut short, deleted",
         {Event::ListedJournal, Event::JournalCutShortGone, Event::Listed},
         true,
         false,
         true},
        {"this run began", {Event::Listed, Event::RunBegan}, true, false, true},
    };
    for (const Way& way : ways) {
        UpdateStanding standing;
        for (const Event event : way.events) {
            ASSERT_TRUE(CanMove(standing, event)) << way.what;
            standing = Next(standing, event);
        }
        EXPECT_EQ(standing.NeedsALook(), way.look) << way.what;
        EXPECT_EQ(standing.EarlierJournalStays(), way.journalStays) << way.what;
        EXPECT_EQ(standing.MaybeChanged(), way.maybeChanged) << way.what;
    }
}

TEST(UpdateStandingTest, RefusesWhatNoUpdateDoes) {
    const UpdateStanding began = Next(UpdateStanding{}, Event::RunBegan);
    const UpdateStanding unrepaired =
        Next(Next(UpdateStanding{}, Event::ListedJournal), Event::JournalUnrepaired);
    EXPECT_FALSE(CanMove(UpdateStanding{}, Event::JournalFollowed));  // no journal to follow
    EXPECT_FALSE(CanMove(began, Event::JournalSetAside));             // after the change began
    EXPECT_FALSE(CanMove(began, Event::Listed));                      // nor listed anew
    EXPECT_FALSE(CanMove(unrepaired, Event::RunBegan));  // beside a journal not followed
    EXPECT_FALSE(CanMove(unrepaired, Event::ListedJournal));
}

// In every build, not only where asserts stop: the standing that lost track
// is looked at and never taken for at rest, and the run stops at it.
TEST(UpdateStandingTest, AnImpossibleMoveIsAFailureThatStays) {
    UpdateStanding began = Next(UpdateStanding{}, Event::RunBegan);
    const UpdateStanding lost = Next(Next(UpdateStanding{}, Event::Listed), Event::JournalFollowed);
    EXPECT_TRUE(lost.impossible);
    EXPECT_TRUE(lost.NeedsALook());
    EXPECT_TRUE(lost.MaybeChanged());
    EXPECT_TRUE(Next(lost, Event::RunBegan).impossible);  // it stays
    EXPECT_THROW(began.Move(Event::Listed), std::logic_error);
    EXPECT_TRUE(began.impossible);
}

}  // namespace
}  // namespace engine
