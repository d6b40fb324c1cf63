// Whole runs and their verdicts: every report operation in order, and what
// the window shows at the end.
#include <optional>
#include <span>
#include <stdexcept>

#include "platform/AsciiCase.h"
#include "platform/Sha256.h"

#include "tests/engine/EngineTest.h"

namespace engine_test {
namespace {

class RunVerdict : public EngineTest {
  protected:
    // The operations of a run from its start to the end of the search, but
    // for the folders shown on the way.
    static Lines Opening() { return {"status:", "clear", "append:" + kOpening}; }
    static Lines Appended(const Lines& lines) {
        Lines ops;
        for (const std::string& line : lines)
            ops.push_back("append:" + line);
        return ops;
    }
};

TEST_F(RunVerdict, NothingInstalled) {
    c.AddFolder("Games").AddFile("skm.txt");

    Run();

    Lines expected = Opening();
    Append(expected, {"status:", "caption:" + kRun, "append:" + kNotInstalled, "enabled:1"});
    EXPECT_EQ(report.OperationsButFoldersShown(), expected);
    EXPECT_EQ(FoldersEntered(), (Lines{"C:", "C:\\Games"}));
    EXPECT_EQ(report.log, (Lines{kOpening, kNotInstalled}));
    EXPECT_EQ(report.status, "");
    EXPECT_EQ(report.caption, kRun);
    EXPECT_TRUE(report.enabled);
    EXPECT_FALSE(report.colour);
}

TEST_F(RunVerdict, Completed) {
    const Installation skm = Install(c, "SKM");
    c.AddFolder("Other");

    Run();

    Lines expected = Opening();
    Append(expected, Appended(skm.RefreshLines()));
    Append(expected, {"status:", "caption:" + kRun});
    Append(expected, Appended(kCompletion));
    Append(expected, {"status:" + kCompletedStatus, "colour:00FF0000", "enabled:0"});
    EXPECT_EQ(report.OperationsButFoldersShown(), expected);
    // The refresh's lines come when the marker is met: after the subfolders
    // listed before it (none here), before those listed after it.
    EXPECT_EQ(FoldersEntered(),
              (Lines{"C:", "C:\\SKM", "C:\\SKM\\Audio", "C:\\SKM\\Audio\\Term",
                     "C:\\SKM\\Audio\\Term\\GROUP3", "C:\\SKM\\Audio\\Phrase",
                     "C:\\SKM\\Audio\\Phrase\\Group6", "C:\\SKM\\xtras", "C:\\Other"}));

    Lines log{kOpening};
    Append(log, skm.RefreshLines());
    Append(log, kCompletion);
    EXPECT_EQ(report.log, log);
    EXPECT_EQ(report.log.size(), 12u);
    EXPECT_EQ(report.status, kCompletedStatus);
    EXPECT_EQ(report.colour, 0x00FF0000u);
    EXPECT_EQ(report.caption, kRun);
    EXPECT_FALSE(report.enabled);
}

// One installation left as it was is enough: the run says it did not
// complete, in red, and leaves the button enabled for another try.
TEST_F(RunVerdict, AnInstallationLeftAsItWasMeansTheUpdateDidNotComplete) {
    const Installation good = Install(c, "Good");
    const Installation held = Install(c, "Held", "");
    fs.FileAt("C:\\Held\\ZUM.DXR").MakeReadOnly();
    Contents expected = fs.Contents();
    good.ApplyUpdate(expected);

    Run();

    Lines log{kOpening};
    Append(log, good.RefreshLines());
    Append(log, held.RefreshLines("C:\\Held\\ZUM.DXR：読み取り専用に設定されています"));
    Append(log, kIncompletion);
    EXPECT_EQ(report.log, log);
    const Lines operations = report.OperationsButFoldersShown();
    const Lines tail(operations.end() - 7, operations.end());
    Lines expectedTail{"status:", "caption:" + kRun};
    Append(expectedTail, Appended(kIncompletion));
    Append(expectedTail, {"status:" + kIncompleteStatus, "colour:000000FF"});
    EXPECT_EQ(tail, expectedTail);
    EXPECT_EQ(report.colour, 0x000000FFu);
    EXPECT_EQ(report.caption, kRun);
    EXPECT_TRUE(report.enabled);
    EXPECT_EQ(fs.Contents(), expected);
}

// A package with files missing is named file by file, and nothing at all is
// searched or touched.
TEST_F(RunVerdict, AnIncompletePackageStopsTheRunBeforeTheSearch) {
    Install(c, "SKM");
    fs.SetOwnExecutableFolder("D:\\Partial\\");
    const Folder data = fs.MakeFolders("D:\\Partial\\Data");
    for (const std::string& name : kPackageFiles) {
        if (name != "Qpn.dxr" && name != "PlugKit2.x32")
            data.AddFile(name, NewContents(name));
    }
    data.AddFolder("Qpn.dxr");  // a folder is not the file
    const Contents before = fs.Contents();

    Run();

    EXPECT_EQ(report.operations,
              (Lines{"status:", "clear", "append:" + kOpening,
                     "append:更新ファイルが見つかりません：D:\\Partial\\Data\\Qpn.dxr",
                     "append:更新ファイルが見つかりません：D:\\Partial\\Data\\PlugKit2.x32",
                     "append:更新ファイルが不足しているため、アップデートを実行できません。",
                     "status:", "caption:" + kRun, "enabled:1"}));
    EXPECT_EQ(fs.Contents(), before);
    EXPECT_TRUE(fs.InstallationsOpened().empty());
}

// Only the package's true bytes go in. A file that is empty, or that differs
// from the list the program carries, stops the run before anything is
// touched; one that changes after the check is never installed.
TEST_F(RunVerdict, OnlyThePackagesTrueBytesAreInstalled) {
    const Installation skm = Install(c, "SKM");
    const Contents before = fs.Contents();
    const std::string qpn = kPackage + "Data\\Qpn.dxr";
    const auto listing = [](const std::string& qpnSize, const std::string& qpnContents) {
        std::string list;
        for (const std::string& name : kPackageFiles) {
            const std::string contents = name == "Qpn.dxr" ? qpnContents : NewContents(name);
            platform::Sha256 hash;
            hash.Update(std::as_bytes(std::span(contents)));
            list += name + ' ' + (name == "Qpn.dxr" ? qpnSize : std::to_string(contents.size())) +
                    ' ' + platform::ToHex(hash.Finish()) + "\r\n";
        }
        return list;
    };
    const std::string size = std::to_string(NewContents("Qpn.dxr").size());
    const std::string damaged = "更新ファイルが壊れています：" + qpn;
    const std::string refused = "更新ファイルが不足しているため、アップデートを実行できません。";
    struct Case {
        const char* what;
        std::string contents;  // of Qpn.dxr
        std::optional<std::string> list;
        Lines log;
    };
    const Case cases[] = {
        {"empty", "", std::nullopt, {kOpening, damaged, refused}},
        {"not the listed size",
         NewContents("Qpn.dxr"),
         listing("99", NewContents("Qpn.dxr")),
         {kOpening, damaged, refused}},
        {"not the listed bytes",
         NewContents("Qpn.dxr"),
         listing(size, "1.55C Qpn.dxr"),
         {kOpening, damaged, refused}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        report = RecordingReport();
        fs.FileAt(qpn).SetContents(test.contents);
        fs.SetBuiltInPackageList(test.list);
        Run();
        EXPECT_EQ(report.log, test.log);
        EXPECT_TRUE(fs.InstallationsOpened().empty());
    }

    // Changed between the check and the copy: the installation stays as it was.
    report = RecordingReport();
    fs.FileAt(qpn).SetContents(NewContents("Qpn.dxr"));
    fs.SetBuiltInPackageList(listing(size, NewContents("Qpn.dxr")));
    Run({}, [&](engine::TMyThread&, const std::string& folder) {
        if (folder == "C:\\SKM")
            fs.FileAt(qpn).SetContents("1.55B Qpn.dxr, but another");
    });
    Lines log{kOpening};
    Append(log, skm.RefreshLines(qpn + "：更新ファイルが途中で変わりました"));
    Append(log, kIncompletion);
    EXPECT_EQ(report.log, log);
    Contents expected = before;
    expected[qpn] = "1.55B Qpn.dxr, but another";
    EXPECT_EQ(fs.Contents(), expected);

    // A link in the package, as one of its files or as Data itself, is not
    // followed: the package counts as damaged.
    fs.FileAt(qpn).SetContents(NewContents("Qpn.dxr"));
    fs.SetBuiltInPackageList(std::nullopt);
    const Folder linked = fs.MakeFolders("D:\\Linked\\Data");
    for (const std::string& name : kPackageFiles) {
        if (name == "Qpn.dxr")
            linked.AddLink(name, fs.FileAt(qpn));
        else
            linked.AddFile(name, NewContents(name));
    }
    fs.MakeFolders("D:\\LinkedData").AddLink("Data", fs.MakeFolders(kPackage + "Data"));
    for (const auto& [program, path] : {std::pair{"D:\\Linked\\", "D:\\Linked\\Data\\Qpn.dxr"},
                                        std::pair{"D:\\LinkedData\\", "D:\\LinkedData\\Data"}}) {
        SCOPED_TRACE(path);
        report = RecordingReport();
        fs.SetOwnExecutableFolder(program);
        Run();
        EXPECT_EQ(report.log,
                  (Lines{kOpening, "更新ファイルが壊れています：" + std::string(path), refused}));
    }
}

// The taskbar's share of the search counts every entry listed, most of them
// by the threads reading ahead rather than by the walk.
TEST_F(RunVerdict, SearchProgressCountsTheEntriesListedAhead) {
    struct Journal : engine::RunEvents {
        std::uint64_t lastSearched = 0;
        bool counted = false;
        void SearchProgress(std::uint64_t searched,
                            std::optional<std::uint64_t> onDrives) override {
            lastSearched = searched;
            counted = counted || onDrives.has_value();
        }
    } heard;
    for (const char* folder : {"C:\\A\\", "C:\\B\\", "C:\\Z\\"}) {
        for (int i = 0; i < 40; ++i)
            fs.MakeFile(folder + std::to_string(i));
    }
    RecordingReport shown;
    engine::TMyThread worker(fs, ui, shown, &heard, 4u);
    worker.WaitForEnd();
    // Whichever folder is entered last, the root and the two others, with
    // their dots, are listed by then.
    EXPECT_GE(heard.lastSearched, 3u + 2 * 42u);
    EXPECT_FALSE(heard.counted);  // the in-memory drive keeps no count
}

// What an administrator's log file hears besides the window's lines: the
// package as read, the folders that could not be searched, when an
// installation is being changed, and how each kind of run ended.
TEST_F(RunVerdict, TheJournalHearsWhatTheWindowDoesNotShow) {
    struct Journal : engine::RunEvents {
        Lines events;
        void PackageFileChecked(const std::string& name, std::uint64_t size,
                                const std::string& sha256) override {
            events.push_back("package " + name + ' ' + std::to_string(size) + ' ' +
                             std::to_string(sha256.size()));
        }
        void FolderNotSearched(const std::string& folder, const std::string& why) override {
            events.push_back("not searched " + folder + ": " + why);
        }
        void DriveNotSearched(const std::string& drive, const std::string& why) override {
            events.push_back("drive not searched " + drive + ": " + why);
        }
        void ChangingInstallation(bool changing) override {
            events.push_back(changing ? "changing" : "changed");
        }
        void RunEnded(engine::RunOutcome) override { events.push_back("ended"); }
    } heard;
    journal = &heard;
    c.AddFolder("Locked").MakeUnlistable();
    fs.AddDrive('E').MakeUnlistable();  // a locked encrypted drive
    Install(c, "SKM");

    Run();

    Lines expected;
    for (const std::string& name : kPackageFiles) {
        expected.push_back("package " + name + ' ' + std::to_string(NewContents(name).size()) +
                           " 64");
    }
    Append(expected,
           {"not searched C:\\Locked: access denied", "changing", "changed",
            "drive not searched E:: access denied", "not searched E:: access denied", "ended"});
    EXPECT_EQ(heard.events, expected);
    EXPECT_EQ(outcome, engine::RunOutcome::Updated);

    // Each verdict has its outcome.
    using engine::RunOutcome;
    const auto outcomeOfARun = [&](platform::FileSystem& files) {
        RecordingReport shown;
        engine::TMyThread worker(files, ui, shown);
        worker.WaitForEnd();
        return worker.Outcome();
    };
    EXPECT_EQ(outcomeOfARun(fs), RunOutcome::Updated);  // current now, and updated again
    // A file already new is not rewritten, so only an old one can refuse.
    fs.FileAt("C:\\SKM\\ZUM.DXR").SetContents("1.50 ZUM.DXR");
    fs.FileAt("C:\\SKM\\ZUM.DXR").MakeReadOnly();
    EXPECT_EQ(outcomeOfARun(fs), RunOutcome::SomeLeft);
    fs.FileAt(kPackage + "Data\\Zum.dxr").SetContents("");
    EXPECT_EQ(outcomeOfARun(fs), RunOutcome::PackageDamaged);
    MemoryFileSystem noProduct;
    noProduct.AddDrive('C');
    noProduct.AddDrive('D', platform::DriveType::CdRom);
    noProduct.SetOwnExecutableFolder(kPackage);
    for (const std::string& name : kPackageFiles)
        noProduct.MakeFile(std::string(kPackage).append("Data\\").append(name), NewContents(name));
    EXPECT_EQ(outcomeOfARun(noProduct), RunOutcome::NothingFound);
}

TEST_F(RunVerdict, PackageNamesAreMatchedInAnyLetterCase) {
    MemoryFileSystem shouting;
    shouting.AddDrive('C');
    shouting.AddDrive('D', platform::DriveType::CdRom);
    shouting.SetOwnExecutableFolder(kPackage);
    const Folder data = shouting.MakeFolders(kPackage + "DATA");
    for (const std::string& name : kPackageFiles)
        data.AddFile(platform::AsciiUpper(name), "x");

    engine::TMyThread worker(shouting, ui, report);
    worker.WaitForEnd();

    EXPECT_EQ(report.log, (Lines{kOpening, kNotInstalled}));
}

// A file system that fails in a way the engine does not expect.
class FailingFileSystem : public MemoryFileSystem {
  public:
    std::function<void()> fail;
    bool ListFolder(const std::string& folder, const EntrySink& onEntry) override {
        if (folder == "C:\\Bad")
            fail();
        return MemoryFileSystem::ListFolder(folder, onEntry);
    }
};

TEST_F(RunVerdict, AnUnexpectedFailureEndsTheRunWithAMessage) {
    // A description in another encoding than UTF-8 (as Windows gives its
    // own error texts) is not shown as garbage either.
    const std::pair<std::string, std::string> failures[] = {
        {"disk gone", "disk gone"},
        {"\x83\x47\x83\x89\x81\x5B", "不明なエラー"},
        {"", "不明なエラー"}};
    for (const auto& [thrown, shown] : failures) {
        SCOPED_TRACE(thrown.empty() ? "not a std::exception" : thrown);
        FailingFileSystem failing;
        failing.fail = [thrown = thrown] {
            if (!thrown.empty())
                throw std::runtime_error(thrown);
            throw 42;
        };
        failing.AddDrive('C');
        const Installation first = Install(failing.MakeFolders("C:"), "A");
        failing.MakeFolders("C:\\Bad");
        failing.SetOwnExecutableFolder(kPackage);
        failing.AddDrive('D', platform::DriveType::CdRom);
        const Folder data = failing.MakeFolders(kPackage + "Data");
        for (const std::string& name : kPackageFiles)
            data.AddFile(name, NewContents(name));
        RecordingReport fresh;

        engine::TMyThread worker(failing, ui, fresh);
        worker.WaitForEnd();

        Lines log{kOpening};
        Append(log, first.RefreshLines());
        log.push_back("アップデート中にエラーが発生しました：" + shown);
        EXPECT_EQ(fresh.log, log);
        EXPECT_EQ(fresh.caption, kRun);
        EXPECT_TRUE(fresh.enabled);
        EXPECT_EQ(fresh.status, "C:\\Bad");
    }
}

}  // namespace
}  // namespace engine_test
