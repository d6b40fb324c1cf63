// The undo of an update's steps with an apply or an undo failing or throwing
// at each place that matters: what is undone, in which order, what stays
// kept for a later try, and what RollBack says about it.
#include <chrono>
#include <map>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "engine/update/UpdateTransaction.h"

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
        // "apply <step>" or "undo <step>": what goes wrong, and how.
        std::map<std::string, Fault> faults;
        const char* undone;       // by the first RollBack, in order
        const char* undoneLater;  // by a second one, with nothing going wrong
        bool tookEffect;          // whether the step whose apply went wrong did all the same
        bool allUndone;
    };
    // clang-format off
    const Case cases[] = {
        {"nothing wrong", {},
         "new1 old1 new0 old0 record copy1 copy0", "", false, true},
        {"a stuck target keeps its earlier steps and every deletion", {{"undo new1", Fault::Fail}},
         "new0 old0", "new1 old1 record copy1 copy0", false, false},
        {"the first step of a target stuck", {{"undo old0", Fault::Fail}},
         "new1 old1 new0", "old0 record copy1 copy0", false, false},
        {"an undo that throws counts as stuck", {{"undo new1", Fault::Throw}},
         "new0 old0", "new1 old1 record copy1 copy0", false, false},
        {"both targets stuck", {{"undo old1", Fault::Fail}, {"undo new0", Fault::Throw}},
         "new1", "old1 new0 old0 record copy1 copy0", false, false},
        {"a deletion refused stops the later ones", {{"undo copy1", Fault::Fail}},
         "new1 old1 new0 old0 record", "copy1 copy0", false, false},
        {"a deletion that throws", {{"undo record", Fault::Throw}},
         "new1 old1 new0 old0", "record copy1 copy0", false, false},
        {"an apply refused that took effect", {{"apply new0", Fault::Fail}},
         "new0 old0 copy1 copy0", "", true, true},
        {"an apply refused that did not", {{"apply new0", Fault::Fail}},
         "old0 copy1 copy0", "", false, true},
        {"an apply thrown after it took effect", {{"apply old1", Fault::Throw}},
         "old1 new0 old0 copy1 copy0", "", true, true},
        {"an apply thrown before", {{"apply old1", Fault::Throw}},
         "new0 old0 copy1 copy0", "", false, true},
        {"an apply thrown, then an undo", {{"apply old1", Fault::Throw}, {"undo new0", Fault::Throw}},
         "old1", "new0 old0 copy1 copy0", true, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string undone;
        std::map<std::string, Fault> faults = c.faults;
        engine::UpdateTransaction transaction(
            {std::chrono::milliseconds{0}, std::chrono::milliseconds{0}});
        for (const Planned& planned : kPlan) {
            const std::string name = planned.name;
            const Fault apply = faults["apply " + name];
            engine::UpdateTransaction::Step step{
                planned.target, [apply] { return Act(apply); },
                [tookEffect = c.tookEffect] { return tookEffect; },
                [name, &undone, &faults]() -> platform::Failure {
                    if (platform::Failure failure = Act(faults["undo " + name]))
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
        faults.clear();
        EXPECT_TRUE(transaction.RollBack());
        EXPECT_EQ(undone, c.undoneLater);
        EXPECT_FALSE(transaction.Changed());
    }
}

}  // namespace
}  // namespace engine_test
