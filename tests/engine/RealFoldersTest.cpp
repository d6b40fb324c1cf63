// The search and refresh over real folders, through the system's own file
// services: link cycles made by the system end, an installation reached by
// two paths is refreshed by both, and the files on disk are replaced.
#include <algorithm>
#include <string>

#include "tests/engine/EngineTest.h"
#include "tests/support/PackageElsewhere.h"
#include "tests/support/PackageTree.h"
#include "tests/support/TempTree.h"

#ifdef _WIN32
#include "platform/win32/Win32FileSystem.h"
#else
#include "platform/posix/PosixFileSystem.h"
#endif

namespace engine_test {
namespace {

const std::string kTree = R"(
    Drive/Product/SKM300.EXE
    Drive/Product/QBANK.CXT = 1.50
    Drive/Product/Audio/Term/GROUP3/
    Drive/Product/Audio/Phrase/Group6/q417.mp3 = 1.50
    Drive/Product/Xtras/PlugKit2.X32 = 1.50
    Drive/Product/Audio/Up -> Drive
    Drive/Product/Self -> Drive/Product
    Drive/Other/ToProduct -> Drive/Product
)" + test_support::PackageTreeLines("Updater/Data");

class RealFolders : public EngineTest {};

// Folder links that lead back up end the walk there; the installation is
// found once directly and once through the link from the other folder, in
// whichever order the system lists them. Through the link it is not changed:
// a link as the installation folder itself could be swapped to lead anywhere.
TEST_F(RealFolders, LinkCyclesEndAndTheInstallationIsRefreshedOnDisk) {
    test_support::TempTree tree(kTree);
#ifdef _WIN32
    platform::Win32FileSystem system;
    const std::string root = tree.Path("Drive");
    const std::string package = tree.Path("Updater") + "\\";
#else
    platform::PosixFileSystem system({{'C', tree.Path("Drive")}, {'D', tree.Path("Updater")}});
    system.SetJournalKeyFile(tree.Path("Key") + "/journal-key");
    const std::string root = "C:";
    const std::string package = "D:\\";
#endif
    test_support::PackageElsewhere elsewhere(system, package);
    ListingLog listings(elsewhere);
    StepWorker worker({}, listings, ui, report);
    WatchStatusAtRefreshLines(worker);

    platform::WorkerThread thread(ui, [&](std::stop_token) { worker.SearchFolder(root); });
    thread.WaitForEnd();
    report.onOperation = nullptr;

    Lines expected = Installation{root + "\\Product", "xtras"}.RefreshLines();
    const std::string link = root + "\\Other\\ToProduct";
    // Reached through a link too, it is refreshed again through the folder
    // the link leads to, and logged under the link's path.
    Append(expected, Installation{link, "xtras"}.RefreshLines());
    Lines log = report.log;
    std::sort(expected.begin(), expected.end());
    std::sort(log.begin(), log.end());
    EXPECT_EQ(log, expected);
    EXPECT_EQ(tree.Read("Drive/Product/QBANK.CXT"), "1.55B QBank.cxt");
    EXPECT_EQ(tree.Read("Drive/Product/ZUM.DXR"), "1.55B Zum.dxr");
    EXPECT_EQ(tree.Read("Drive/Product/Audio/Phrase/Group6/q417.mp3"), "1.55B q417.mp3");
    EXPECT_EQ(tree.Read("Drive/Product/Xtras/PlugKit2.X32"), "1.55B PlugKit2.x32");
    const Lines entered = listings.FoldersEntered(package + "Data");
    EXPECT_EQ(std::count(entered.begin(), entered.end(), root + "\\Product\\Audio\\Up"), 0);
    EXPECT_EQ(std::count(entered.begin(), entered.end(), root + "\\Product\\Self"), 0);
    EXPECT_EQ(std::count(entered.begin(), entered.end(), root + "\\Other\\ToProduct"), 1);
    EXPECT_EQ(entered.size(), 1u + 2u + 7u + 6u);  // root, Product and Other, each copy's tree
}

#ifndef _WIN32
// A whole run with drive letters standing for folders of the tree.
TEST_F(RealFolders, AWholeRunOverMappedDrives) {
    test_support::TempTree tree(kTree);
    platform::PosixFileSystem system({{'C', tree.Path("Drive")}, {'D', tree.Path("Updater")}});
    system.SetJournalKeyFile(tree.Path("Key") + "/journal-key");
    test_support::PackageElsewhere files(system, "D:\\");

    engine::TMyThread worker(files, ui, report);
    worker.WaitForEnd();

    // The installation is updated by its own path and through the link.
    ASSERT_EQ(report.log.size(), 1u + 8u + 8u + 3u);
    EXPECT_EQ(report.log.front(), kOpening);
    EXPECT_EQ(Lines(report.log.end() - 3, report.log.end()), kCompletion);
    EXPECT_EQ(report.status, kCompletedStatus);
    EXPECT_EQ(tree.Read("Drive/Product/QBANK.CXT"), "1.55B QBank.cxt");
    EXPECT_FALSE(report.enabled);
}

// Where letter case counts, "Xtras" beside "xtras" leaves it uncertain which
// folder the product reads its plug-in from: the installation stays as it is.
TEST_F(RealFolders, TwoXtrasFoldersDifferingInCaseLeaveItAsItWas) {
    test_support::TempTree tree(std::string(kTree) + R"(
        Drive/Product/xtras/PlugKit2.X32 = 1.50
    )");
    platform::PosixFileSystem system({{'C', tree.Path("Drive")}, {'D', tree.Path("Updater")}});
    system.SetJournalKeyFile(tree.Path("Key") + "/journal-key");
    test_support::PackageElsewhere files(system, "D:\\");
    StepWorker worker({}, files, ui, report);

    platform::WorkerThread thread(
        ui, [&](std::stop_token) { worker.RefreshInstallation("C:\\Product"); });
    thread.WaitForEnd();

    EXPECT_EQ(report.log,
              (Installation{"C:\\Product", "xtras"}.RefreshLines(
                  "C:\\Product\\xtras：大文字と小文字だけが違う名前がほかにもあります")));
    EXPECT_EQ(tree.Read("Drive/Product/xtras/PlugKit2.X32"), "1.50");
    EXPECT_EQ(tree.Read("Drive/Product/Xtras/PlugKit2.X32"), "1.50");
}
#endif

}  // namespace
}  // namespace engine_test
