#include "bench/UpdateRuns.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench/StandInWindow.h"
#include "engine/MyThread.h"
#include "engine/ReplacementTable.h"
#include "engine/update/InstallationUpdate.h"
#include "engine/update/UpdatePackage.h"
#include "platform/RestartReplacements.h"
#include "platform/UiCallQueue.h"
#include "platform/posix/PosixFileSystem.h"
#include "tests/support/PackageElsewhere.h"

namespace bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The package's files at sizes like the product's own: scene files of a few
// megabytes, a quiz bank, a short clip and a small plug-in; a file the
// replacement table gains later counts as a megabyte until it is given here.
constexpr std::pair<std::string_view, std::size_t> kPackageSizes[] = {
    {"QBank.cxt", 3 << 20},  {"Taven.dxr", 4 << 20},      {"Virel.dxr", 4 << 20},
    {"Qpn.dxr", 2 << 20},    {"Zum.dxr", 3 << 20},        {"Belto.cxt", 1 << 20},
    {"q417.mp3", 180 << 10}, {"PlugKit2.x32", 600 << 10},
};

std::size_t PackageSize(std::string_view name) {
    for (const auto& [known, size] : kPackageSizes) {
        if (known == name)
            return size;
    }
    return 1 << 20;
}

void WriteFile(const fs::path& path, std::size_t size, char fill) {
    std::ofstream(path, std::ios::binary) << std::string(size, fill);
}

// Puts the old bytes back in every destination of the installation: a file
// already new is left alone by an update, so a round after the first would
// otherwise measure only the reading and the comparison.
void WriteOldInstallation(const fs::path& installation) {
    for (const engine::Replacement& row : engine::kReplacements) {
        // The files in the installation folder itself; the others below.
        if (row.folders[0].empty())
            WriteFile(installation / std::string(row.file), 2 << 20, 'o');
    }
    WriteFile(installation / "Audio" / "Phrase" / "Group6" / "q417.mp3", 150 << 10, 'o');
    WriteFile(installation / "xtras" / "PlugKit2.X32", 500 << 10, 'o');
}

// D: holds Data, C: the installation C:\Inst.
std::uint64_t MakeSandbox(const fs::path& root) {
    fs::remove_all(root);
    fs::create_directories(root / "D" / "Data");
    const fs::path installation = root / "C" / "Inst";
    fs::create_directories(installation / "Audio" / "Term" / "GROUP3");
    fs::create_directories(installation / "Audio" / "Phrase" / "Group6");
    fs::create_directories(installation / "xtras");
    WriteFile(installation / "SKM300.EXE", 1 << 20, 'p');
    std::uint64_t bytes = 0;
    for (const engine::Replacement& row : engine::kReplacements) {
        const std::size_t size = PackageSize(row.source);
        WriteFile(root / "D" / "Data" / std::string(row.source), size, 'n');
        bytes += size;
    }
    WriteOldInstallation(installation);
    return bytes;
}

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// The product runs from every installation, and the replacements asked for
// at the restart are kept in memory: the registry write they stand for is
// one a held installation.
class HeldEverywhere : public platform::ForwardingFileSystem,
                       private platform::RestartReplacements {
  public:
    using ForwardingFileSystem::ForwardingFileSystem;
    bool ProgramRunsFrom(const platform::FileId&) override { return true; }
    platform::RestartReplacements* AtRestart() override { return this; }

  private:
    platform::Result<std::optional<std::string>> FolderUsersCanChange(
        platform::FolderHandle&) override {
        return std::optional<std::string>();
    }
    platform::Result<bool> Registered(platform::FolderHandle&, std::string_view staged,
                                      std::string_view) override {
        return asked_.contains(std::string(staged));
    }
    platform::Failure Register(platform::FolderHandle&, std::string_view staged,
                               std::string_view) override {
        asked_.insert(std::string(staged));
        return std::nullopt;
    }
    platform::Failure TakeBack(platform::FolderHandle&, std::string_view staged,
                               std::string_view) override {
        asked_.erase(std::string(staged));
        return std::nullopt;
    }
    std::set<std::string> asked_;
};

// Deletes what a held update left (its journal, record, staged copies), so
// that the next round finds the installation as the first did.
void ForgetTheUpdate(const fs::path& installation) {
    std::vector<fs::path> left;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(installation)) {
        if (entry.path().filename().string().find("~upd") != std::string::npos)
            left.push_back(entry.path());
    }
    for (const fs::path& path : left)
        fs::remove(path);
}

// Tells the waiting UI thread the moment an update opens its installation.
class UpdateSignal : public platform::ForwardingFileSystem {
  public:
    UpdateSignal(platform::FileSystem& files, platform::UiCallQueue& ui)
        : ForwardingFileSystem(files), ui_(ui) {}
    platform::Result<std::unique_ptr<platform::FolderHandle>> OpenFolderNoLink(
        const std::string& path) override {
        // The package's Data folder is opened this way too, before any
        // update.
        if (!path.ends_with("\\Data")) {
            begun_ = true;
            ui_.Notify();
        }
        return files_.OpenFolderNoLink(path);
    }
    bool Begun() const { return begun_; }

  private:
    platform::UiCallQueue& ui_;
    std::atomic<bool> begun_{false};
};

}  // namespace

UpdateFigures MeasureUpdates(const fs::path& folder, int rounds) {
    UpdateFigures figures;
    figures.packageBytes = MakeSandbox(folder);
    platform::PosixFileSystem system(
        {{'C', fs::absolute(folder / "C").string()}, {'D', fs::absolute(folder / "D").string()}});
    test_support::PackageElsewhere files(system, "D:\\");
    const engine::PackageCheck checked = engine::UpdatePackage::Check(files, "D:\\");
    if (!checked.package) {
        figures.allReplaced = false;
        return figures;
    }
    const fs::path installation = folder / "C" / "Inst";
    for (int round = 0; round < rounds; ++round) {
        WriteOldInstallation(installation);
        const auto start = Clock::now();
        const engine::UpdateOutcome outcome =
            engine::InstallationUpdate(files, *checked.package, "C:\\Inst", {}).Run();
        figures.seconds.push_back(Seconds(Clock::now() - start));
        figures.allReplaced = figures.allReplaced && outcome.state == engine::UpdateEnd::Updated;
    }
    HeldEverywhere held(files);
    for (int round = 0; round < rounds; ++round) {
        ForgetTheUpdate(installation);
        WriteOldInstallation(installation);
        engine::InstallationUpdate update(held, *checked.package, "C:\\Inst", {});
        update.MayWaitForRestart();
        const auto start = Clock::now();
        const engine::UpdateOutcome outcome = update.Run();
        figures.heldSeconds.push_back(Seconds(Clock::now() - start));
        figures.allWaiting = figures.allWaiting && outcome.state == engine::UpdateEnd::AtRestart;
    }
    ForgetTheUpdate(installation);
    for (int round = 0; round < rounds; ++round) {
        WriteOldInstallation(installation);
        platform::UiCallQueue ui;
        StandInWindow window;
        UpdateSignal signal(files, ui);
        engine::TMyThread worker(signal, ui, window);
        ui.RunUntil([&] { return signal.Begun() || worker.Ended(); });
        const auto request = Clock::now();
        worker.RequestStop();
        worker.WaitForEnd();
        figures.stopSeconds.push_back(Seconds(Clock::now() - request));
    }
    fs::remove_all(folder);
    return figures;
}

}  // namespace bench
