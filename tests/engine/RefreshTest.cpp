// The refresh of one installation: which files it replaces, in which order,
// the lines it writes, and that it changes an installation as a whole: every
// obstacle, every failed operation and every crash leaves it all old or all
// new, with nothing of the update's own left behind.
#include <algorithm>
#include <functional>
#include <optional>
#include <regex>
#include <span>

#include "platform/AsciiCase.h"

#include "engine/update/InstallationUpdate.h"
#include "engine/update/UpdateJournal.h"
#include "platform/Sha256.h"
#include "tests/engine/EngineTest.h"

namespace engine_test {
namespace {

using platform::FileError;
using State = engine::UpdateEnd;

constexpr const char* kLeftAsItWas = " は元のままです：";

class Refresh : public EngineTest {
  protected:
    bool RefreshOf(const std::string& installation) {
        bool replaced = false;
        RunSteps([&](StepWorker& worker) {
            replaced = worker.RefreshInstallation(installation) == State::Updated;
        });
        return replaced;
    }

    // An installation of the old version with an xtras folder, built by hand
    // so that a test can leave out one of its files or folders.
    Installation Plant(const std::string& name, const std::string& without = "") {
        const Folder folder = c.AddFolder(name);
        folder.AddFile("SKM300.EXE", "product 1.50");
        for (const std::string file :
             {"QBANK.CXT", "TAVEN.DXR", "VIREL.DXR", "QPN.DXR", "ZUM.DXR", "BELTO.CXT"}) {
            if (file != without)
                folder.AddFile(file, "1.50 " + file);
        }
        const Folder audio = folder.AddFolder("Audio");
        audio.AddFolder("Term").AddFolder("GROUP3");
        if (without != "Phrase")
            audio.AddFolder("Phrase").AddFolder("Group6").AddFile("q417.mp3", "1.50 q417.mp3");
        if (without != "xtras")
            folder.AddFolder("xtras").AddFile("PlugKit2.X32", "1.50 plug-in");
        return {folder.Path(), without == "xtras" ? "" : "xtras"};
    }

    // The files below `installation`, by path.
    Contents ContentsOf(const Installation& installation) {
        Contents below;
        for (auto& [path, bytes] : fs.Contents()) {
            if (path.starts_with(installation.path + '\\'))
                below.emplace(path, bytes);
        }
        return below;
    }

    static Contents Updated(const Installation& installation, Contents contents) {
        installation.ApplyUpdate(contents);
        return contents;
    }
};

TEST_F(Refresh, ReplacesEightFilesInTableOrderWithTheXtrasLineLast) {
    // "Xtras" on disk is matched, and the line and destination say "xtras".
    const Installation skm = Install(c, "SKM", "Xtras");
    fs.FileAt("C:\\SKM\\QBANK.CXT").SetAttributes(0x6);  // hidden, system
    const Contents expected = Updated(skm, fs.Contents());

    EXPECT_TRUE(RefreshOf("C:\\SKM"));

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
    EXPECT_EQ(fs.AttributesOf("C:\\SKM\\QBANK.CXT"), 0x6u);
}

// Only the installation folder itself is looked at for xtras; a missing
// destination file is created.
TEST_F(Refresh, WithoutAnXtrasFolderReplacesSevenFiles) {
    const Installation skm = Plant("SKM", "xtras");
    fs.MakeFile("C:\\SKM\\Sub\\xtras\\PlugKit2.X32", "deeper down");
    fs.MakeFile("C:\\SKM\\Audio\\XTRAS\\PlugKit2.X32", "deeper down");
    fs.MakeFile("C:\\SKM\\xtras.old");
    const Installation noVirel = Plant("NoVirel", "VIREL.DXR");
    const Contents expected = Updated(noVirel, Updated(skm, fs.Contents()));

    EXPECT_TRUE(RefreshOf("C:\\SKM"));
    EXPECT_TRUE(RefreshOf("C:\\NoVirel"));

    Lines log = skm.RefreshLines();
    Append(log, noVirel.RefreshLines());
    EXPECT_EQ(report.log, log);
    EXPECT_EQ(fs.Contents(), expected);
}

// A file already at the package's bytes is neither staged nor moved: held
// open or read-only, it refuses nothing, and an installation wholly new is
// not refused even while the product runs from it.
TEST_F(Refresh, FilesAlreadyNewAreLeftAlone) {
    const Installation current = Install(c, "Current");
    const Installation half = Install(c, "Half");
    for (const auto& [path, bytes] : Updated(current, ContentsOf(current)))
        fs.FileAt(path).SetContents(bytes);
    const std::string newQbank = NewContents("QBank.cxt");
    fs.FileAt(half.path + "\\QBANK.CXT").SetContents(newQbank).Hold().MakeReadOnly();
    fs.FileAt(current.path + "\\ZUM.DXR").Hold();
    fs.FileAt(current.path + "\\QPN.DXR").MakeReadOnly();
    fs.SetRunningProgram(current.path + "\\SKM300.EXE");
    const Contents expected = Updated(half, fs.Contents());

    EXPECT_TRUE(RefreshOf(current.path));
    EXPECT_TRUE(RefreshOf(half.path));

    Lines log = current.RefreshLines();
    Append(log, half.RefreshLines());
    EXPECT_EQ(report.log, log);
    EXPECT_EQ(fs.Contents(), expected);
}

TEST_F(Refresh, AtADriveRootWritesTheLetterAndColonAlone) {
    const Installation root = InstallInto(c);
    const Contents expected = Updated(root, fs.Contents());

    RefreshOf("C:");

    ASSERT_EQ(report.log.size(), 8u);
    EXPECT_EQ(report.log[0], "C:\\QBANK.CXT を更新しました");
    EXPECT_EQ(report.log[7], "C:\\xtrasを更新しました");
    EXPECT_EQ(fs.Contents(), expected);
}

// Whatever stands in the way, the installation is left exactly as it was,
// every line says so, and one more line says why. Nothing outside it is
// written either.
TEST_F(Refresh, AnyObstacleLeavesTheWholeInstallationAsItWas) {
    const Folder outside = c.AddFolder("Outside");
    const MemoryFileSystem::FileRef outsideFile = outside.AddFile("PlugKit2.X32", "not ours");
    struct Case {
        const char* what;
        std::string without;  // of the planted installation
        std::function<void(const std::string& installation, const Folder&)> plant;
        std::string reason;  // after the installation's path, where it starts with '\'
    };
    const Case cases[] = {
        {"read-only", "",
         [&](const std::string& at, const Folder&) { fs.FileAt(at + "\\ZUM.DXR").MakeReadOnly(); },
         "\\ZUM.DXR：読み取り専用に設定されています"},
        {"held by a program the system names", "",
         [&](const std::string& at, const Folder&) {
             fs.FileAt(at + "\\ZUM.DXR").Hold();
             fs.SetApplicationName("ケルミナ そらみど");
         },
         "\\ZUM.DXR を「ケルミナ そらみど」が使用中です"},
        {"held by another program", "",
         [&](const std::string& at, const Folder&) {
             fs.SetApplicationName(std::nullopt);
             fs.FileAt(at + "\\ZUM.DXR").Hold();
         },
         "\\ZUM.DXR をほかのプログラムが使用中です"},
        {"the product running", "",
         [&](const std::string& at, const Folder&) {
             fs.SetRunningProgram(platform::AsciiUpper(at) + "\\skm300.exe");
         },
         "「ケルミナ そらみど」が実行中です"},
        {"a link as a file", "BELTO.CXT",
         [&](const std::string&, const Folder& folder) {
             folder.AddLink("BELTO.CXT", outsideFile);
         },
         "\\BELTO.CXT はリンクのため変更しません"},
        {"a link as the xtras folder", "xtras",
         [&](const std::string&, const Folder& folder) { folder.AddLink("xtras", outside); },
         "\\xtras はリンクのため変更しません"},
        {"no clip folder", "Phrase", [](const std::string&, const Folder&) {},
         "\\AUDIO\\PHRASE\\GROUP6\\q417.mp3：no such file or folder"},
        {"a folder as a file", "QPN.DXR",
         [&](const std::string&, const Folder& folder) { folder.AddFolder("QPN.DXR"); },
         "\\QPN.DXR：同じ名前のフォルダーがあります"},
        {"the package gone", "",
         [&](const std::string&, const Folder&) { fs.SetOwnExecutableFolder("D:\\Gone\\"); },
         "更新ファイルが見つかりません：D:\\Gone\\Data\\QBank.cxt"},
    };
    int number = 0;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const Installation planted = Plant("Case" + std::to_string(++number), test.without);
        const Installation expected{planted.path, "xtras"};
        test.plant(planted.path, fs.MakeFolders(planted.path));
        const Contents before = fs.Contents();
        report.Forget();

        EXPECT_FALSE(RefreshOf(planted.path));

        const std::string reason =
            test.reason.starts_with("\\") ? planted.path + test.reason : test.reason;
        EXPECT_EQ(report.log, expected.RefreshLines(reason));
        EXPECT_EQ(fs.Contents(), before);
    }
}

// The folder the search listed is the one changed: another swapped in at its
// path after the listing is refused, however much it looks the part.
TEST_F(Refresh, AFolderSwappedInAfterTheListingIsNotTouched) {
    const Installation skm = Install(c, "SKM");
    fs.MakeFolders("C:\\SKM").SetOrder({"Audio", "SKM300.EXE", "QBANK.CXT", "TAVEN.DXR",
                                        "VIREL.DXR", "QPN.DXR", "ZUM.DXR", "BELTO.CXT", "xtras"});
    const Folder impostor = c.AddFolder("Impostor");
    InstallInto(impostor);
    const Contents before = fs.Contents();

    Run({}, [&](engine::TMyThread&, const std::string& folder) {
        if (folder == "C:\\SKM\\Audio") {
            fs.MakeFolders("C:\\SKM").Rename("Real");
            impostor.Rename("SKM");
        }
    });

    Lines log{kOpening};
    Append(log, Installation{"C:\\SKM", ""}.RefreshLines(
                    "C:\\SKM：検索の後でフォルダーが入れ替えられました"));
    Append(log, kIncompletion);
    EXPECT_EQ(report.log, log);
    Contents expected;
    for (const auto& [path, bytes] : before) {
        const std::string skmPrefix = "C:\\SKM\\", impostorPrefix = "C:\\Impostor\\";
        expected[path.starts_with(skmPrefix)        ? "C:\\Real\\" + path.substr(skmPrefix.size())
                 : path.starts_with(impostorPrefix) ? skmPrefix + path.substr(impostorPrefix.size())
                                                    : path] = bytes;
    }
    EXPECT_EQ(fs.Contents(), expected);
}

// Fails the N-th file operation of a refresh, for every N; then, for every N,
// every operation from the N-th on, so that the undo fails too. Each time the
// installation ends all old with its reason, or all new, with nothing of the
// update's own left; or, only where the undo itself failed, its lines say
// which files are new, it is reported as left in the middle, and the next
// run puts it right and updates it. A destination that was missing is
// created or stays missing with the rest.
TEST_F(Refresh, AFailureAtAnyStepLeavesItAllOldOrAllNewOrSaysItIsMidway) {
    const engine::Patience brief{std::chrono::milliseconds(1), std::chrono::milliseconds(1)};
    RunSteps([&](StepWorker& worker) {
        worker.SetPatience(brief);
        ASSERT_EQ(worker.RefreshInstallation(Plant("Warm").path), State::Updated);  // package read
        const std::size_t before = fs.OperationCount();
        ASSERT_EQ(worker.RefreshInstallation(Plant("Plain", "VIREL.DXR").path), State::Updated);
        const std::size_t operations = fs.OperationCount() - before;
        std::size_t midway = 0;
        // And an exception thrown by the N-th: it stays with the refresh,
        // which undoes what it changed and ends as the files then say; a
        // refresh afterwards makes it all new.
        for (std::size_t n = 1; n <= operations; ++n) {
            SCOPED_TRACE("a throw at operation " + std::to_string(n));
            const Installation skm = Plant(std::string("T").append(std::to_string(n)), "VIREL.DXR");
            const Contents old = ContentsOf(skm);
            fs.ThrowAtOperation(n);
            report.Forget();
            const State state = worker.RefreshInstallation(skm.path);
            ASSERT_FALSE(report.log.empty());
            const std::string why = "アップデート中にエラーが発生しました：thrown by operation ";
            if (state == State::LeftAsItWas) {
                EXPECT_EQ(ContentsOf(skm), old);
                EXPECT_TRUE(report.log.back().starts_with(skm.path + kLeftAsItWas + why))
                    << report.log.back();
            } else {
                EXPECT_EQ(state, State::Midway);
                EXPECT_TRUE(
                    report.log.back().starts_with(skm.path + " は更新の途中のままです：" + why))
                    << report.log.back();
            }
            EXPECT_EQ(worker.RefreshInstallation(skm.path), State::Updated);
            EXPECT_EQ(ContentsOf(skm), Updated(skm, old));
        }
        // And a file held for a moment by another program (a scanner) at the
        // N-th: what is read is read again, and no outcome rests on it.
        enum Mode { Once, FromThenOn, Momentary };
        for (const Mode mode : {Once, FromThenOn, Momentary}) {
            const bool fromThenOn = mode == FromThenOn;
            std::size_t n = 1;
            for (;; ++n) {
                SCOPED_TRACE((fromThenOn ? "every operation from " : "operation ") +
                             std::to_string(n) + (mode == Momentary ? " held" : ""));
                const Installation skm = Plant(std::string(mode == Once ? "S"
                                                           : fromThenOn ? "M"
                                                                        : "H")
                                                   .append(std::to_string(n)),
                                               "VIREL.DXR");
                const Contents old = ContentsOf(skm);
                report.Forget();
                const std::size_t start = fs.OperationCount();
                if (fromThenOn)
                    fs.CrashAfter(n - 1);
                else if (mode == Momentary)
                    fs.FailOperation(n, {FileError::Kind::InUse, "held"});
                else
                    fs.FailOperation(n, {FileError::Kind::Other, "injected"});

                const State state = worker.RefreshInstallation(skm.path);
                fs.Revive();
                const bool reached = fs.OperationCount() - start >= n;

                if (state == State::Updated) {
                    // Where the clean-up failed, one more line names each
                    // file of the update's own that is left.
                    const Contents now = ContentsOf(skm);
                    const Lines lines = skm.RefreshLines();
                    ASSERT_GE(report.log.size(), lines.size());
                    EXPECT_EQ(Lines(report.log.begin(), report.log.begin() + 8), lines);
                    for (std::size_t i = lines.size(); i < report.log.size(); ++i) {
                        const std::string& line = report.log[i];
                        ASSERT_TRUE(line.ends_with(" を削除できませんでした")) << line;
                        const std::string left = platform::AsciiUpper(line.substr(
                            0, line.size() - std::string(" を削除できませんでした").size()));
                        EXPECT_TRUE(std::any_of(now.begin(), now.end(), [&](const auto& file) {
                            return platform::AsciiUpper(file.first) == left;
                        })) << line;
                    }
                    // Every file is new; where even the clean-up failed, the
                    // update's leftovers wait, with its journal, for the next run.
                    for (const auto& [path, bytes] : Updated(skm, old))
                        EXPECT_EQ(now.count(path) ? now.at(path) : "(none)", bytes) << path;
                    EXPECT_TRUE(now.size() == old.size() + 1 ||
                                now.count(skm.path + "\\~upd-journal"));
                } else if (state == State::LeftAsItWas) {
                    // An installation that cannot be opened or listed is not
                    // known to have an xtras folder: its lines leave it out.
                    ASSERT_FALSE(report.log.empty());
                    const std::string head = skm.path + kLeftAsItWas;
                    ASSERT_TRUE(report.log.back().starts_with(head)) << report.log.back();
                    const std::string reason = report.log.back().substr(head.size());
                    EXPECT_TRUE(reason.ends_with("：injected") ||
                                reason.ends_with("：the machine is down") ||
                                reason.ends_with(" をほかのプログラムが使用中です") ||
                                reason.ends_with("：フォルダーの内容を読み取れません"))
                        << reason;
                    const Installation seen{skm.path, report.log.size() == 9 ? "xtras" : ""};
                    EXPECT_EQ(report.log, seen.RefreshLines(reason));
                    EXPECT_EQ(ContentsOf(skm), old);
                } else {
                    ++midway;
                    EXPECT_TRUE(fromThenOn);
                    ASSERT_EQ(report.log.size(), 9u);
                    EXPECT_TRUE(
                        report.log.back().starts_with(skm.path + " は更新の途中のままです："))
                        << report.log.back();
                    const Contents now = ContentsOf(skm);
                    for (const auto& [line, file] :
                         {std::pair{0, "\\QBANK.CXT"},
                          std::pair{6, "\\Audio\\Phrase\\Group6\\q417.mp3"}}) {
                        const auto at = now.find(skm.path + file);
                        const bool isNew = at != now.end() && at->second.starts_with("1.55B");
                        // Never said new unless it is (where nothing can be
                        // read, nothing is said to be).
                        if (report.log[std::size_t(line)].ends_with(" を更新しました")) {
                            EXPECT_TRUE(isNew) << report.log[std::size_t(line)];
                        }
                    }
                    report.Forget();
                    EXPECT_EQ(worker.RefreshInstallation(skm.path), State::Updated);
                    ASSERT_FALSE(report.log.empty());
                    EXPECT_TRUE(
                        report.log.front().starts_with(skm.path + " の中断されていた更新を"))
                        << report.log.front();
                }
                if (fromThenOn) {
                    EXPECT_EQ(worker.RefreshInstallation(skm.path), State::Updated);
                    EXPECT_EQ(ContentsOf(skm), Updated(skm, old));
                }
                if (!reached)
                    break;  // the refresh got through without reaching the N-th
            }
            EXPECT_EQ(n, operations + 1);  // every operation of a refresh has failed
        }
        EXPECT_GT(midway, 0u);
    });
}

// The program dies after the N-th operation, for every N. What it leaves is
// repaired to all old or all new, with the line that says which; a run
// afterwards repairs it first, then updates it.
TEST_F(Refresh, AfterACrashAtAnyStepTheNextRunRepairsIt) {
    // After a crash nothing succeeds until the revival: the update's retries
    // are cut short.
    const engine::Patience brief{std::chrono::milliseconds(1), std::chrono::milliseconds(1)};
    RunSteps([&](StepWorker& worker) {
        worker.SetPatience(brief);
        const std::optional<engine::UpdatePackage> package =
            engine::UpdatePackage::Check(fs, kPackage).package;
        ASSERT_TRUE(package);
        ASSERT_EQ(worker.RefreshInstallation(Plant("Warm").path), State::Updated);
        std::size_t n = 1;
        for (;; ++n) {
            SCOPED_TRACE("crash after operation " + std::to_string(n));
            // Appended, not "A" + a string: MinGW's GCC 12 takes that for an
            // overlapping copy (-Wrestrict).
            const Installation alone =
                Plant(std::string("A").append(std::to_string(n)), "VIREL.DXR");
            const Installation again =
                Plant(std::string("B").append(std::to_string(n)), "VIREL.DXR");
            const Contents old = ContentsOf(alone);
            const Contents updated = Updated(alone, old);
            bool reached = false;
            for (const Installation& installation : {alone, again}) {
                const std::size_t start = fs.OperationCount();
                fs.CrashAfter(n);
                worker.RefreshInstallation(installation.path);
                fs.Revive();
                reached = fs.OperationCount() - start > n;
            }

            // The repair alone: the update that follows it finds every package
            // file changed since the check, so it changes nothing itself.
            auto packageFile = [&](const std::string& name) {
                return fs.FileAt(std::string(kPackage).append("Data\\").append(name));
            };
            for (const std::string& name : kPackageFiles)
                packageFile(name).SetContents("changed");
            const engine::UpdateOutcome outcome =
                engine::InstallationUpdate(fs, *package, alone.path, brief).Run();
            for (const std::string& name : kPackageFiles)
                packageFile(name).SetContents(NewContents(name));
            EXPECT_NE(outcome.state, engine::UpdateEnd::Midway) << outcome.reason;
            const std::optional<std::string>& line = outcome.repaired;
            const Contents repaired = ContentsOf(alone);
            if (line == alone.path + " の中断されていた更新を仕上げました") {
                EXPECT_EQ(repaired, updated);
            } else if (line == alone.path + " の中断されていた更新を元に戻しました") {
                EXPECT_EQ(repaired, old);
            } else {
                EXPECT_FALSE(line) << *line;
                EXPECT_TRUE(repaired == old || repaired == updated);
            }

            report.Forget();
            EXPECT_EQ(worker.RefreshInstallation(again.path), State::Updated);
            Lines log;
            if (line)
                log.push_back(again.path + line->substr(alone.path.size()));
            Append(log, again.RefreshLines());
            EXPECT_EQ(report.log, log);
            EXPECT_EQ(ContentsOf(again), Updated(again, ContentsOf(again)));
            if (!reached)
                break;
        }
        EXPECT_GT(n, 50u);
    });
}

}  // namespace
}  // namespace engine_test

namespace engine_test {
namespace {

// The key MemoryFileSystem keeps for this PC.
const platform::MachineKey kKey{0x4b, 0x65, 0x79};

engine::Bytes BytesOf(const std::string& contents) {
    platform::Sha256 hash;
    hash.Update(std::as_bytes(std::span(contents.data(), contents.size())));
    return {contents.size(), hash.Finish()};
}

// Files that stand in an installation before this run touches it: names like
// the update's own on the user's files, a commit record or a journal that
// no update of this installation wrote, names that differ only in letter
// case, and a journal whose repair cannot finish. What is not the update's
// own is never renamed or deleted; a journal no key vouches for is moved
// aside and the update goes forward; each ends as the table says.
TEST_F(Refresh, FilesThatWereThereBeforeAreTakenForWhatTheyAre) {
    const std::string run = "0123456789abcdef";
    const std::string newQbank = NewContents("QBank.cxt");
    const std::string backup = "QBANK.CXT.~upd-" + run + "-old";
    const std::string staged = "QBANK.CXT.~upd-" + run + "-new";
    using Files = std::vector<std::pair<std::string, std::string>>;
    using Key = platform::MachineKey;
    auto keyOf = [&](const std::string& installation) {
        return engine::InstallationKey(kKey, *fs.GetFolderId(installation));
    };
    auto journalOf = [&](const Key& key, engine::Bytes before, engine::Bytes after) {
        return engine::JournalText({run,
                                    {{0, "QBANK.CXT", engine::StagedName("QBANK.CXT", run),
                                      engine::BackupName("QBANK.CXT", run), true, before, after}}},
                                   key);
    };
    auto ours = [&](const Key& key, engine::Bytes before) {
        return journalOf(key, before, BytesOf(newQbank));
    };
    // Unkeyed, as journals once were: a sum anyone can compute.
    auto unkeyed = [&](const std::string& planted) {
        const std::string body =
            "Soramido update journal 1\nrun " + run + "\ntarget 0 QBANK.CXT QBANK.CXT.~upd-" + run +
            "-new QBANK.CXT.~upd-" + run + "-old 1 " + std::to_string(planted.size()) + ' ' +
            platform::ToHex(BytesOf(planted).digest) + ' ' + std::to_string(newQbank.size()) + ' ' +
            platform::ToHex(BytesOf(newQbank).digest) + '\n';
        return body + "sha256 " + platform::ToHex(BytesOf(body).digest) + '\n';
    };
    auto fixed = [](const Files& files) { return [files](const Key&) { return files; }; };
    const Key otherPc{0x6f, 0x74, 0x68};
    const Key elsewhere = keyOf(c.AddFolder("Elsewhere").Path());
    const std::string setAside = "~upd-journal as ~upd-journal.unverified-*";
    struct Case {
        const char* what;
        // Below the installation, given its journals' key; a name ending in
        // '\\' is a folder.
        std::function<Files(const Key& key)> files;
        bool withoutQbank;
        State state;
        std::string reason;  // after the installation's path
        // The repair's line, after the installation's path; what was planted
        // is then the update's own, and goes, but for what is kept.
        const char* repaired = "";
        // What is named as kept: "<name> as <name now>".
        Lines kept = {};
    };
    const Case cases[] = {
        {"the update's suffixes on the user's files",
         fixed({{"QBANK.CXT.~upd-old", "mine"},
                {"QBANK.CXT.~upd-new", "mine too"},
                {"ZUM.DXR.~upd-none", ""},
                {backup, "also mine"}}),
         false, State::Updated, ""},
        {"commit records without a journal",
         fixed({{"~upd-committed", ""}, {"~upd-" + run + ".committed", ""}}), false, State::Updated,
         ""},
        // Followed, it would refuse on every run: set aside, it is kept.
        {"a journal that does not match the files",
         [&](const Key& key) -> Files {
             return {{"~upd-journal", ours(key, BytesOf("other bytes"))}};
         },
         false, State::Updated, "", "", Lines{setAside}},
        {"an unkeyed journal with a right sum, naming a planted backup",
         fixed({{"~upd-journal", unkeyed("planted")}, {backup, "planted"}}), false, State::Updated,
         "", "", Lines{setAside, backup + " as " + backup}},
        {"a journal under another PC's key, its destination moved aside",
         fixed({{"~upd-journal", ours(otherPc, BytesOf("1.50 QBANK.CXT"))},
                {backup, "1.50 QBANK.CXT"},
                {staged, newQbank.substr(0, 4)}}),
         true, State::Updated, "", "",
         Lines{setAside, staged + " as " + staged, backup + " as " + backup}},
        {"a journal replayed from another installation",
         fixed({{"~upd-journal", ours(elsewhere, BytesOf("planted"))}, {backup, "planted"}}), true,
         State::Updated, "", "", Lines{setAside, backup + " as " + backup}},
        {"a journal of NUL bytes alone", fixed({{"~upd-journal", std::string(300, '\0')}}), false,
         State::Updated, "", " の中断されていた更新を元に戻しました"},
        {"a journal begun, then NUL bytes",
         [&](const Key& key) -> Files {
             return {{"~upd-journal",
                      ours(key, BytesOf("1.50 QBANK.CXT")).substr(0, 70) + std::string(200, '\0')}};
         },
         false, State::Updated, "", " の中断されていた更新を元に戻しました"},
        {"a journal whose new bytes are not the package's",
         [&](const Key& key) -> Files {
             return {{"~upd-journal",
                      journalOf(key, BytesOf("1.50 QBANK.CXT"), BytesOf("1.55A QBANK.CXT"))},
                     {"QBANK.CXT", "1.55A QBANK.CXT"},
                     {backup, "1.50 QBANK.CXT"}};
         },
         true, State::Updated, "", " の中断されていた更新を仕上げました"},
        {"a staged copy of ours whose bytes are not the journal's",
         [&](const Key& key) -> Files {
             return {{"~upd-journal", ours(key, BytesOf("1.50 QBANK.CXT"))}, {staged, "mine"}};
         },
         false, State::Updated, "", " の中断されていた更新を元に戻しました",
         Lines{staged + " as " + staged}},
        {"an empty file of a draft's name", fixed({{"~upd-" + run + ".journal", ""}}), false,
         State::Updated, ""},
        {"an empty file of the journal's name", fixed({{"~UPD-JOURNAL", ""}}), false,
         State::LeftAsItWas, "\\~upd-journal：更新の記録と同じ名前のファイルがあります"},
        {"a folder of the journal's name", fixed({{"~upd-journal\\", ""}}), false,
         State::LeftAsItWas, "\\~upd-journal：更新の記録と同じ名前のファイルがあります"},
        {"a file of the journal's name that is no journal", fixed({{"~upd-journal", "my notes"}}),
         false, State::LeftAsItWas, "\\~upd-journal：更新の記録と同じ名前のファイルがあります"},
        {"two destinations differing only in case", fixed({{"qbank.cxt", "another file"}}), false,
         State::LeftAsItWas, "\\QBANK.CXT：大文字と小文字だけが違う名前がほかにもあります"},
        {"a journal whose repair is held up: the old file is held open",
         [&](const Key& key) -> Files {
             return {{"~upd-journal", ours(key, BytesOf("1.50 QBANK.CXT"))},
                     {backup, "1.50 QBANK.CXT"},
                     {staged, newQbank}};
         },
         true, State::Midway, "\\QBANK.CXT をほかのプログラムが使用中です"},
    };
    struct KeptHeard : engine::RunEvents {
        Lines kept;
        void FileKept(const std::string& path, const std::string& keptAs, KeptWhy) override {
            kept.push_back(path + " as " + keptAs);
        }
    } heard;
    journal = &heard;
    // The name a journal is set aside under ends in a new run's identity.
    const std::regex unverified("unverified-[0-9a-f]{16}");
    auto named = [&](const std::string& text) {
        return std::regex_replace(text, unverified, "unverified-*");
    };
    int number = 0;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const Installation planted =
            Plant("Case" + std::to_string(++number), test.withoutQbank ? "QBANK.CXT" : "");
        const Contents untouched = ContentsOf(planted);
        for (const auto& [name, bytes] : test.files(keyOf(planted.path))) {
            if (name.ends_with('\\'))
                fs.MakeFolders(planted.path + '\\' + name.substr(0, name.size() - 1));
            else
                fs.MakeFile(planted.path + '\\' + name, bytes);
        }
        if (test.state == State::Midway)
            fs.FileAt(planted.path + '\\' + backup).Hold();
        const Contents before = ContentsOf(planted);
        report.Forget();
        heard.kept.clear();

        State state = State::Updated;
        RunSteps([&](StepWorker& worker) { state = worker.RefreshInstallation(planted.path); });

        EXPECT_EQ(state, test.state);
        Lines lines;
        if (*test.repaired)
            lines.push_back(planted.path + test.repaired);
        Append(lines, planted.RefreshLines(test.reason.empty()
                                               ? std::nullopt
                                               : std::optional(planted.path + test.reason)));
        if (test.state == State::Midway)
            lines.back() = planted.path + " は更新の途中のままです：" + planted.path + test.reason;
        EXPECT_EQ(report.log, lines);
        Lines kept;
        for (const std::string& line : test.kept)
            kept.push_back(planted.path + '\\' + line);
        for (std::string& line : heard.kept)
            line = named(line);
        EXPECT_EQ(heard.kept, kept);
        // Whatever is kept is kept as it was, under the name it is said to be.
        Contents expected = test.state != State::Updated ? before
                            : *test.repaired             ? Updated(planted, untouched)
                                                         : Updated(planted, before);
        for (const std::string& line : test.kept) {
            const std::string from = planted.path + '\\' + line.substr(0, line.find(" as "));
            expected[named(planted.path + '\\' + line.substr(line.find(" as ") + 4))] =
                before.at(from);
            if (line.starts_with("~upd-journal "))
                expected.erase(from);
        }
        Contents now;
        for (const auto& [path, bytes] : ContentsOf(planted))
            now[named(path)] = bytes;
        EXPECT_EQ(now, expected);
    }
    journal = nullptr;

    // A run that leaves an installation in the middle says so in its
    // outcome; once the file is let go, the next run repairs and updates it.
    const std::string held = "C:\\Case" + std::to_string(number);
    Run();
    EXPECT_EQ(outcome, engine::RunOutcome::LeftMidway);
    fs.FileAt(held + "\\QBANK.CXT.~upd-" + run + "-old").Hold(false);
    report.Forget();
    Run();
    EXPECT_EQ(std::count(report.log.begin(), report.log.end(),
                         held + " の中断されていた更新を元に戻しました"),
              1);
    EXPECT_EQ(fs.Contents().at(held + "\\QBANK.CXT"), newQbank);
    EXPECT_EQ(fs.Contents().count(held + "\\~upd-journal"), 0u);

    // Refused before its repair (the product runs from it), an interrupted
    // update is said to be in the middle, and nothing is touched.
    const Installation running = Plant("Running", "QBANK.CXT");
    fs.MakeFile(running.path + "\\~upd-journal",
                ours(keyOf(running.path), BytesOf("1.50 QBANK.CXT")));
    fs.MakeFile(running.path + "\\QBANK.CXT.~upd-" + run + "-old", "1.50 QBANK.CXT");
    fs.SetRunningProgram(running.path + "\\SKM300.EXE");
    const Contents before = ContentsOf(running);
    report.Forget();
    RunSteps([&](StepWorker& worker) {
        EXPECT_EQ(worker.RefreshInstallation(running.path), State::Midway);
    });
    fs.SetRunningProgram("");
    Lines lines = running.RefreshLines(std::string());
    lines.back() = running.path + " は更新の途中のままです：「ケルミナ そらみど」が実行中です";
    EXPECT_EQ(report.log, lines);
    EXPECT_EQ(ContentsOf(running), before);

    // Finished by the repair, then held up: every file is new, and so say
    // its lines.
    const Installation finished = Plant("Finished");
    engine::Journal whole{run, {}};
    const char* const names[] = {"QBANK.CXT", "TAVEN.DXR", "VIREL.DXR", "QPN.DXR",
                                 "ZUM.DXR",   "BELTO.CXT", "q417.mp3",  "PlugKit2.X32"};
    for (std::size_t row = 0; row < 8; ++row) {
        whole.targets.push_back({row,
                                 names[row],
                                 engine::StagedName(names[row], run),
                                 engine::BackupName(names[row], run),
                                 false,
                                 {},
                                 BytesOf(NewContents(kPackageFiles[row]))});
    }
    for (const auto& [path, bytes] : Updated(finished, ContentsOf(finished)))
        fs.FileAt(path).SetContents(bytes);
    fs.MakeFile(finished.path + "\\~upd-journal", engine::JournalText(whole, keyOf(finished.path)));
    fs.FileAt(finished.path + "\\ZUM.DXR").Hold();
    report.Forget();
    RunSteps([&](StepWorker& worker) {
        EXPECT_EQ(worker.RefreshInstallation(finished.path), State::Updated);
    });
    lines = {finished.path + " の中断されていた更新を仕上げました"};
    Append(lines, finished.RefreshLines());
    EXPECT_EQ(report.log, lines);
}

}  // namespace
}  // namespace engine_test
