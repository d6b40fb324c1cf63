// Figures for the engine's speed and memory over a synthetic drive of a real
// drive's size and shape, printed and written to a file, never judged: the
// command succeeds whatever they are.
//
//   soramido_bench [--tree DIR] [--out FILE] [--windows EXE] [--scripts DIR]
//
// Order matters: the tree is made, and the memory figures are taken, by
// children forked while this process is still small; the timed runs come
// after.
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/ChildProcess.h"
#include "bench/ColdCache.h"
#include "bench/EngineRuns.h"
#include "bench/FiguresTable.h"
#include "bench/GeneratedFileSystem.h"
#include "bench/HostDescription.h"
#include "bench/SplitMix64.h"
#include "bench/Statistics.h"
#include "bench/TreeSandbox.h"
#include "bench/UpdateRuns.h"
#include "bench/WindowRuns.h"
#include "bench/WineRunner.h"
#include "bench/Yardsticks.h"
#include "engine/search/ReadAheadSize.h"
#include "platform/posix/DiskKind.h"
#include "platform/posix/PosixFileSystem.h"
#include "tests/support/PackageElsewhere.h"

namespace {

namespace fs = std::filesystem;
using bench::FiguresTable;
using bench::Printf;

constexpr int kRounds = 5;
constexpr int kColdRounds = 3;
constexpr int kSweepRounds = 2;
constexpr unsigned kSweepThreads[] = {0, 1, 2, 4, 8, 16, 32, 64};
constexpr std::size_t kStoppedRuns = 50;
constexpr std::size_t kColdStoppedRuns = 10;
constexpr int kWineRounds = 3;
constexpr int kColdWineRounds = 2;
constexpr int kUpdateRounds = 10;
constexpr std::uint64_t kStopMomentSeed = 0x5709'0000'0000'0001ULL;
constexpr double kTargetWarmRatio = 0.8;  // of find
constexpr double kTargetColdRatio = 0.6;  // of find
constexpr double kTargetColdFdRatio = 1.0;
constexpr double kTargetWineRatio = 1.0;       // of the bare lister under Wine, warm
constexpr double kTargetWindowRatioLow = 0.8;  // /SILENT of /VERYSILENT, both ways
constexpr double kTargetWindowRatio = 1.2;
constexpr double kTargetStopSeconds = 0.100;
constexpr long kTargetPeakKiB = 64L * 1024;

struct Options {
    fs::path tree = "build/bench-tree";
    fs::path out = "build/bench/figures.txt";
    fs::path windowsProgram = "build/windows-x64/bench/soramido_run_once.exe";
    fs::path lister = "build/windows-x64/bench/soramido_bare_lister.exe";
    fs::path update = "build/windows-x64/app/Update.exe";
    fs::path scripts = "scripts";
    std::string only;  // "window": only Update.exe with and without its window
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        fs::path* target = name == "--tree"      ? &options.tree
                           : name == "--out"     ? &options.out
                           : name == "--windows" ? &options.windowsProgram
                           : name == "--lister"  ? &options.lister
                           : name == "--update"  ? &options.update
                           : name == "--scripts" ? &options.scripts
                                                 : nullptr;
        if (name == "--only" &&
            (std::string(argv[i + 1]) == "window" || std::string(argv[i + 1]) == "update")) {
            options.only = argv[i + 1];
            continue;
        }
        if (!target)
            return false;
        *target = argv[i + 1];
    }
    return argc % 2 == 1;
}

// The engine's view of the sandbox: C: is the tree, D: holds Data.
class SandboxFiles {
  public:
    explicit SandboxFiles(const bench::TreeSandbox& sandbox)
        : system_({{'C', fs::absolute(sandbox.Drive()).string()},
                   {'D', fs::absolute(sandbox.PackageParent()).string()}}),
          files_(system_, "D:\\") {}
    platform::FileSystem& Files() { return files_; }
    // As many as the worker chooses for the tree's disk.
    unsigned ReadAheadThreads() { return engine::ReadAheadThreads(files_.KindOfDisk('C')); }

  private:
    platform::PosixFileSystem system_;
    test_support::PackageElsewhere files_;
};

// Says what is being measured, and how long the step before took.
class Progress {
  public:
    void Step(const std::string& next) {
        const auto now = std::chrono::steady_clock::now();
        if (!current_.empty()) {
            std::printf(" %.0f s\n", std::chrono::duration<double>(now - start_).count());
        }
        if (!next.empty())
            std::printf("Measuring %s...", next.c_str());
        std::fflush(stdout);
        current_ = next;
        start_ = now;
    }

  private:
    std::string current_;
    std::chrono::steady_clock::time_point start_;
};

std::string Milliseconds(double seconds) {
    return Printf("%.1f ms", seconds * 1000);
}

std::string Seconds(double seconds) {
    return Printf("%.3f s", seconds);
}

std::string MiB(long kib) {
    return Printf("%.1f MiB", double(kib) / 1024);
}

void DescribeSetting(FiguresTable& table, const bench::TreeShape& shape, const fs::path& tree,
                     const std::string& made) {
    const bench::HostDescription host = bench::DescribeHost(tree);
    table.Section("Machine and tree");
    table.Row("processors (nproc)", std::to_string(host.processors));
    table.Row("kernel (uname -r)", host.kernel);
    table.Row("CPU", host.cpuModel);
    table.Row("file system of the tree", host.fileSystem);
    const platform::DiskKind disk = platform::KindOfDiskHolding(fs::absolute(tree).string());
    table.Row("disk of the tree (sysfs queue/rotational)",
              disk == platform::DiskKind::Spinning     ? "spinning (1)"
              : disk == platform::DiskKind::SolidState ? "solid state (0)"
                                                       : "unknown");
    table.Row("threads reading ahead, as the worker chooses for it",
              std::to_string(engine::ReadAheadThreads(disk)));
    table.Row("tree: folders / files", Printf("%u / %u", static_cast<unsigned>(shape.folders),
                                              static_cast<unsigned>(shape.files)));
    table.Row("tree: largest folder (entries)", std::to_string(shape.wideEntries));
    table.Row("tree: installations", std::to_string(shape.installations));
    table.Note(made);
}

struct MemoryFigures {
    bench::ForkedResult baseline, run, wide, deep;
};

MemoryFigures MeasureMemory(const bench::TreeSandbox& sandbox) {
    using bench::GeneratedFileSystem;
    MemoryFigures memory;
    memory.baseline = bench::RunForked([] { return 0; });
    memory.run = bench::RunForked([&] {
        SandboxFiles files(sandbox);
        return bench::CompleteRun(files.Files()).completed ? 0 : 1;
    });
    memory.wide = bench::RunForked([] {
        GeneratedFileSystem files(GeneratedFileSystem::Shape::Wide, 1'000'000);
        bench::CompleteRun(files);
        return 0;
    });
    memory.deep = bench::RunForked([] {
        GeneratedFileSystem files(GeneratedFileSystem::Shape::Deep, 10'000);
        bench::CompleteRun(files);
        return 0;
    });
    return memory;
}

void ReportMemory(FiguresTable& table, const MemoryFigures& memory) {
    table.Section("Peak resident memory (ru_maxrss of a forked child)");
    table.Row("child doing nothing (baseline)", MiB(memory.baseline.peakResidentKiB));
    table.Row("child doing one complete run", MiB(memory.run.peakResidentKiB),
              Printf("< %ld MiB", kTargetPeakKiB / 1024),
              memory.run.peakResidentKiB < kTargetPeakKiB);
    table.Row("  of which the run (minus baseline)",
              MiB(memory.run.peakResidentKiB - memory.baseline.peakResidentKiB));
    if (memory.run.exitCode != 0)
        table.Note("the run in the child did not complete");
    table.Row("generated folder of 1,000,000 entries (minus baseline)",
              MiB(memory.wide.peakResidentKiB - memory.baseline.peakResidentKiB));
    table.Row("generated chain 10,000 folders deep (minus baseline)",
              MiB(memory.deep.peakResidentKiB - memory.baseline.peakResidentKiB));
}

// The two walkers the engine is compared with.
struct Yardsticks {
    std::vector<std::string> find;
    std::vector<std::string> fd;  // empty when fd cannot be had
    std::string fdMissing;        // why
};

struct SpeedFigures {
    std::vector<double> run, busy, find, fd, walk;
    std::size_t folders = 0;
    std::size_t operations = 0;  // carried out in the last run
    bool allCompleted = true;
    bool yardstickFailed = false;
};

// Engine, find and fd alternate, so that none gains from running while the
// machine happens to be quieter; the bare walk follows each round.
SpeedFigures MeasureSpeed(const bench::TreeSandbox& sandbox, const Yardsticks& yardsticks) {
    SandboxFiles files(sandbox);
    bench::CompleteRun(files.Files());
    bench::RunProgram(yardsticks.find);
    if (!yardsticks.fd.empty())
        bench::RunProgram(yardsticks.fd);
    bench::BareWalk(files.Files(), "C:", files.ReadAheadThreads());
    SpeedFigures speed;
    for (int round = 0; round < kRounds; ++round) {
        const bench::RunFigures run = bench::CompleteRun(files.Files());
        speed.run.push_back(run.seconds);
        speed.busy.push_back(run.busySeconds);
        speed.operations = run.operations;
        speed.allCompleted = speed.allCompleted && run.completed;
        const bench::ChildResult found = bench::RunProgram(yardsticks.find);
        speed.find.push_back(found.seconds);
        speed.yardstickFailed = speed.yardstickFailed || found.exitCode != 0;
        if (!yardsticks.fd.empty()) {
            const bench::ChildResult fd = bench::RunProgram(yardsticks.fd);
            speed.fd.push_back(fd.seconds);
            speed.yardstickFailed = speed.yardstickFailed || fd.exitCode != 0;
        }
        const bench::WalkFigures walk =
            bench::BareWalk(files.Files(), "C:", files.ReadAheadThreads());
        speed.walk.push_back(walk.seconds);
        speed.folders = walk.folders;
    }
    return speed;
}

void ReportSpeed(FiguresTable& table, const SpeedFigures& speed, const Yardsticks& yardsticks) {
    using bench::Median;
    const double run = Median(speed.run);
    const double find = Median(speed.find);
    const double walk = Median(speed.walk);
    table.Section(Printf(
        "Complete run against find and fd, warm cache (%d alternating rounds, medians)", kRounds));
    table.Row("engine: complete run (worker, search, update, verdict)", Seconds(run));
    table.Row("find <tree> -xdev -type d > /dev/null", Seconds(find));
    table.Row("ratio engine / find", Printf("%.2f", run / find),
              Printf("<= %.1f", kTargetWarmRatio), run / find <= kTargetWarmRatio);
    if (speed.fd.empty()) {
        table.Note("fd skipped: " + yardsticks.fdMissing);
    } else {
        table.Row("fdfind -u --one-file-system -t d . <tree> > /dev/null",
                  Seconds(Median(speed.fd)));
        table.Row("ratio engine / fd", Printf("%.2f", run / Median(speed.fd)));
    }
    table.Row("bare walk (FolderWalk, counting visitor, no UI thread)", Seconds(walk));
    table.Row("folders walked", std::to_string(speed.folders));
    if (!speed.allCompleted)
        table.Note("some runs did not complete: the figures are not of whole runs");
    if (speed.yardstickFailed)
        table.Note("find or fd reported an error");

    table.Section("Share of the run spent on report operations");
    table.Row("(a) UI thread busy inside the operations",
              Printf("%.1f %% (%s)", 100 * Median(speed.busy) / run,
                     Milliseconds(Median(speed.busy)).c_str()));
    table.Row("    report operations carried out in a run", std::to_string(speed.operations));
    table.Row("(b) run minus bare walk, of the run", Printf("%.1f %%", 100 * (run - walk) / run));
}

struct ColdFigures {
    std::string skipped;  // why there are none; empty when there are
    std::vector<double> run, find, fd;
    // The bare walk's seconds by the number of threads reading ahead, in
    // the order of kSweepThreads.
    std::vector<std::vector<double>> walkByThreads;
    bool allCompleted = true;
    bool yardstickFailed = false;
};

// Every figure here starts from dropped caches. The complete run, find and
// fd alternate; then the bare walk with each number of threads reading
// ahead, round after round, so that a quieter moment favours none.
ColdFigures MeasureCold(const bench::TreeSandbox& sandbox, const Yardsticks& yardsticks) {
    ColdFigures cold;
    if (!bench::DropCaches(cold.skipped))
        return cold;
    SandboxFiles files(sandbox);
    const auto coldProgram = [&](const std::vector<std::string>& command) {
        bench::DropCaches(cold.skipped);
        const bench::ChildResult result = bench::RunProgram(command);
        cold.yardstickFailed = cold.yardstickFailed || result.exitCode != 0;
        return result.seconds;
    };
    for (int round = 0; round < kColdRounds; ++round) {
        bench::DropCaches(cold.skipped);
        const bench::RunFigures run = bench::CompleteRun(files.Files());
        cold.run.push_back(run.seconds);
        cold.allCompleted = cold.allCompleted && run.completed;
        cold.find.push_back(coldProgram(yardsticks.find));
        if (!yardsticks.fd.empty())
            cold.fd.push_back(coldProgram(yardsticks.fd));
    }
    cold.walkByThreads.resize(std::size(kSweepThreads));
    for (int round = 0; round < kSweepRounds; ++round) {
        for (std::size_t i = 0; i < std::size(kSweepThreads); ++i) {
            bench::DropCaches(cold.skipped);
            cold.walkByThreads[i].push_back(
                bench::BareWalk(files.Files(), "C:", kSweepThreads[i]).seconds);
        }
    }
    cold.skipped.clear();
    return cold;
}

void ReportCold(FiguresTable& table, const ColdFigures& cold, const Yardsticks& yardsticks,
                unsigned chosenThreads) {
    using bench::Median;
    table.Section(
        Printf("Complete run against find and fd, cold cache (caches dropped before each; %d "
               "alternating rounds, medians)",
               kColdRounds));
    if (!cold.skipped.empty()) {
        table.Note("skipped: " + cold.skipped);
        return;
    }
    const double run = Median(cold.run);
    const double find = Median(cold.find);
    table.Row(Printf("engine: complete run (%u threads reading ahead)", chosenThreads),
              Seconds(run));
    table.Row("find <tree> -xdev -type d > /dev/null", Seconds(find));
    table.Row("ratio engine / find", Printf("%.2f", run / find),
              Printf("<= %.1f", kTargetColdRatio), run / find <= kTargetColdRatio);
    if (cold.fd.empty()) {
        table.Note("fd skipped: " + yardsticks.fdMissing);
    } else {
        const double fd = Median(cold.fd);
        table.Row("fdfind -u --one-file-system -t d . <tree> > /dev/null", Seconds(fd));
        table.Row("ratio engine / fd", Printf("%.2f", run / fd),
                  Printf("<= %.1f", kTargetColdFdRatio), run / fd <= kTargetColdFdRatio);
    }
    if (!cold.allCompleted)
        table.Note("some runs did not complete: the figures are not of whole runs");
    if (cold.yardstickFailed)
        table.Note("find or fd reported an error");

    table.Section(
        Printf("Threads reading ahead against the cold bare walk (%d rounds, medians; the choice "
               "comes from these)",
               kSweepRounds));
    for (std::size_t i = 0; i < std::size(kSweepThreads); ++i) {
        const double walk = Median(cold.walkByThreads[i]);
        table.Row(Printf("bare walk, %2u threads%s", kSweepThreads[i],
                         kSweepThreads[i] == 0 ? " (the walk lists every folder itself)" : ""),
                  Printf("%s  (%.2f x find)", Seconds(walk).c_str(), walk / find));
    }
}

struct StopLatencies {
    std::vector<double> seconds;
    int endedFirst = 0;
    int notStopped = 0;
};

// Each stop falls at a moment drawn uniformly over the median run's length.
// A run that ends before its moment has nothing to stop; runs go on until
// `wanted` were stopped, or twice as many were made. With `cold`, the caches
// are dropped before each run.
StopLatencies MeasureStops(const bench::TreeSandbox& sandbox, double medianRun, std::size_t wanted,
                           bool cold) {
    SandboxFiles files(sandbox);
    bench::SplitMix64 random(kStopMomentSeed);
    StopLatencies stops;
    std::string why;
    for (std::size_t made = 0; stops.seconds.size() < wanted && made < 2 * wanted; ++made) {
        const auto after = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::duration<double>(random.Unit() * medianRun));
        if (cold)
            bench::DropCaches(why);
        const bench::StopFigures stop = bench::StoppedRun(files.Files(), after);
        if (stop.endedFirst) {
            ++stops.endedFirst;
            continue;
        }
        stops.notStopped += stop.stopped ? 0 : 1;
        stops.seconds.push_back(stop.latencySeconds);
    }
    return stops;
}

void ReportStops(FiguresTable& table, const StopLatencies& stops, const std::string& cache) {
    const double worst = bench::Worst(stops.seconds);
    table.Section(
        Printf("Stop latency during the search, %s cache (%zu runs, RequestStop at a random "
               "moment, until WaitForEnd returns)",
               cache.c_str(), stops.seconds.size()));
    if (stops.seconds.empty()) {
        table.Note("skipped: no run to stop");
        return;
    }
    table.Row("median", Milliseconds(bench::Median(stops.seconds)));
    table.Row("worst", Milliseconds(worst), Printf("< %.0f ms", kTargetStopSeconds * 1000),
              worst < kTargetStopSeconds);
    if (stops.endedFirst > 0)
        table.Note(Printf("%d more runs ended before their stop was due", stops.endedFirst));
    if (stops.notStopped > 0)
        table.Note(Printf("%d stopped runs did not log the stop", stops.notStopped));
}

void ReportUpdates(FiguresTable& table, const bench::UpdateFigures& update) {
    table.Section(Printf("One installation's update, stage to finish, on this disk (%d rounds)",
                         kUpdateRounds));
    table.Row("package size", MiB(static_cast<long>(update.packageBytes / 1024)));
    if (update.seconds.empty()) {
        table.Note("the package could not be read: nothing measured");
        return;
    }
    table.Row("update: check, stage, verify, commit, finish, with flushes (median)",
              Milliseconds(bench::Median(update.seconds)));
    table.Row("update (worst)", Milliseconds(bench::Worst(update.seconds)));
    // Held, nothing is renamed now: the stage and the journal as above, and
    // the replacements asked for at the restart in their place.
    if (!update.heldSeconds.empty()) {
        const double ratio = bench::Median(update.heldSeconds) / bench::Median(update.seconds);
        table.Row("held by a running program, left for the restart (median)",
                  Milliseconds(bench::Median(update.heldSeconds)),
                  Printf("%.2f of the update, <= 1.2", ratio), ratio <= 1.2);
        if (!update.allWaiting)
            table.Note("some held installations were not left for the restart");
    }
    table.Row("stop requested as an update begins: until the run ends (median)",
              Milliseconds(bench::Median(update.stopSeconds)));
    // The update under way is finished before the run stops; beyond it a
    // stop is due as promptly as during the search.
    const double bound = bench::Worst(update.seconds) + kTargetStopSeconds;
    table.Row("stop requested as an update begins (worst)",
              Milliseconds(bench::Worst(update.stopSeconds)),
              "< worst update + " + Milliseconds(kTargetStopSeconds),
              bench::Worst(update.stopSeconds) < bound);
    if (!update.allReplaced)
        table.Note("some updates left the installation as it was");
}

void ReportWine(FiguresTable& table, const bench::WineFigures& wine,
                const bench::WineFigures& coldWine, const bench::WineFigures& lister,
                double medianFind, double medianColdFind) {
    table.Section(Printf(
        "The Windows build under Wine (%d rounds warm, %d cold with caches dropped, medians)",
        kWineRounds, kColdWineRounds));
    if (!wine.skipped.empty()) {
        table.Note("skipped: " + wine.skipped);
        return;
    }
    const double median = bench::Median(wine.seconds);
    table.Row("soramido_run_once.exe, complete run of T:, warm (timed inside)", Seconds(median));
    if (lister.skipped.empty()) {
        const double listed = bench::Median(lister.seconds);
        table.Row("bare one-thread lister (FindFirstFileExW), warm (timed inside)",
                  Seconds(listed));
        table.Row("ratio Wine run / bare lister, warm", Printf("%.2f", median / listed),
                  Printf("<= %.1f", kTargetWineRatio), median / listed <= kTargetWineRatio);
    } else {
        table.Note("bare lister skipped: " + lister.skipped);
    }
    // No Windows program gets below Wine's own cost per entry: for information.
    table.Row("ratio Wine run / find, warm", Printf("%.2f", median / medianFind));
    if (!coldWine.skipped.empty()) {
        table.Note("cold skipped: " + coldWine.skipped);
    } else {
        const double cold = bench::Median(coldWine.seconds);
        table.Row("soramido_run_once.exe, complete run of T:, cold (timed inside)", Seconds(cold));
        if (medianColdFind > 0)
            table.Row("ratio Wine run / find, cold", Printf("%.2f", cold / medianColdFind));
    }
    if (!wine.completed || (coldWine.skipped.empty() && !coldWine.completed))
        table.Note("some runs under Wine did not complete");
}

void ReportWindow(FiguresTable& table, const bench::WindowRunFigures& figures, int installations) {
    table.Section(
        Printf("Update.exe with and without its window under Wine (%d installations, "
               "%zu rounds alternating which goes first, first log line to verdict, medians)",
               installations, figures.window.size()));
    if (!figures.skipped.empty()) {
        table.Note("skipped: " + figures.skipped);
        return;
    }
    const auto each = [](const std::vector<double>& seconds) {
        std::string list;
        for (const double s : seconds)
            list += (list.empty() ? "" : ", ") + Printf("%.1f", s);
        return list;
    };
    table.Row("/VERYSILENT, no window", Seconds(bench::Median(figures.noWindow)));
    table.Row("/SILENT, the window", Seconds(bench::Median(figures.window)));
    table.Row("  each round, no window / window (s)",
              each(figures.noWindow) + " / " + each(figures.window));
    const double ratio = bench::Median(figures.window) / bench::Median(figures.noWindow);
    table.Row("ratio window / no window", Printf("%.2f", ratio),
              Printf("%.1f to %.1f", kTargetWindowRatioLow, kTargetWindowRatio),
              ratio >= kTargetWindowRatioLow && ratio <= kTargetWindowRatio);
    table.Row("lines in each log file", std::to_string(figures.logLines));
    if (!figures.completed)
        table.Note("a run with or without the window did not complete");
}

bench::WindowRunSetup WindowSetup(const Options& options) {
    // In memory where there is a tmpfs: the figure is about the window, and
    // flushes to a disk shared with other jobs would only add noise to both runs.
    const fs::path shm = "/dev/shm";
    std::error_code noShm;
    return {fs::absolute(options.update), fs::absolute(options.scripts),
            fs::absolute(options.out.parent_path() / "wineprefix-window"),
            fs::is_directory(shm, noShm)
                ? shm / ("soramido-bench-window-" + std::to_string(getuid()))
                : fs::absolute(options.out.parent_path() / "window-tree")};
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: soramido_bench [--tree DIR] [--out FILE] [--windows EXE] "
                     "[--scripts DIR] [--lister EXE] [--update EXE] [--only window|update]\n");
        return 2;
    }
    if (options.only == "window") {
        const bench::WindowRunSetup setup = WindowSetup(options);
        const bench::WindowRunFigures window = bench::TimeWindowAgainstNoWindow(setup);
        FiguresTable table;
        ReportWindow(table, window, setup.installations);
        std::printf("\n%s", table.Render().c_str());
        return 0;
    }
    if (options.only == "update") {
        const bench::UpdateFigures update =
            bench::MeasureUpdates(options.out.parent_path() / "update-sandbox", kUpdateRounds);
        FiguresTable table;
        ReportUpdates(table, update);
        std::printf("\n%s", table.Render().c_str());
        return 0;
    }
    const bench::TreeShape shape;
    const bench::TreeSandbox sandbox(options.tree);
    std::printf("Making sure the tree in %s is current...\n", options.tree.c_str());
    const bench::ForkedResult made = bench::RunForked([&] {
        std::string message;
        const bool failed = sandbox.Ensure(shape, message) == bench::TreeSandbox::Outcome::Failed;
        std::printf("%s\n", message.c_str());
        return failed ? 1 : 0;
    });
    if (made.exitCode != 0) {
        std::fprintf(stderr, "soramido_bench: no tree to measure\n");
        return 1;
    }
    Yardsticks yardsticks;
    yardsticks.find = bench::FindCommand(sandbox.Drive());
    std::printf("Making sure fd is there...\n");
    yardsticks.fd = bench::FdCommand(sandbox.Drive(), yardsticks.fdMissing);
    Progress progress;
    progress.Step("peak memory");
    const MemoryFigures memory = MeasureMemory(sandbox);
    progress.Step("complete runs against find and fd, warm");
    const SpeedFigures speed = MeasureSpeed(sandbox, yardsticks);
    progress.Step("complete runs against find and fd, cold, and the threads reading ahead");
    const ColdFigures cold = MeasureCold(sandbox, yardsticks);
    progress.Step("stopped runs, warm");
    const StopLatencies stops =
        MeasureStops(sandbox, bench::Median(speed.run), kStoppedRuns, false);
    StopLatencies coldStops;
    if (cold.skipped.empty()) {
        progress.Step("stopped runs, cold");
        coldStops = MeasureStops(sandbox, bench::Median(cold.run), kColdStoppedRuns, true);
    }
    progress.Step("updates of one installation");
    const bench::UpdateFigures update =
        bench::MeasureUpdates(options.out.parent_path() / "update-sandbox", kUpdateRounds);
    progress.Step("the Windows build under Wine, warm");
    const bench::WineSetup wineSetup{
        fs::absolute(options.windowsProgram), fs::absolute(options.scripts),
        fs::absolute(options.out.parent_path() / "wineprefix"), fs::absolute(sandbox.Drive()),
        fs::absolute(sandbox.PackageParent())};
    const bench::WineFigures wine = bench::TimeUnderWine(wineSetup, kWineRounds);
    bench::WineFigures coldWine;
    if (!cold.skipped.empty()) {
        coldWine.skipped = cold.skipped;
    } else if (wine.skipped.empty()) {
        progress.Step("the Windows build under Wine, cold");
        std::string why;
        coldWine =
            bench::TimeUnderWine(wineSetup, kColdWineRounds, [&why] { bench::DropCaches(why); });
    }
    bench::WineFigures lister;
    if (wine.skipped.empty()) {
        progress.Step("the bare lister under Wine, warm");
        lister = bench::TimeProgramUnderWine(wineSetup, fs::absolute(options.lister), {"T:"},
                                             kWineRounds);
    }
    progress.Step("Update.exe with and without its window under Wine");
    const bench::WindowRunSetup windowSetup = WindowSetup(options);
    const bench::WindowRunFigures window = bench::TimeWindowAgainstNoWindow(windowSetup);
    progress.Step({});

    FiguresTable table;
    DescribeSetting(
        table, shape, options.tree,
        "tree generator " + std::to_string(bench::kTreeGeneratorVersion) + ": " + shape.Describe());
    SandboxFiles files(sandbox);
    ReportCold(table, cold, yardsticks, files.ReadAheadThreads());
    ReportSpeed(table, speed, yardsticks);
    ReportStops(table, stops, "warm");
    if (cold.skipped.empty())
        ReportStops(table, coldStops, "cold");
    ReportUpdates(table, update);
    ReportMemory(table, memory);
    ReportWine(table, wine, coldWine, lister, bench::Median(speed.find),
               cold.skipped.empty() ? bench::Median(cold.find) : 0.0);
    ReportWindow(table, window, windowSetup.installations);
    const std::string text = table.Render();
    std::printf("\n%s", text.c_str());
    std::error_code error;
    fs::create_directories(options.out.parent_path(), error);
    std::ofstream(options.out, std::ios::binary) << text;
    std::printf("\n(written to %s)\n", options.out.c_str());
    return 0;
}
