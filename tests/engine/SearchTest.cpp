// The search of the fixed drives: which folders it enters and in which
// order, which it recognises as installations, and what it passes over.
#include "tests/engine/EngineTest.h"

namespace engine_test {
namespace {

using platform::DriveType;

class Search : public EngineTest {
  protected:
    // The log of a run that refreshed `installations`, in this order.
    static Lines CompletedLog(const std::vector<Installation>& installations) {
        Lines log{kOpening};
        for (const Installation& installation : installations) {
            Append(log, installation.RefreshLines());
        }
        Append(log, kCompletion);
        return log;
    }
};

// An installation inside another is refreshed before it when listed before
// the outer marker file, and after it when listed after.
TEST_F(Search, NestedInstallationsFollowTheOuterListingOrder) {
    const Folder outer = c.AddFolder("Outer");
    const Installation before = Install(outer, "Before");
    const Installation outerInstallation = InstallInto(outer);
    const Installation after = Install(outer, "After", "");
    Contents expected = fs.Contents();
    for (const Installation* each : {&before, &outerInstallation, &after}) {
        each->ApplyUpdate(expected);
    }

    Run();

    EXPECT_EQ(report.log, CompletedLog({before, outerInstallation, after}));
    EXPECT_EQ(fs.Contents(), expected);
    EXPECT_EQ(FoldersEntered(), (Lines{"C:",
                                       "C:\\Outer",
                                       "C:\\Outer\\Before",
                                       "C:\\Outer\\Before\\Audio",
                                       "C:\\Outer\\Before\\Audio\\Term",
                                       "C:\\Outer\\Before\\Audio\\Term\\GROUP3",
                                       "C:\\Outer\\Before\\Audio\\Phrase",
                                       "C:\\Outer\\Before\\Audio\\Phrase\\Group6",
                                       "C:\\Outer\\Before\\xtras",
                                       "C:\\Outer\\Audio",
                                       "C:\\Outer\\Audio\\Term",
                                       "C:\\Outer\\Audio\\Term\\GROUP3",
                                       "C:\\Outer\\Audio\\Phrase",
                                       "C:\\Outer\\Audio\\Phrase\\Group6",
                                       "C:\\Outer\\xtras",
                                       "C:\\Outer\\After",
                                       "C:\\Outer\\After\\Audio",
                                       "C:\\Outer\\After\\Audio\\Term",
                                       "C:\\Outer\\After\\Audio\\Term\\GROUP3",
                                       "C:\\Outer\\After\\Audio\\Phrase",
                                       "C:\\Outer\\After\\Audio\\Phrase\\Group6"}));
}

TEST_F(Search, RecognisesByTheMarkerFileInAnyCaseAndTheMarkerFolder) {
    const Installation small = Install(c, "Small", "", "skm300.exe");
    // Not installations: the marker file without the marker folder, and a
    // marker folder beside a folder named like the marker file, which is
    // searched into like any other.
    const Folder noSound = c.AddFolder("NoSound");
    noSound.AddFile("SKM300.EXE");
    noSound.AddFolder("Audio").AddFolder("Term");
    const Folder named = c.AddFolder("Named");
    named.AddFolder("Audio").AddFolder("Term").AddFolder("GROUP3");
    const Installation inside = Install(named.AddFolder("SKM300.EXE"), "Inside", "");

    Run();

    EXPECT_EQ(report.log, CompletedLog({small, inside}));
    EXPECT_EQ(inside.path, "C:\\Named\\SKM300.EXE\\Inside");
}

TEST_F(Search, AnInstallationAtADriveRootIsWrittenAsTheLetterAndColon) {
    const Installation root = InstallInto(c);

    Run();

    EXPECT_EQ(report.log, CompletedLog({root}));
    EXPECT_EQ(report.log[1], "C:\\QBANK.CXT を更新しました");
}

TEST_F(Search, WalksFixedDrivesOnlyFromAToZ) {
    // Added out of order; only the fixed ones count, whatever they hold.
    const Installation onE = Install(fs.AddDrive('E'), "SKM");
    for (const auto& [letter, type] :
         {std::pair{'A', DriveType::Removable}, std::pair{'F', DriveType::Remote},
          std::pair{'G', DriveType::RamDisk}, std::pair{'H', DriveType::Unknown}}) {
        Install(fs.AddDrive(letter, type), "SKM");
    }
    Install(fs.MakeFolders("D:\\Updater"), "SKM");  // the CD the update came on
    const Installation onC = Install(c, "SKM");

    Run();

    EXPECT_EQ(report.log, CompletedLog({onC, onE}));
    const Lines entered = FoldersEntered();
    EXPECT_EQ(std::count_if(entered.begin(), entered.end(),
                            [](const std::string& path) { return path.size() == 2; }),
              2);
}

TEST_F(Search, WithoutAFixedDriveFindsNothing) {
    MemoryFileSystem noFixed;
    noFixed.AddDrive('A', DriveType::Removable);
    Install(noFixed.AddDrive('E', DriveType::Remote), "SKM");
    Install(noFixed.AddDrive('F', DriveType::CdRom), "SKM");
    const Folder package = noFixed.MakeFolders("F:\\Updater\\Data");
    for (const std::string& name : kPackageFiles)
        package.AddFile(name, NewContents(name));
    noFixed.SetOwnExecutableFolder("F:\\Updater\\");

    engine::TMyThread worker(noFixed, ui, report);
    worker.WaitForEnd();

    EXPECT_EQ(report.log, (Lines{kOpening, kNotInstalled}));
    EXPECT_TRUE(report.FoldersShown().empty());
    EXPECT_TRUE(noFixed.InstallationsOpened().empty());
}

TEST_F(Search, PassesOverAFolderThatCannotBeListed) {
    const Folder locked = c.AddFolder("Locked");
    Install(locked, "Hidden");
    locked.MakeUnlistable();
    const Installation open = Install(c, "Open", "");

    Run();

    EXPECT_EQ(report.log, CompletedLog({open}));
    const Lines entered = FoldersEntered();
    ASSERT_GE(entered.size(), 3u);
    EXPECT_EQ(entered[1], "C:\\Locked");  // entered, but nothing below it
    EXPECT_EQ(entered[2], "C:\\Open");
}

// A listing that breaks off half way is reported, and what it gave before
// the break is searched all the same.
TEST_F(Search, AListingThatFailsHalfWayIsReportedAndWhatItGaveIsSearched) {
    struct : engine::RunEvents {
        Lines notSearched;
        void FolderNotSearched(const std::string& folder, const std::string& why) override {
            notSearched.push_back(folder + ": " + why);
        }
    } heard;
    journal = &heard;
    const Folder broken = c.AddFolder("Broken");
    const Installation first = Install(broken, "First", "");
    Install(broken, "Second", "");
    broken.FailListingAfter(1);

    Run();

    EXPECT_EQ(report.log, CompletedLog({first}));
    EXPECT_EQ(heard.notSearched, Lines{"C:\\Broken: the listing broke off"});
}

// Links are followed, but never back into a folder on the current path: the
// walk ends, and an installation reached by two paths is refreshed by both.
TEST_F(Search, LinkCyclesEndAndEveryInstallationIsStillFound) {
    const Folder a = c.AddFolder("A");
    const Folder b = c.AddFolder("B");
    const Installation inA = Install(a, "SKM", "");
    a.AddLink("Back", a);  // to itself
    a.AddLink("Up", c);    // to the drive root
    a.AddLink("ToB", b);   // to a sibling that links back
    b.AddLink("ToA", a);

    Run();

    const Installation fromB{"C:\\B\\ToA\\SKM", ""};
    EXPECT_EQ(report.log, CompletedLog({inA, fromB}));
    const Lines entered = FoldersEntered();
    EXPECT_EQ(std::count(entered.begin(), entered.end(), "C:\\A\\Back"), 0);
    EXPECT_EQ(std::count(entered.begin(), entered.end(), "C:\\A\\Up"), 0);
    EXPECT_EQ(std::count(entered.begin(), entered.end(), "C:\\A\\ToB"), 1);
    EXPECT_EQ(std::count(entered.begin(), entered.end(), "C:\\A\\ToB\\ToA"), 0);
}

}  // namespace
}  // namespace engine_test
