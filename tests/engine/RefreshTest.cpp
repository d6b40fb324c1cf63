// The refresh of one installation: which files it replaces, in which order,
// and the log line it writes for each, failed copies included.
#include "tests/engine/EngineTest.h"

namespace engine_test {
namespace {

using platform::ReplaceResult;

class Refresh : public EngineTest {
  protected:
    engine::RefreshTally RefreshOf(const std::string& installation) {
        engine::RefreshTally tally;
        RunSteps([&](StepWorker& worker) { tally = worker.RefreshInstallation(installation); });
        return tally;
    }
};

TEST_F(Refresh, ReplacesEightFilesInTableOrderWithTheXtrasLineLast) {
    // "Xtras" on disk is matched, and the line and destination say "xtras".
    const Installation skm = Install(c, "SKM", "Xtras");
    Contents expected = fs.Contents();
    skm.ApplyUpdate(expected);

    const engine::RefreshTally tally = RefreshOf("C:\\SKM");

    EXPECT_EQ(report.log, (Lines{
                              "C:\\SKM\\QBANK.CXT を更新しました",
                              "C:\\SKM\\TAVEN.DXR を更新しました",
                              "C:\\SKM\\VIREL.DXR を更新しました",
                              "C:\\SKM\\QPN.DXR を更新しました",
                              "C:\\SKM\\ZUM.DXR を更新しました",
                              "C:\\SKM\\BELTO.CXT を更新しました",
                              "C:\\SKM\\mp3File を更新しました",
                              "C:\\SKM\\xtrasを更新しました",
                          }));
    EXPECT_EQ(fs.Contents(), expected);
    EXPECT_EQ(tally.replaced, 8u);
    EXPECT_EQ(tally.failed, 0u);
    const auto calls = fs.ReplaceCalls();
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[0], (MemoryFileSystem::ReplaceCall{"D:\\Updater\\Data\\QBank.cxt", "C:\\SKM",
                                                       "QBANK.CXT", ReplaceResult::Replaced}));
    EXPECT_EQ(calls[6].relative, "AUDIO\\PHRASE\\GROUP6\\q417.mp3");
    EXPECT_EQ(calls[7],
              (MemoryFileSystem::ReplaceCall{"D:\\Updater\\Data\\PlugKit2.x32", "C:\\SKM",
                                             "xtras\\PlugKit2.X32", ReplaceResult::Replaced}));
}

TEST_F(Refresh, WithoutAnXtrasFolderReplacesSevenFiles) {
    const Installation skm = Install(c, "SKM", "");
    Contents expected = fs.Contents();
    skm.ApplyUpdate(expected);

    const engine::RefreshTally tally = RefreshOf("C:\\SKM");

    EXPECT_EQ(report.log, skm.RefreshLines());
    EXPECT_EQ(report.log.size(), 7u);
    EXPECT_EQ(fs.Contents(), expected);
    EXPECT_EQ(tally.replaced, 7u);
}

TEST_F(Refresh, AtADriveRootWritesTheLetterAndColonAlone) {
    const Installation root = InstallInto(c);
    Contents expected = fs.Contents();
    root.ApplyUpdate(expected);

    RefreshOf("C:");

    ASSERT_EQ(report.log.size(), 8u);
    EXPECT_EQ(report.log[0], "C:\\QBANK.CXT を更新しました");
    EXPECT_EQ(report.log[7], "C:\\xtrasを更新しました");
    EXPECT_EQ(report.log, root.RefreshLines());
    EXPECT_EQ(fs.Contents(), expected);
    EXPECT_TRUE(expected.count("C:\\QBANK.CXT"));
}

// A package without its Data folder fails every copy: each line says so and
// no file changes. (A whole run stops earlier, at the package check.)
TEST_F(Refresh, WithoutTheDataFolderEveryLineSaysItFailedAndNothingChanges) {
    fs.SetOwnExecutableFolder("D:\\Elsewhere\\");
    const Installation skm = Install(c, "SKM");
    const Contents before = fs.Contents();

    const engine::RefreshTally tally = RefreshOf("C:\\SKM");

    EXPECT_EQ(report.log, skm.RefreshLines({0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(report.log[6], "C:\\SKM\\mp3File を更新できませんでした");
    EXPECT_EQ(report.log[7], "C:\\SKM\\xtrasを更新できませんでした");
    EXPECT_EQ(fs.Contents(), before);
    EXPECT_EQ(tally.replaced, 0u);
    EXPECT_EQ(tally.failed, 8u);
}

// Read-only and locked files, a missing clip folder and a link planted as the
// xtras folder: each failure is logged as one, the others still go through,
// and nothing outside the installation is written.
TEST_F(Refresh, EachFailedCopyIsLoggedAsFailedAndTheRestStillReplaced) {
    const Folder skmFolder = c.AddFolder("SKM");
    skmFolder.AddFile("SKM300.EXE");
    skmFolder.AddFile("QBANK.CXT", "old").MakeReadOnly();
    skmFolder.AddFile("TAVEN.DXR", "old");
    skmFolder.AddFile("ZUM.DXR", "old").FailReplacement(ReplaceResult::WriteFailed);
    skmFolder.AddFolder("Audio").AddFolder("Term").AddFolder("GROUP3");  // no Phrase\Group6
    const Folder elsewhere = c.AddFolder("Elsewhere");
    elsewhere.AddFile("PlugKit2.X32", "not ours");
    skmFolder.AddLink("xtras", elsewhere);
    const Contents before = fs.Contents();

    const engine::RefreshTally tally = RefreshOf("C:\\SKM");

    EXPECT_EQ(report.log, (Installation{"C:\\SKM", "xtras"}.RefreshLines({0, 4, 6, 7})));
    Contents expected = before;
    expected["C:\\SKM\\TAVEN.DXR"] = NewContents("Taven.dxr");
    expected["C:\\SKM\\VIREL.DXR"] = NewContents("Virel.dxr");  // missing files are created
    expected["C:\\SKM\\QPN.DXR"] = NewContents("Qpn.dxr");
    expected["C:\\SKM\\BELTO.CXT"] = NewContents("Belto.cxt");
    EXPECT_EQ(fs.Contents(), expected);
    EXPECT_EQ(tally.replaced, 4u);
    EXPECT_EQ(tally.failed, 4u);
}

// The plug-in goes only into an xtras folder of the installation itself;
// one deeper down, or a file named xtras, does not count.
TEST_F(Refresh, LooksForXtrasOnlyInTheInstallationFolderItself) {
    const Installation skm = Install(c, "SKM", "");
    fs.MakeFolders("C:\\SKM\\Sub\\xtras");
    fs.MakeFile("C:\\SKM\\Audio\\XTRAS\\PlugKit2.X32", "old");
    fs.MakeFile("C:\\SKM\\xtras.old");
    fs.MakeFile("C:\\SKM\\xtras");  // a file, not a folder
    std::vector<std::string> listed;
    fs.SetListingHook([&](const std::string& folder) { listed.push_back(folder); });

    RefreshOf("C:\\SKM");

    EXPECT_EQ(report.log, skm.RefreshLines());
    EXPECT_EQ(listed, Lines{"C:\\SKM"});
}

}  // namespace
}  // namespace engine_test
