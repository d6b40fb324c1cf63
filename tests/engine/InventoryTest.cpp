// The inventory run (/LIST): one line per installation with its state, the
// outcome that gives the exit code, and not a byte changed anywhere.
#include <optional>

#include "engine/update/UpdateJournal.h"

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
        // Planted in the installation: a file of the journal's name with
        // these bytes, a folder of that name ("/"), a second QBANK.CXT in
        // lower case ("qbank"), or a journal of the installation's own,
        // whole ("ours") or cut short by a power loss ("ours cut").
        std::optional<std::string> journal;
        const char* state;
    };
    const engine::Journal ours{"0123456789abcdef",
                               {{0,
                                 "QBANK.CXT",
                                 engine::StagedName("QBANK.CXT", "0123456789abcdef"),
                                 engine::BackupName("QBANK.CXT", "0123456789abcdef"),
                                 true,
                                 {},
                                 {}}}};
    const Case cases[] = {
        {"Current", "xtras", 8, {}, "1.55B"},
        {"CurrentNoXtras", "", 7, {}, "1.55B"},
        {"Old", "xtras", 0, {}, "old"},
        {"Mixed", "Xtras", 7, {}, "mixed"},  // all but the plug-in
        {"Interrupted", "xtras", 8, "ours", "interrupted"},
        {"PowerLost", "xtras", 8, "ours cut", "interrupted"},
        {"NotesOfTheUser", "xtras", 8, "journal", "blocked"},
        {"EmptyFileOfTheUser", "xtras", 8, "", "blocked"},
        // Set aside by an update, which then goes on: its files tell.
        {"JournalFromAnotherPc", "xtras", 8,
         engine::JournalText(ours, platform::MachineKey{0x6f, 0x74, 0x68}), "1.55B"},
        {"JournalFolder", "xtras", 8, "/", "blocked"},
        {"NamesInTwoCases", "xtras", 8, "qbank", "blocked"},
    };
    Lines expected;
    for (const Case& k : cases) {
        const Installation skm = Install(c, k.name, k.xtras);
        for (int row = 0; row < k.newRows; ++row) {
            const std::string file = PlantedPath(engine::kReplacements[row], skm.xtras);
            fs.FileAt(skm.path + "\\" + file).SetContents(NewContents(kPackageFiles[row]));
        }
        const std::string journal = skm.path + "\\" + std::string(engine::kJournalName);
        if (k.journal == "/")
            fs.MakeFolders(journal);
        else if (k.journal == "qbank")
            fs.MakeFile(skm.path + "\\qbank.cxt", "another");
        else if (k.journal && k.journal->starts_with("ours")) {
            const std::string whole = engine::JournalText(
                ours, engine::InstallationKey(platform::MachineKey{0x4b, 0x65, 0x79},
                                              *fs.GetFolderId(skm.path)));
            fs.MakeFile(journal,
                        k.journal == "ours" ? whole : whole.substr(0, 40) + std::string(60, '\0'));
        } else if (k.journal)
            fs.MakeFile(journal, *k.journal);
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
