// The inventory run (/LIST): one line per installation with its state, the
// outcome that gives the exit code, and not a byte changed anywhere.
#include "engine/UpdateJournal.h"

#include "tests/engine/EngineTest.h"

namespace engine_test {
namespace {

class Inventory : public EngineTest {
  protected:
    void List() {
        engine::TMyThread worker(files, ui, report, nullptr, kNoReadAhead,
                                 engine::TMyThread::Task::List);
        worker.WaitForEnd();
        outcome = worker.Outcome();
    }
};

TEST_F(Inventory, EachInstallationGetsItsStateAndNothingChanges) {
    struct Case {
        const char* name;
        const char* xtras;
        int newRows;  // how many of the table's files, from the first, hold the new bytes
        bool journal;
        const char* state;
    };
    const Case cases[] = {
        {"Current", "xtras", 8, false, "1.55B"},
        {"CurrentNoXtras", "", 7, false, "1.55B"},
        {"Old", "xtras", 0, false, "old"},
        {"Mixed", "Xtras", 7, false, "mixed"},  // all but the plug-in
        {"Interrupted", "xtras", 8, true, "interrupted"},
    };
    Lines expected;
    for (const Case& k : cases) {
        const Installation skm = Install(c, k.name, k.xtras);
        for (int row = 0; row < k.newRows; ++row) {
            const std::string file = PlantedPath(engine::kReplacements[row], skm.xtras);
            fs.FileAt(skm.path + "\\" + file).SetContents(NewContents(kPackageFiles[row]));
        }
        if (k.journal)
            fs.MakeFile(skm.path + "\\" + std::string(engine::kJournalName), "journal");
        expected.push_back(skm.path + " " + k.state);
    }
    const Contents before = fs.Contents();

    List();

    EXPECT_EQ(report.log, expected);
    EXPECT_EQ(outcome, engine::RunOutcome::SomeBehind);
    EXPECT_EQ(fs.Contents(), before);
}

TEST_F(Inventory, AllCurrentAfterAnUpdate) {
    const Installation skm = Install(c, "SKM");
    Run();
    List();
    EXPECT_EQ(report.log, (Lines{skm.path + " 1.55B"}));
    EXPECT_EQ(outcome, engine::RunOutcome::Updated);
}

TEST_F(Inventory, NoneFound) {
    List();
    EXPECT_EQ(report.log, (Lines{kNotInstalled}));
    EXPECT_EQ(outcome, engine::RunOutcome::NothingFound);
}

}  // namespace
}  // namespace engine_test
