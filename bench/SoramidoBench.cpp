// Figures for the engine's speed and memory, printed, never judged: how many
// folders a search gets through per second, and how much memory a search of
// a huge folder or a very deep tree needs beyond an empty one.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "bench/GeneratedFileSystem.h"
#include "engine/FolderWalk.h"
#include "engine/MyThread.h"
#include "engine/Report.h"
#include "platform/UiCallQueue.h"
#include "platform/posix/PosixFileSystem.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/PackageElsewhere.h"

namespace {

using Clock = std::chrono::steady_clock;

// A window that shows nothing and counts the folders the search showed.
class CountingReport : public engine::Report {
  public:
    std::size_t statusTexts = 0;
    std::size_t logLines = 0;
    void SetStatusText(const std::string&) override { ++statusTexts; }
    void ClearLog() override {}
    void AppendLogLine(const std::string&) override { ++logLines; }
    void SetRunButtonCaption(const std::string&) override {}
    void SetRunButtonEnabled(bool) override {}
    void SetStatusColour(std::uint32_t) override {}
};

struct RunFigures {
    std::size_t folders = 0;
    std::size_t logLines = 0;
    double seconds = 0;
};

// A whole run on a worker thread, this thread serving its report operations
// as the window's UI thread would.
RunFigures RunWorker(platform::FileSystem& files) {
    platform::UiCallQueue ui;
    CountingReport report;
    const auto start = Clock::now();
    {
        engine::TMyThread worker(files, ui, report);
        worker.WaitForEnd();
    }
    const std::chrono::duration<double> took = Clock::now() - start;
    // The run empties the status line once before and once after the search,
    // and sets it once more when it completes.
    const std::size_t extra = report.logLines > 2 ? 3 : 2;
    return {report.statusTexts - extra, report.logLines, took.count()};
}

// The walk alone, with nothing handed to a UI thread.
RunFigures WalkOnly(platform::FileSystem& files, const std::string& root) {
    struct Counter : engine::FolderWalk::Visitor {
        std::size_t folders = 0;
        bool EnterFolder(const std::string&) override { return ++folders, true; }
        bool MarkerFound(const std::string&) override { return true; }
    } counter;
    const auto start = Clock::now();
    engine::FolderWalk(files, "SKM300.EXE", counter).Run(root);
    const std::chrono::duration<double> took = Clock::now() - start;
    return {counter.folders, 0, took.count()};
}

// The peak resident memory, in KiB, of a child process that runs `work`.
// Forked before this process has grown, so every child starts alike.
long PeakKiBOfChild(const std::function<void()>& work) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        work();
        _exit(0);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return -1;
    return usage.ru_maxrss;
}

// A tree of `folders` folders, eight subfolders to a folder, breadth first,
// with `files` files spread evenly and an installation every 20,000 folders.
void BuildTree(test_support::MemoryFileSystem& fs, std::size_t folders, std::size_t files) {
    using Folder = test_support::MemoryFileSystem::FolderRef;
    fs.AddDrive('D', platform::DriveType::CdRom);
    fs.SetOwnExecutableFolder("D:\\Updater\\");
    const Folder data = fs.MakeFolders("D:\\Updater\\Data");
    for (const char* name : {"QBank.cxt", "Taven.dxr", "Virel.dxr", "Qpn.dxr", "Zum.dxr",
                             "Belto.cxt", "q417.mp3", "PlugKit2.x32"}) {
        data.AddFile(name, "new");
    }
    std::deque<Folder> open{fs.AddDrive('C')};
    const std::size_t filesPerFolder = files / folders;
    std::size_t made = 0;
    char name[32];
    while (made < folders) {
        const Folder parent = open.front();
        open.pop_front();
        for (int i = 0; i < 8 && made < folders; ++i, ++made) {
            std::snprintf(name, sizeof name, "folder%d", i);
            const Folder child = parent.AddFolder(name);
            for (std::size_t f = 0; f < filesPerFolder; ++f) {
                std::snprintf(name, sizeof name, "file%zu.dat", f);
                child.AddFile(name);
            }
            if (made % 20'000 == 19'999) {
                child.AddFile("SKM300.EXE");
                child.AddFolder("Audio").AddFolder("Term").AddFolder("GROUP3");
                made += 3;
            }
            open.push_back(child);
        }
    }
}

// The same shape on disk, in a new temporary folder: `folders` folders with
// `filesPerFolder` empty files each, one installation, and the package.
std::filesystem::path BuildTreeOnDisk(std::size_t folders, std::size_t filesPerFolder) {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "soramido-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return {};
    const fs::path root = pattern;
    fs::create_directories(root / "Updater" / "Data");
    for (const char* name : {"QBank.cxt", "Taven.dxr", "Virel.dxr", "Qpn.dxr", "Zum.dxr",
                             "Belto.cxt", "q417.mp3", "PlugKit2.x32"}) {
        std::ofstream(root / "Updater" / "Data" / name) << "new";
    }
    std::deque<fs::path> open{root / "Drive"};
    fs::create_directory(open.front());
    std::size_t made = 0;
    while (made < folders) {
        const fs::path parent = open.front();
        open.pop_front();
        for (int i = 0; i < 8 && made < folders; ++i, ++made) {
            const fs::path child = parent / ("folder" + std::to_string(i));
            fs::create_directory(child);
            for (std::size_t f = 0; f < filesPerFolder; ++f) {
                std::ofstream(child / ("file" + std::to_string(f) + ".dat"));
            }
            open.push_back(child);
        }
    }
    const fs::path installation = open.back();
    std::ofstream(installation / "SKM300.EXE");
    fs::create_directories(installation / "Audio" / "Term" / "GROUP3");
    return root;
}

void PrintSpeed(const char* what, const RunFigures& figures) {
    std::printf("%-58s %8zu folders in %6.2f s: %9.0f folders/s\n", what, figures.folders,
                figures.seconds, figures.folders / figures.seconds);
}

}  // namespace

int main() {
    using bench::GeneratedFileSystem;
    std::printf("Peak memory of a run (resident, beyond a run over an empty drive)\n");
    const long baseline = PeakKiBOfChild([] {
        GeneratedFileSystem empty(GeneratedFileSystem::Shape::Deep, 0);
        RunWorker(empty);
    });
    const long wide = PeakKiBOfChild([] {
        GeneratedFileSystem files(GeneratedFileSystem::Shape::Wide, 1'000'000);
        RunWorker(files);
    });
    const long deep = PeakKiBOfChild([] {
        GeneratedFileSystem files(GeneratedFileSystem::Shape::Deep, 10'000);
        RunWorker(files);
    });
    std::printf("  %-56s %8ld KiB\n", "empty drive (baseline, whole process)", baseline);
    std::printf("  %-56s %8ld KiB\n", "one folder of 1,000,000 entries (10 of them folders)",
                wide - baseline);
    std::printf("  %-56s %8ld KiB\n", "a chain of folders 10,000 deep", deep - baseline);

    std::printf("\nSearch speed\n");
    test_support::MemoryFileSystem tree;
    const auto buildStart = Clock::now();
    BuildTree(tree, 200'000, 1'000'000);
    const std::chrono::duration<double> built = Clock::now() - buildStart;
    std::printf("  (in-memory tree of 200,000 folders and 1,000,000 files built in %.2f s)\n",
                built.count());
    PrintSpeed("  in memory, walk alone (no UI thread):", WalkOnly(tree, "C:"));
    const RunFigures run = RunWorker(tree);
    PrintSpeed("  in memory, whole run (status line via the UI thread):", run);
    std::printf("  %-56s %8zu\n", "  log lines written (10 installations x 7 + 3)", run.logLines);

    const auto diskStart = Clock::now();
    const std::filesystem::path disk = BuildTreeOnDisk(20'000, 5);
    if (disk.empty()) {
        std::printf("  (no temporary folder for the tree on disk)\n");
        return 0;
    }
    const std::chrono::duration<double> diskBuilt = Clock::now() - diskStart;
    std::printf(
        "  (tree of 20,000 folders and 100,000 files made in %s in %.2f s;"
        " searched from the page cache)\n",
        disk.c_str(), diskBuilt.count());
    platform::PosixFileSystem system({{'C', (disk / "Drive").string()}});
    PrintSpeed("  on disk, walk alone (no UI thread):", WalkOnly(system, "C:"));
    platform::PosixFileSystem withPackage(
        {{'C', (disk / "Drive").string()}, {'D', (disk / "Updater").string()}});
    test_support::PackageElsewhere files(withPackage, "D:\\");
    PrintSpeed("  on disk, whole run (status line via the UI thread):", RunWorker(files));
    std::filesystem::remove_all(disk);
    return 0;
}
