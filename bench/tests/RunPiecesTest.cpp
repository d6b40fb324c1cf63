// The smaller pieces the figures rest on: the stand-in window, the drive
// filter of the Windows run, statistics, the table, child processes and the
// reading of a run's output.
#include <gtest/gtest.h>

#include <string>

#include "bench/ChildProcess.h"
#include "bench/ChosenDrives.h"
#include "bench/FiguresTable.h"
#include "bench/StandInWindow.h"
#include "bench/Statistics.h"
#include "bench/WindowRuns.h"
#include "bench/WineRunner.h"
#include "engine/Texts.h"
#include "tests/support/MemoryFileSystem.h"

namespace {

TEST(StandInWindow, KeepsWhatTheWindowWouldShow) {
    bench::StandInWindow window;
    window.AppendLogLine("stale");
    window.ClearLog();
    window.AppendLogLine("first");
    window.AppendLogLine("");
    window.AppendLogLine("last");
    EXPECT_EQ(window.Log(), "first\r\n\r\nlast\r\n");
    EXPECT_EQ(window.LogLines(), 3u);

    window.SetStatusText("C:\\Windows");
    window.SetRunButtonCaption(std::string(engine::text::kRunCaption));
    EXPECT_EQ(window.StatusText(), "C:\\Windows");
    EXPECT_EQ(window.RunButtonCaption(), engine::text::kRunCaption);
    EXPECT_EQ(window.Operations(), 7u);
    EXPECT_GT(window.BusyTime().count(), 0);

    // Completed means the verdict's status, in blue, with the button disabled.
    window.SetStatusText(std::string(engine::text::kCompletedStatus));
    window.SetStatusColour(engine::Verdict::Completed);
    EXPECT_FALSE(window.Completed());
    window.SetRunButtonEnabled(false);
    EXPECT_TRUE(window.Completed());
    window.SetStatusColour(engine::Verdict::Incomplete);
    EXPECT_FALSE(window.Completed());
}

TEST(ChosenDrives, ShowsOnlyTheChosenLettersAndPassesTheRestThrough) {
    test_support::MemoryFileSystem memory;
    memory.AddDrive('C');
    memory.AddDrive('T').AddFolder("tree");
    memory.AddDrive('P', platform::DriveType::CdRom).AddFolder("Data");
    bench::ChosenDrives drives(memory, "T");
    EXPECT_EQ(drives.LogicalDrives(), 1u << ('T' - 'A'));
    EXPECT_EQ(drives.GetDriveType('T'), platform::DriveType::Fixed);
    EXPECT_EQ(drives.GetDriveType('C'), platform::DriveType::NoRootDir);
    // The package's drive is not searched but stays readable.
    EXPECT_TRUE(drives.IsFolder("P:\\Data"));
    EXPECT_TRUE(drives.IsFolder("C:"));
}

TEST(Statistics, MedianAndWorst) {
    EXPECT_EQ(bench::Median({}), 0);
    EXPECT_EQ(bench::Median({3, 1, 2}), 2);
    EXPECT_EQ(bench::Median({4, 1, 3, 2}), 2.5);
    EXPECT_EQ(bench::Worst({0.5, 2, 1}), 2);
    EXPECT_EQ(bench::Worst({}), 0);
}

TEST(FiguresTable, AlignsFiguresAndMarksTargets) {
    bench::FiguresTable table;
    table.Section("Speed");
    table.Row("ratio", "0.80", "<= 1.0", true);
    table.Row("a longer label", "12.000 s");
    table.Row("worst", "140.0 ms", "< 100 ms", false);
    table.Note("a note");
    EXPECT_EQ(table.Render(),
              "Speed\n"
              "  ratio               0.80   target <= 1.0    met\n"
              "  a longer label  12.000 s\n"
              "  worst           140.0 ms   target < 100 ms  NOT MET\n"
              "    a note\n");
}

TEST(ChildProcess, RunsProgramsWithTheirOutputEnvironmentAndExitCode) {
    const bench::ChildResult echo = bench::RunProgram(
        {"sh", "-c", "echo \"$BENCH_WORD\"; exit 3"},
        {.captureOutput = true, .quiet = false, .environment = {"BENCH_WORD=hello"}});
    EXPECT_TRUE(echo.started);
    EXPECT_EQ(echo.exitCode, 3);
    EXPECT_EQ(echo.output, "hello\n");
    EXPECT_EQ(bench::RunProgram({"no-such-program-anywhere"},
                                {.captureOutput = false, .quiet = true, .environment = {}})
                  .exitCode,
              127);
    EXPECT_TRUE(bench::OnPath("sh"));
    EXPECT_FALSE(bench::OnPath("no-such-program-anywhere"));

    const bench::ForkedResult forked = bench::RunForked([] { return 7; });
    EXPECT_EQ(forked.exitCode, 7);
    EXPECT_GT(forked.peakResidentKiB, 0);
}

TEST(WineRunner, ReadsTheSecondsTheProgramPrinted) {
    bool completed = false;
    EXPECT_EQ(bench::ParseRunOnceSeconds("12.345 s completed (9 report operations)\n", completed),
              12.345);
    EXPECT_TRUE(completed);
    EXPECT_EQ(bench::ParseRunOnceSeconds("0.500 s incomplete\n", completed), 0.5);
    EXPECT_FALSE(completed);
    EXPECT_LT(bench::ParseRunOnceSeconds("wine: could not load\n", completed), 0);
    EXPECT_LT(bench::ParseRunOnceSeconds("", completed), 0);
}

TEST(WineRunner, WithoutAWindowsBuildTheFigureIsSkippedNotFailed) {
    const bench::WineFigures wine =
        bench::TimeUnderWine({"/nonexistent/soramido_run_once.exe", "scripts",
                              "/nonexistent/prefix", "/nonexistent/drive", "/nonexistent/package"},
                             3);
    EXPECT_NE(wine.skipped.find("no Windows build"), std::string::npos);
    EXPECT_TRUE(wine.seconds.empty());
}

TEST(WindowRuns, TimesALogFromItsFirstLineToItsVerdict) {
    std::size_t lines = 0;
    bool completed = false;
    const std::string log =
        "\xEF\xBB\xBF"
        "2026-12-07 23:59:58.500 start Update.exe 1.55B /SILENT\r\n"
        "2026-12-08 00:00:01.250 >>>>> done\r\n"
        "2026-12-08 00:00:02.300 exit code 0\r\n";
    EXPECT_DOUBLE_EQ(bench::VerdictSeconds(log, lines, completed), 2.75);
    EXPECT_TRUE(completed);
    EXPECT_EQ(lines, 3u);
    EXPECT_LT(bench::VerdictSeconds("2026-12-07 10:00:00.000 start\r\n", lines, completed), 0);
    bench::VerdictSeconds(log.substr(0, log.size() - 3) + "2\r\n", lines, completed);
    EXPECT_FALSE(completed);
}

}  // namespace
