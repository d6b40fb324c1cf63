// The updater's process ended at every file operation of one refresh, on the
// system's own file services (natively, and under Wine on the Win32 ones),
// each time followed by one run in a new process: that run leaves every file
// new and nothing of the update's own behind, and says so by its outcome.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/InstallationUpdate.h"
#include "engine/UpdatePackage.h"
#include "platform/ForwardingFileSystem.h"
#include "tests/support/PackageTree.h"
#include "tests/support/TempTree.h"

#ifdef _WIN32
#include "platform/win32/WinApi.h"

#include "platform/win32/ModulePath.h"
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

// The child's exit codes.
constexpr int kAllNew = 0;
constexpr int kNotAllNew = 3;
constexpr int kNotAsked = 4;  // the refresh ended before the operation to die at

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
// the one to die at.
class Fate {
  public:
    explicit Fate(std::size_t dieAfter) : dieAfter_(dieAfter) {}
    template <typename T>
    T Counted(T result) {
        if (dieAfter_ != 0 && ++done_ == dieAfter_)
            Die();
        return result;
    }
    bool Reached() const { return dieAfter_ == 0 || done_ >= dieAfter_; }

  private:
    std::size_t dieAfter_;
    std::size_t done_ = 0;
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

class FatedFiles final : public platform::ForwardingFileSystem {
  public:
    FatedFiles(platform::FileSystem& files, Fate& fate, std::string package)
        : ForwardingFileSystem(files), fate_(fate), package_(std::move(package)) {}
    Result<std::unique_ptr<platform::FolderHandle>> OpenFolderNoLink(
        const std::string& path) override {
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
};

// One refresh of the installation in the tree at `root`, dying after
// operation `dieAfter` (never for 0).
int RefreshAsAChild(const std::string& root, std::size_t dieAfter) {
#ifdef _WIN32
    platform::Win32FileSystem system;
    const std::string installation = root + "\\Drive\\Product";
    const std::string package = root + "\\Updater\\";
#else
    platform::PosixFileSystem system({{'C', root + "/Drive"}, {'D', root + "/Updater"}});
    system.SetJournalKeyFile(root + "/Key/journal-key");
    const std::string installation = "C:\\Product";
    const std::string package = "D:\\";
#endif
    Fate fate(dieAfter);
    FatedFiles files(system, fate, package);
    const engine::PackageCheck check = engine::UpdatePackage::Check(files, package);
    if (!check.package)
        return kNotAllNew;
    engine::InstallationUpdate update(files, *check.package, installation, {});
    const engine::UpdateOutcome outcome = update.Run();
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

TEST(KillAtAnyStep, OneRunAfterwardsLeavesItAllNewWithNothingLeft) {
    std::size_t n = 1;
    for (;; ++n) {
        SCOPED_TRACE("killed after operation " + std::to_string(n));
        test_support::TempTree tree(kTree);
        const int killed = RunChild(tree.Path(), n);
        if (killed == kNotAsked || killed == kAllNew)
            break;  // the refresh got through without reaching the n-th
        ASSERT_EQ(killed, 99);
        EXPECT_EQ(RunChild(tree.Path(), 0), kAllNew);
        EXPECT_EQ(tree.Read("Drive/Product/QBANK.CXT"), "1.55B QBank.cxt");
        EXPECT_EQ(tree.Read("Drive/Product/VIREL.DXR"), "1.55B Virel.dxr");
        EXPECT_EQ(tree.Read("Drive/Product/Audio/Phrase/Group6/q417.mp3"), "1.55B q417.mp3");
        EXPECT_EQ(tree.Read("Drive/Product/xtras/PlugKit2.X32"), "1.55B PlugKit2.x32");
        // Nothing but the product's own names: no journal, no draft, no
        // staged copy, no backup, no commit record.
        EXPECT_EQ(
            tree.Names("Drive/Product"),
            (std::vector<std::string>{"Audio", "BELTO.CXT", "QBANK.CXT", "QPN.DXR", "SKM300.EXE",
                                      "TAVEN.DXR", "VIREL.DXR", "ZUM.DXR", "xtras"}));
        EXPECT_EQ(tree.Names("Drive/Product/xtras"), (std::vector<std::string>{"PlugKit2.X32"}));
        EXPECT_EQ(tree.Names("Drive/Product/Audio/Phrase/Group6"),
                  (std::vector<std::string>{"q417.mp3"}));
        if (HasFatalFailure())
            break;
    }
    EXPECT_GT(n, 40u);  // every operation of a refresh had its turn
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
