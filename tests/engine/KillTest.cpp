// The updater's process ended at every file operation of one refresh, on the
// system's own file services (natively, and under Wine on the Win32 ones),
// each time followed by one run in a new process: that run leaves every file
// new and nothing of the update's own behind, says so by its outcome, and
// logs what the update's story (UpdateStory.h) tells of the step killed in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/update/InstallationUpdate.h"
#include "engine/update/KeptSets.h"
#include "engine/update/UpdatePackage.h"
#include "engine/update/UpdateStory.h"
#include "platform/AsciiCase.h"
#include "platform/ForwardingFileSystem.h"
#include "tests/support/PackageTree.h"
#include "tests/support/TempTree.h"

#ifdef _WIN32
#include "platform/win32/WinApi.h"

#include "platform/win32/ModulePath.h"
#include "platform/win32/ProgramKey.h"
#include "platform/win32/ScopedWin.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32FileSystem.h"
#else
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "platform/posix/PosixFileSystem.h"
#endif

namespace {

using platform::Failure;
using platform::FileError;
using platform::Result;

const std::string kTree = R"(
    Drive/Product/SKM300.EXE
    Drive/Product/QBANK.CXT = 1.50 QBANK.CXT
    Drive/Product/TAVEN.DXR = 1.50 TAVEN.DXR
    Drive/Product/ZUM.DXR = 1.50 ZUM.DXR
    Drive/Product/Audio/Term/GROUP3/
    Drive/Product/Audio/Phrase/Group6/q417.mp3 = 1.50 q417.mp3
    Drive/Product/xtras/PlugKit2.X32 = 1.50 plug-in
)" + test_support::PackageTreeLines("Updater/Data");
const std::string kSecondInstallation = R"(
    Drive/Second/SKM300.EXE
    Drive/Second/QBANK.CXT = 1.50 QBANK.CXT
    Drive/Second/Audio/Term/GROUP3/
    Drive/Second/Audio/Phrase/Group6/q417.mp3 = 1.50 q417.mp3
)";

// The child's exit codes.
constexpr int kAllNew = 0;
constexpr int kNotAllNew = 3;
constexpr int kNotAsked = 4;  // the refresh ended before the operation to die at

// What a child tells its parent beside its exit code, in a file of the tree
// outside the installation: the step of the story it was killed in, and the
// RepairLine bit of what a run to the end logged of a repair.
constexpr const char* kKilledIn = "killed-in";
constexpr const char* kLogged = "logged";

void Note(const std::string& root, const char* what, int value) {
    std::ofstream(std::filesystem::path(root) / what) << value;
}

std::optional<int> Noted(const test_support::TempTree& tree, const char* what) {
    const std::optional<std::string> text = tree.Read(what);
    return text ? std::optional<int>(std::atoi(text->c_str())) : std::nullopt;
}

int RepairLineOf(const engine::UpdateOutcome& outcome) {
    if (!outcome.repaired)
        return engine::kNoRepairLine;
    for (const engine::RepairLine line : {engine::kRepairUndone, engine::kRepairCompleted}) {
        if (outcome.repaired->ends_with(engine::RepairLineText(line)))
            return line;
    }
    return 0;  // a line the story does not tell
}

// Ends this process at once, as a power cut or a kill would, with no
// destructor, flush or handler run.
[[noreturn]] void Die() {
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), 99);
#else
    std::raise(SIGKILL);
#endif
    std::abort();
}

// Counts the file operations of a refresh and ends the process just after
// the one to die at, or throws there instead.
class Fate {
  public:
    enum class End : bool { Die, Throw };
    explicit Fate(std::size_t dieAfter, End end = End::Die) : dieAfter_(dieAfter), end_(end) {}
    template <typename T>
    T Counted(T result) {
        Tick();
        return result;
    }
    bool Reached() const { return dieAfter_ == 0 || done_ >= dieAfter_; }
    // Said just before the process dies.
    void LastWords(std::function<void()> words) { lastWords_ = std::move(words); }

  private:
    // Apart from Counted, so that the throw is not inlined into every move
    // of a result: GCC 12 then takes the moved-from variant for uninitialised.
    [[gnu::noinline]] void Tick() {
        if (dieAfter_ != 0 && ++done_ == dieAfter_) {
            if (end_ == End::Throw)
                throw std::runtime_error("thrown after operation " + std::to_string(done_));
            if (lastWords_)
                lastWords_();
            Die();
        }
    }

    std::size_t dieAfter_;
    End end_;
    std::size_t done_ = 0;
    std::function<void()> lastWords_;
};

class FatedStaged final : public platform::StagedFile {
  public:
    FatedStaged(std::unique_ptr<platform::StagedFile> file, Fate& fate)
        : file_(std::move(file)), fate_(fate) {}
    Failure Write(std::span<const std::byte> bytes) override {
        return fate_.Counted(file_->Write(bytes));
    }
    Failure Finish(platform::FileTime time, std::string_view predecessor) override {
        return fate_.Counted(file_->Finish(time, predecessor));
    }

  private:
    std::unique_ptr<platform::StagedFile> file_;
    Fate& fate_;
};

class FatedFolder final : public platform::FolderHandle {
  public:
    FatedFolder(std::unique_ptr<platform::FolderHandle> folder, Fate& fate)
        : folder_(std::move(folder)), fate_(fate) {}
    static Result<std::unique_ptr<platform::FolderHandle>> Wrap(
        Result<std::unique_ptr<platform::FolderHandle>> opened, Fate& fate) {
        if (!opened)
            return fate.Counted(std::move(opened));
        return fate.Counted(Result<std::unique_ptr<platform::FolderHandle>>(
            std::make_unique<FatedFolder>(std::move(*opened), fate)));
    }

    bool List(const EntrySink& onEntry) override { return fate_.Counted(folder_->List(onEntry)); }
    std::optional<platform::FileId> Id() override { return folder_->Id(); }
    Result<std::unique_ptr<platform::FolderHandle>> OpenFolder(std::string_view name) override {
        return Wrap(folder_->OpenFolder(name), fate_);
    }
    Result<std::unique_ptr<platform::SourceFile>> OpenFile(std::string_view name) override {
        return fate_.Counted(folder_->OpenFile(name));
    }
    Result<Entry> Inspect(std::string_view name) override {
        return fate_.Counted(folder_->Inspect(name));
    }
    Failure CheckNotInUse(std::string_view name) override {
        return fate_.Counted(folder_->CheckNotInUse(name));
    }
    Result<std::unique_ptr<platform::StagedFile>> CreateFile(std::string_view name) override {
        auto created = folder_->CreateFile(name);
        if (!created)
            return fate_.Counted(std::move(created));
        return fate_.Counted(Result<std::unique_ptr<platform::StagedFile>>(
            std::make_unique<FatedStaged>(std::move(*created), fate_)));
    }
    Failure Rename(std::string_view from, std::string_view to) override {
        return fate_.Counted(folder_->Rename(from, to));
    }
    Failure Delete(std::string_view name) override { return fate_.Counted(folder_->Delete(name)); }

  private:
    std::unique_ptr<platform::FolderHandle> folder_;
    Fate& fate_;
};

// Where `only` is given, the fate meets only the operations inside that
// folder.
class FatedFiles final : public platform::ForwardingFileSystem {
  public:
    FatedFiles(platform::FileSystem& files, Fate& fate, std::string package, std::string only = {})
        : ForwardingFileSystem(files),
          fate_(fate),
          package_(std::move(package)),
          only_(std::move(only)) {}
    Result<std::unique_ptr<platform::FolderHandle>> OpenFolderNoLink(
        const std::string& path) override {
        if (!only_.empty() && path != only_)
            return ForwardingFileSystem::OpenFolderNoLink(path);
        return FatedFolder::Wrap(ForwardingFileSystem::OpenFolderNoLink(path), fate_);
    }
    Result<std::unique_ptr<platform::FolderHandle>> OpenFolderFollowingLinks(
        const std::string& path) override {
        return FatedFolder::Wrap(ForwardingFileSystem::OpenFolderFollowingLinks(path), fate_);
    }
    std::string OwnExecutableFolder() override { return package_; }

  private:
    Fate& fate_;
    std::string package_;
    std::string only_;
};

// The system's own file services over the tree at `root`: the folder that
// holds the installations and the package's, as the program names them.
struct OnDisk {
    std::unique_ptr<platform::FileSystem> system;
    std::string drive;
    std::string package;
};

OnDisk OnDiskAt(const std::string& root) {
#ifdef _WIN32
    return {std::make_unique<platform::Win32FileSystem>(), root + "\\Drive", root + "\\Updater\\"};
#else
    auto system = std::make_unique<platform::PosixFileSystem>(
        platform::DriveMap{{'C', root + "/Drive"}, {'D', root + "/Updater"}});
    system->SetJournalKeyFile(root + "/Key/journal-key");
    return {std::move(system), "C:", "D:\\"};
#endif
}

// One refresh of the installation in the tree at `root`, dying after
// operation `dieAfter` (never for 0).
int RefreshAsAChild(const std::string& root, std::size_t dieAfter) {
    const OnDisk disk = OnDiskAt(root);
    const std::string installation = disk.drive + "\\Product";
    const std::string& package = disk.package;
    Fate fate(dieAfter);
    FatedFiles files(*disk.system, fate, package);
    const engine::PackageCheck check = engine::UpdatePackage::Check(files, package);
    if (!check.package)
        return kNotAllNew;
    engine::InstallationUpdate update(files, *check.package, installation, {});
    fate.LastWords([&] { Note(root, kKilledIn, int(update.StepNow())); });
    const engine::UpdateOutcome outcome = update.Run();
    Note(root, kLogged, RepairLineOf(outcome));
    if (!fate.Reached())
        return kNotAsked;
    return outcome.state == engine::UpdateEnd::Updated && outcome.leftOver.empty() ? kAllNew
                                                                                   : kNotAllNew;
}

#ifdef _WIN32
std::wstring self;  // this program
#else
std::string self;  // this program
#endif

// Runs this program as a child refreshing the tree at `root`; its exit code.
int RunChild(const std::string& root, std::size_t dieAfter) {
#ifdef _WIN32
    std::wstring command = L"\"" + self + L"\" --child \"" + platform::Utf8ToUtf16(root) + L"\" " +
                           std::to_wstring(dieAfter);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    const platform::ScopedHandle thread(process.hThread);
    const platform::ScopedHandle child(process.hProcess);
    // A child that hangs rather than dies is a failure of its own.
    if (WaitForSingleObject(child.Get(), 120000) != WAIT_OBJECT_0) {
        TerminateProcess(child.Get(), 99);
        ADD_FAILURE() << "the child refreshing " << root << " did not end within 120 s";
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(child.Get(), &code);
    return int(code);
#else
    const pid_t child = fork();
    if (child == 0)
        _exit(RefreshAsAChild(root, dieAfter));
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
#endif
}

// Every file of the installation in the tree new or, with `old`, old, and
// nothing but the product's own names: no journal, no draft, no staged
// copy, no backup.
void ExpectOnlyTheProductsFiles(const test_support::TempTree& tree, bool old = false) {
    if (old) {
        EXPECT_EQ(tree.Read("Drive/Product/QBANK.CXT"), "1.50 QBANK.CXT");
        EXPECT_EQ(tree.Read("Drive/Product/VIREL.DXR"), std::nullopt);
        EXPECT_EQ(tree.Read("Drive/Product/xtras/PlugKit2.X32"), "1.50 plug-in");
    } else {
        EXPECT_EQ(tree.Read("Drive/Product/QBANK.CXT"), "1.55B QBank.cxt");
        EXPECT_EQ(tree.Read("Drive/Product/VIREL.DXR"), "1.55B Virel.dxr");
        EXPECT_EQ(tree.Read("Drive/Product/Audio/Phrase/Group6/q417.mp3"), "1.55B q417.mp3");
        EXPECT_EQ(tree.Read("Drive/Product/xtras/PlugKit2.X32"), "1.55B PlugKit2.x32");
    }
    const std::vector<std::string> names =
        old ? std::vector<std::string>{"Audio",     "QBANK.CXT", "SKM300.EXE",
                                       "TAVEN.DXR", "ZUM.DXR",   "xtras"}
            : std::vector<std::string>{"Audio",     "BELTO.CXT",  "QBANK.CXT",
                                       "QPN.DXR",   "SKM300.EXE", "TAVEN.DXR",
                                       "VIREL.DXR", "ZUM.DXR",    "xtras"};
    EXPECT_EQ(tree.Names("Drive/Product"), names);
    EXPECT_EQ(tree.Names("Drive/Product/xtras"), (std::vector<std::string>{"PlugKit2.X32"}));
    EXPECT_EQ(tree.Names("Drive/Product/Audio/Phrase/Group6"),
              (std::vector<std::string>{"q417.mp3"}));
}

TEST(KillAtAnyStep, OneRunAfterwardsLeavesItAllNewWithNothingLeftAsTheStoryTells) {
    std::set<engine::UpdateStep> met;
    std::size_t n = 1;
    for (;; ++n) {
        SCOPED_TRACE("killed after operation " + std::to_string(n));
        test_support::TempTree tree(kTree);
        const int killed = RunChild(tree.Path(), n);
        if (killed == kNotAsked || killed == kAllNew)
            break;  // the refresh got through without reaching the n-th
        ASSERT_EQ(killed, 99);
        // Killed before the update began (while the package was checked),
        // the child names no step: nothing of the update's stands.
        const std::optional<int> step = Noted(tree, kKilledIn);
        EXPECT_EQ(RunChild(tree.Path(), 0), kAllNew);
        const int logged = Noted(tree, kLogged).value_or(0);
        if (step) {
            const engine::StoryStep& told = engine::StoryOf(engine::UpdateStep(*step));
            met.insert(told.step);
            EXPECT_NE(told.logs & logged, 0)
                << "killed in " << told.name << ", the next run logged " << logged
                << "; the story: " << told.nextRun;
        } else {
            EXPECT_EQ(logged, engine::kNoRepairLine);
        }
        ExpectOnlyTheProductsFiles(tree);
        if (HasFatalFailure())
            break;
    }
    EXPECT_GT(n, 40u);  // every operation of a refresh had its turn
    // A new installation has nothing to repair and is held by nothing: every
    // other step met a kill.
    for (const engine::StoryStep& told : engine::kUpdateStory) {
        if (told.way != engine::Way::AtRestart && told.step != engine::UpdateStep::Repair) {
            EXPECT_TRUE(met.contains(told.step)) << told.name << " met no kill";
        }
    }
}

// This PC's journal key lost, as a reinstalled Windows or a cleaned registry
// loses it: every journal written before is no longer vouched for.
void LoseTheKey(const std::string& root) {
#ifdef _WIN32
    (void)root;
    HKEY parent = nullptr;
    if (RegOpenKeyExW(
            HKEY_LOCAL_MACHINE, platform::kProgramKeyParent, 0,
            DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY,
            &parent) == ERROR_SUCCESS) {
        RegDeleteTreeW(parent, platform::kJournalKeyName);
        RegCloseKey(parent);
    }
#else
    std::filesystem::remove(root + "/Key/journal-key");
#endif
}

// What stands in the installation beside the product's own files.
std::vector<std::string> LeftBeside(const test_support::TempTree& tree) {
    std::vector<std::string> left;
    for (const char* folder :
         {"Drive/Product", "Drive/Product/xtras", "Drive/Product/Audio/Phrase/Group6"}) {
        for (const std::string& name : tree.Names(folder)) {
            if (name.find("~upd") != std::string::npos)
                left.push_back(std::string(folder) + '/' + name);
        }
    }
    return left;
}

// Kill after kill with the key lost in between, each run setting the last
// one's journal aside: what is kept holds each old file's bytes once, under
// one journal, and the run after is all new and keeps no more.
// The first operation of an update (the system's file services count
// their own) after which a kill leaves an old file under its backup name.
std::size_t InTheRenames() {
    for (std::size_t n = 20; n < 400; n += 5) {
        test_support::TempTree tree(kTree);
        if (RunChild(tree.Path(), n) != 99)
            break;
        const std::vector<std::string> left = LeftBeside(tree);
        if (std::any_of(left.begin(), left.end(),
                        [](const std::string& name) { return name.ends_with("-old"); })) {
            return n;
        }
    }
    ADD_FAILURE() << "no kill left a backup";
    return 0;
}

TEST(KillAtAnyStep, KillsWithTheKeyLostKeepOneSet) {
    const std::size_t inTheRenames = InTheRenames();
    ASSERT_NE(inTheRenames, 0u);
    test_support::TempTree tree(kTree);
    for (int kill = 0; kill < 3; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill + 1));
        const int killed = RunChild(tree.Path(), inTheRenames);
        ASSERT_TRUE(killed == 99 || killed == kNotAsked) << killed;
        LoseTheKey(tree.Path());
    }
    EXPECT_EQ(RunChild(tree.Path(), 0), kAllNew);
    const std::vector<std::string> kept = LeftBeside(tree);
    EXPECT_EQ(std::count_if(kept.begin(), kept.end(),
                            [](const std::string& name) {
                                return name.find("~upd-journal.unverified-") != std::string::npos;
                            }),
              1)
        << testing::PrintToString(kept);
    std::set<std::string> bytes;
    for (const std::string& name : kept) {
        const std::string held = tree.Read(name).value_or("");
        if (name.find("journal") != std::string::npos)
            continue;
        EXPECT_TRUE(held.starts_with("1.50 ")) << name << " holds " << held;
        EXPECT_TRUE(bytes.insert(held).second) << name << " holds what another kept file does";
    }
    // Named by every run, and by /LIST, until an administrator removes it.
    const OnDisk disk = OnDiskAt(tree.Path());
    const engine::PackageCheck check = engine::UpdatePackage::Check(*disk.system, disk.package);
    ASSERT_TRUE(check.package);
    const std::string installation = disk.drive + "\\Product";
    const engine::UpdateOutcome again =
        engine::InstallationUpdate(*disk.system, *check.package, installation, {}).Run();
    EXPECT_EQ(again.state, engine::UpdateEnd::Updated);
    EXPECT_EQ(LeftBeside(tree), kept);
    std::vector<std::string> named;
    for (std::string name : kept) {
        name = name.substr(std::string("Drive/Product/").size());
        std::replace(name.begin(), name.end(), '/', '\\');
        named.push_back(platform::AsciiUpper(name));
    }
    // The log names the folders as the program does, whatever their case.
    auto upper = [](std::vector<std::string> names) {
        for (std::string& name : names)
            name = platform::AsciiUpper(name);
        std::sort(names.begin(), names.end());
        return names;
    };
    std::vector<std::string> told = upper(again.keptBefore);
    std::sort(named.begin(), named.end());
    EXPECT_EQ(told, named);
    EXPECT_EQ(upper(engine::KeptNamesIn(*disk.system, installation)), named);
}

// A journal and its backups copied away in the middle of an update and put
// back once it is done: one run ends it, all new with nothing left.
TEST(KillAtAnyStep, AJournalPutBackAfterTheUpdateEndsInOneRun) {
    const std::size_t inTheRenames = InTheRenames();
    ASSERT_NE(inTheRenames, 0u);
    test_support::TempTree tree(kTree);
    ASSERT_EQ(RunChild(tree.Path(), inTheRenames), 99);
    const std::filesystem::path product = tree.Path("Drive/Product");
    const std::filesystem::path away = tree.Path("Away");
    std::filesystem::create_directory(away);
    const std::vector<std::string> left = LeftBeside(tree);
    for (const std::string& name : left)
        std::filesystem::copy_file(tree.Path(name), away / std::filesystem::path(name).filename());
    ASSERT_EQ(RunChild(tree.Path(), 0), kAllNew);
    for (const std::string& name : left)
        std::filesystem::copy_file(away / std::filesystem::path(name).filename(), tree.Path(name));
    EXPECT_EQ(RunChild(tree.Path(), 0), kAllNew);
    ExpectOnlyTheProductsFiles(tree);
}

// An exception after every file operation of one installation's update: it
// stays with that installation, which ends as its files then say, all old
// with nothing left (exit code 2's), all new with nothing left, or in the
// middle (8's), which one more update makes all new; the installation after
// it is updated all the same.
TEST(ThrowAtAnyStep, TheInstallationEndsAsItsFilesSayAndTheNextIsUpdated) {
    std::size_t n = 1;
    for (;; ++n) {
        SCOPED_TRACE("thrown after operation " + std::to_string(n));
        test_support::TempTree tree(kTree + kSecondInstallation);
        const OnDisk disk = OnDiskAt(tree.Path());
        Fate fate(n, Fate::End::Throw);
        FatedFiles files(*disk.system, fate, disk.package, disk.drive + "\\Product");
        const engine::PackageCheck check = engine::UpdatePackage::Check(files, disk.package);
        ASSERT_TRUE(check.package);
        auto update = [&](platform::FileSystem& through, const char* installation) {
            return engine::InstallationUpdate(through, *check.package, disk.drive + installation,
                                              {})
                .Run();
        };
        const engine::UpdateOutcome thrown = update(files, "\\Product");
        EXPECT_EQ(update(files, "\\Second").state, engine::UpdateEnd::Updated);
        EXPECT_EQ(tree.Read("Drive/Second/QBANK.CXT"), "1.55B QBank.cxt");
        if (!fate.Reached())
            break;
        EXPECT_EQ(thrown.unexpected, "thrown after operation " + std::to_string(n));
        if (thrown.state == engine::UpdateEnd::LeftAsItWas) {
            ExpectOnlyTheProductsFiles(tree, true);
        } else if (thrown.state == engine::UpdateEnd::Updated) {  // thrown at the very end
            ExpectOnlyTheProductsFiles(tree);
        } else {
            EXPECT_EQ(thrown.state, engine::UpdateEnd::Midway);
            EXPECT_EQ(update(*disk.system, "\\Product").state, engine::UpdateEnd::Updated);
            ExpectOnlyTheProductsFiles(tree);
        }
        if (HasFatalFailure())
            break;
    }
    EXPECT_GT(n, 40u);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--child")
        return RefreshAsAChild(argv[2], std::size_t(std::strtoull(argv[3], nullptr, 10)));
#ifdef _WIN32
    self = platform::ModuleFileName(nullptr);
#else
    self = argv[0];
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
