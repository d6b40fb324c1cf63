// The undo of an update's steps with an apply or an undo failing or throwing
// at each place that matters: what is undone, in which order, what stays
// kept for a later try, and what RollBack says about it.
#include <chrono>
#include <map>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "engine/UpdateTransaction.h"

namespace engine_test {
namespace {

enum class Fault { None, Fail, Throw };

platform::Failure Act(Fault fault) {
    if (fault == Fault::Throw)
        throw std::runtime_error("thrown half way");
    if (fault == Fault::Fail)
        return platform::FileError{platform::FileError::Kind::Other, "refused"};
    return std::nullopt;
}

// An update of two destinations as the writer orders it: both new files
// copied in (undone by deleting them), then for each the old file renamed
// away and the new one renamed in, then the record, undone by deleting it.
struct Planned {
    const char* name;
    std::size_t target;
    bool undoDeletes;
};
constexpr Planned kPlan[] = {{"copy0", 0, true}, {"copy1", 1, true}, {"old0", 0, false},
                             {"new0", 0, false}, {"old1", 1, false}, {"new1", 1, false},
                             {"record", 9, true}};

TEST(Undo, EachFaultUndoesWhatItMustAndSaysSo) {
    struct Case {
        const char* name;
        const char* applyFails;  // the step whose apply goes wrong, if any
        Fault apply;
        bool tookEffect;  // whether that step took effect all the same
        std::map<std::string, Fault> undoFaults;
        const char* undone;  // by the first RollBack, in order
        bool allUndone;
        const char* undoneLater;  // by a second one, with nothing going wrong
    };
    const Case cases[] = {
        {"nothing wrong",
         "",
         Fault::None,
         false,
         {},
         "new1 old1 new0 old0 record copy1 copy0",
         true,
         ""},
        {"a stuck target keeps its earlier steps and every deletion",
         "",
         Fault::None,
         false,
         {{"new1", Fault::Fail}},
         "new0 old0",
         false,
         "new1 old1 record copy1 copy0"},
        {"the first step of a target stuck",
         "",
         Fault::None,
         false,
         {{"old0", Fault::Fail}},
         "new1 old1 new0",
         false,
         "old0 record copy1 copy0"},
        {"an undo that throws counts as stuck",
         "",
         Fault::None,
         false,
         {{"new1", Fault::Throw}},
         "new0 old0",
         false,
         "new1 old1 record copy1 copy0"},
        {"both targets stuck",
         "",
         Fault::None,
         false,
         {{"old1", Fault::Fail}, {"new0", Fault::Throw}},
         "new1",
         false,
         "old1 new0 old0 record copy1 copy0"},
        {"a deletion refused stops the later ones",
         "",
         Fault::None,
         false,
         {{"copy1", Fault::Fail}},
         "new1 old1 new0 old0 record",
         false,
         "copy1 copy0"},
        {"a deletion that throws",
         "",
         Fault::None,
         false,
         {{"record", Fault::Throw}},
         "new1 old1 new0 old0",
         false,
         "record copy1 copy0"},
        {"an apply refused that took effect",
         "new0",
         Fault::Fail,
         true,
         {},
         "new0 old0 copy1 copy0",
         true,
         ""},
        {"an apply refused that did not",
         "new0",
         Fault::Fail,
         false,
         {},
         "old0 copy1 copy0",
         true,
         ""},
        {"an apply thrown after it took effect",
         "old1",
         Fault::Throw,
         true,
         {},
         "old1 new0 old0 copy1 copy0",
         true,
         ""},
        {"an apply thrown before",
         "old1",
         Fault::Throw,
         false,
         {},
         "new0 old0 copy1 copy0",
         true,
         ""},
        {"an apply thrown, then an undo",
         "old1",
         Fault::Throw,
         true,
         {{"new0", Fault::Throw}},
         "old1",
         false,
         "new0 old0 copy1 copy0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string undone;
        std::map<std::string, Fault> undoFaults = c.undoFaults;
        engine::UpdateTransaction transaction(
            {std::chrono::milliseconds{0}, std::chrono::milliseconds{0}});
        for (const Planned& planned : kPlan) {
            const std::string name = planned.name;
            const Fault apply = name == c.applyFails ? c.apply : Fault::None;
            engine::UpdateTransaction::Step step{
                planned.target, [apply] { return Act(apply); },
                [tookEffect = c.tookEffect] { return tookEffect; },
                [name, &undone, &undoFaults]() -> platform::Failure {
                    if (platform::Failure failure = Act(undoFaults[name]))
                        return failure;
                    undone += (undone.empty() ? "" : " ") + name;
                    return std::nullopt;
                },
                planned.undoDeletes};
            if (apply == Fault::Throw) {
                EXPECT_THROW((void)transaction.Do(std::move(step)), std::runtime_error);
                break;
            }
            const platform::Failure failure = transaction.Do(std::move(step));
            EXPECT_EQ(failure.has_value(), apply == Fault::Fail);
            if (failure)
                break;
        }
        bool allUndone = false;
        EXPECT_NO_THROW(allUndone = transaction.RollBack());
        EXPECT_EQ(undone, c.undone);
        EXPECT_EQ(allUndone, c.allUndone);
        EXPECT_EQ(transaction.Changed(), !c.allUndone);

        undone.clear();
        undoFaults.clear();
        EXPECT_TRUE(transaction.RollBack());
        EXPECT_EQ(undone, c.undoneLater);
        EXPECT_FALSE(transaction.Changed());
    }
}

}  // namespace
}  // namespace engine_test
