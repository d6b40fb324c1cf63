// Figures for the engine's speed and memory over a synthetic drive of a real
// drive's size and shape, printed and written to a file, never judged: the
// command succeeds whatever they are.
//
//   soramido_bench [--tree DIR] [--out FILE] [--windows EXE] [--scripts DIR]
//
// Order matters: the tree is made, and the memory figures are taken, by
// children forked while this process is still small; the timed runs come
// after.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/ChildProcess.h"
#include "bench/EngineRuns.h"
#include "bench/FiguresTable.h"
#include "bench/GeneratedFileSystem.h"
#include "bench/HostDescription.h"
#include "bench/RefreshRuns.h"
#include "bench/SplitMix64.h"
#include "bench/Statistics.h"
#include "bench/TreeSandbox.h"
#include "bench/WineRunner.h"
#include "platform/posix/PosixFileSystem.h"
#include "tests/support/PackageElsewhere.h"

namespace {

namespace fs = std::filesystem;
using bench::FiguresTable;
using bench::Printf;

constexpr int kRounds = 5;
constexpr std::size_t kStoppedRuns = 50;
constexpr int kWineRounds = 3;
constexpr int kRefreshRounds = 10;
constexpr std::uint64_t kStopMomentSeed = 0x5709'0000'0000'0001ULL;
constexpr double kTargetRatio = 1.0;
constexpr double kTargetStopSeconds = 0.100;
constexpr long kTargetPeakKiB = 64 * 1024;

struct Options {
    fs::path tree = "build/bench-tree";
    fs::path out = "build/bench/figures.txt";
    fs::path windowsProgram = "build/windows-x64/bench/soramido_run_once.exe";
    fs::path scripts = "scripts";
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        fs::path* target = name == "--tree"      ? &options.tree
                           : name == "--out"     ? &options.out
                           : name == "--windows" ? &options.windowsProgram
                           : name == "--scripts" ? &options.scripts
                                                 : nullptr;
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
    return Printf("%.1f MiB", kib / 1024.0);
}

void DescribeSetting(FiguresTable& table, const bench::TreeShape& shape, const fs::path& tree,
                     const std::string& made) {
    const bench::HostDescription host = bench::DescribeHost(tree);
    table.Section("Machine and tree");
    table.Row("processors (nproc)", std::to_string(host.processors));
    table.Row("kernel (uname -r)", host.kernel);
    table.Row("CPU", host.cpuModel);
    table.Row("file system of the tree", host.fileSystem);
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

std::vector<std::string> FindCommand(const bench::TreeSandbox& sandbox) {
    return {"find", sandbox.Drive().string(), "-xdev", "-type", "d"};
}

struct SpeedFigures {
    std::vector<double> run, busy, find, walk;
    std::size_t folders = 0;
    std::size_t operations = 0;  // carried out in the last run
    bool allCompleted = true;
    bool findFailed = false;
};

// Engine and find alternate, so that neither gains from running while the
// machine happens to be quieter; the bare walk follows each pair.
SpeedFigures MeasureSpeed(const bench::TreeSandbox& sandbox) {
    SandboxFiles files(sandbox);
    const std::vector<std::string> find = FindCommand(sandbox);
    bench::CompleteRun(files.Files());
    bench::RunProgram(find);
    bench::BareWalk(files.Files(), "C:");
    SpeedFigures speed;
    for (int round = 0; round < kRounds; ++round) {
        const bench::RunFigures run = bench::CompleteRun(files.Files());
        speed.run.push_back(run.seconds);
        speed.busy.push_back(run.busySeconds);
        speed.operations = run.operations;
        speed.allCompleted = speed.allCompleted && run.completed;
        const bench::ChildResult found = bench::RunProgram(find);
        speed.find.push_back(found.seconds);
        speed.findFailed = speed.findFailed || found.exitCode != 0;
        const bench::WalkFigures walk = bench::BareWalk(files.Files(), "C:");
        speed.walk.push_back(walk.seconds);
        speed.folders = walk.folders;
    }
    return speed;
}

void ReportSpeed(FiguresTable& table, const SpeedFigures& speed) {
    using bench::Median;
    const double run = Median(speed.run);
    const double find = Median(speed.find);
    const double walk = Median(speed.walk);
    table.Section(
        Printf("Complete run against find, warm cache (%d alternating rounds, medians)", kRounds));
    table.Row("engine: complete run (worker, search, refresh, verdict)", Seconds(run));
    table.Row("find <tree> -xdev -type d > /dev/null", Seconds(find));
    table.Row("ratio engine / find", Printf("%.2f", run / find), Printf("<= %.1f", kTargetRatio),
              run / find <= kTargetRatio);
    table.Row("bare walk (FolderWalk, counting visitor, no UI thread)", Seconds(walk));
    table.Row("folders walked", std::to_string(speed.folders));
    if (!speed.allCompleted)
        table.Note("some runs did not complete: the figures are not of whole runs");
    if (speed.findFailed)
        table.Note("find reported an error");

    table.Section("Share of the run spent on report operations");
    table.Row("(a) UI thread busy inside the operations",
              Printf("%.1f %% (%s)", 100 * Median(speed.busy) / run,
                     Milliseconds(Median(speed.busy)).c_str()));
    table.Row("    report operations carried out in a run", std::to_string(speed.operations));
    table.Row("(b) run minus bare walk, of the run", Printf("%.1f %%", 100 * (run - walk) / run));
}

struct StopLatencies {
    std::vector<double> seconds;
    int endedFirst = 0;
    int notStopped = 0;
};

// Each stop falls at a moment drawn uniformly over the median run's length.
// A run that ends before its moment has nothing to stop; runs go on until
// kStoppedRuns were stopped, or twice as many were made.
StopLatencies MeasureStops(const bench::TreeSandbox& sandbox, double medianRun) {
    SandboxFiles files(sandbox);
    bench::SplitMix64 random(kStopMomentSeed);
    StopLatencies stops;
    for (std::size_t made = 0; stops.seconds.size() < kStoppedRuns && made < 2 * kStoppedRuns;
         ++made) {
        const auto after = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::duration<double>(random.Unit() * medianRun));
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

void ReportStops(FiguresTable& table, const StopLatencies& stops) {
    const double worst = bench::Worst(stops.seconds);
    table.Section(
        Printf("Stop latency (%zu runs, RequestStop at a random moment, until WaitForEnd "
               "returns)",
               stops.seconds.size()));
    table.Row("median", Milliseconds(bench::Median(stops.seconds)));
    table.Row("worst", Milliseconds(worst), Printf("< %.0f ms", kTargetStopSeconds * 1000),
              worst < kTargetStopSeconds);
    if (stops.endedFirst > 0)
        table.Note(Printf("%d more runs ended before their stop was due", stops.endedFirst));
    if (stops.notStopped > 0)
        table.Note(Printf("%d stopped runs did not log the stop", stops.notStopped));
}

void ReportRefreshes(FiguresTable& table, const bench::RefreshFigures& refresh) {
    table.Section(Printf("One installation's update, stage to finish, on this disk (%d rounds)",
                         kRefreshRounds));
    table.Row("package size", MiB(static_cast<long>(refresh.packageBytes / 1024)));
    if (refresh.seconds.empty()) {
        table.Note("the package could not be read: nothing measured");
        return;
    }
    table.Row("refresh: check, stage, verify, commit, finish, with flushes (median)",
              Milliseconds(bench::Median(refresh.seconds)));
    table.Row("refresh (worst)", Milliseconds(bench::Worst(refresh.seconds)));
    table.Row("stop requested as a refresh begins: until the run ends (median)",
              Milliseconds(bench::Median(refresh.stopSeconds)));
    // The refresh under way is finished before the run stops; beyond it a
    // stop is due as promptly as during the search.
    const double bound = bench::Worst(refresh.seconds) + kTargetStopSeconds;
    table.Row("stop requested as a refresh begins (worst)",
              Milliseconds(bench::Worst(refresh.stopSeconds)),
              "< worst refresh + " + Milliseconds(kTargetStopSeconds),
              bench::Worst(refresh.stopSeconds) < bound);
    if (!refresh.allReplaced)
        table.Note("some refreshes left the installation as it was");
}

void ReportWine(FiguresTable& table, const bench::WineFigures& wine, double medianFind) {
    table.Section(
        Printf("For information: the Windows build under Wine (%d rounds, median)", kWineRounds));
    if (!wine.skipped.empty()) {
        table.Note("skipped: " + wine.skipped);
        return;
    }
    const double median = bench::Median(wine.seconds);
    table.Row("soramido_run_once.exe, complete run of T: (timed inside)", Seconds(median));
    table.Row("ratio Wine run / find", Printf("%.2f", median / medianFind));
    if (!wine.completed)
        table.Note("some runs under Wine did not complete");
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: soramido_bench [--tree DIR] [--out FILE] [--windows EXE] "
                     "[--scripts DIR]\n");
        return 2;
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
    Progress progress;
    progress.Step("peak memory");
    const MemoryFigures memory = MeasureMemory(sandbox);
    progress.Step("complete runs against find");
    const SpeedFigures speed = MeasureSpeed(sandbox);
    progress.Step("stopped runs");
    const StopLatencies stops = MeasureStops(sandbox, bench::Median(speed.run));
    progress.Step("refreshes of one installation");
    const bench::RefreshFigures refresh =
        bench::MeasureRefreshes(options.out.parent_path() / "refresh-sandbox", kRefreshRounds);
    progress.Step("the Windows build under Wine");
    const bench::WineFigures wine =
        bench::TimeUnderWine({fs::absolute(options.windowsProgram), fs::absolute(options.scripts),
                              fs::absolute(options.out.parent_path() / "wineprefix"),
                              fs::absolute(sandbox.Drive()), fs::absolute(sandbox.PackageParent())},
                             kWineRounds);
    progress.Step({});

    FiguresTable table;
    DescribeSetting(
        table, shape, options.tree,
        "tree generator " + std::to_string(bench::kTreeGeneratorVersion) + ": " + shape.Describe());
    ReportSpeed(table, speed);
    ReportStops(table, stops);
    ReportRefreshes(table, refresh);
    ReportMemory(table, memory);
    ReportWine(table, wine, bench::Median(speed.find));
    const std::string text = table.Render();
    std::printf("\n%s", text.c_str());
    std::error_code error;
    fs::create_directories(options.out.parent_path(), error);
    std::ofstream(options.out, std::ios::binary) << text;
    std::printf("\n(written to %s)\n", options.out.c_str());
    return 0;
}
