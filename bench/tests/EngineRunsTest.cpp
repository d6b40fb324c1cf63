// The timed runs over an in-memory drive, where each moment can be chosen.
#include "bench/EngineRuns.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "bench/ChosenDrives.h"
#include "engine/ReplacementTable.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/PackageElsewhere.h"

namespace {

using namespace std::chrono_literals;
using test_support::MemoryFileSystem;
using Clock = std::chrono::steady_clock;

class EngineRunsTest : public ::testing::Test {
  protected:
    EngineRunsTest() {
        const auto data = memory.AddDrive('P', platform::DriveType::CdRom).AddFolder("Data");
        for (const engine::Replacement& row : engine::kReplacements)
            data.AddFile(std::string(row.source), "new");
        memory.SetOwnExecutableFolder("P:\\");
    }

    static void Install(const MemoryFileSystem::FolderRef& folder) {
        folder.AddFile("SKM300.EXE", "old");
        // The files in the installation folder itself; the clip below.
        for (const engine::Replacement& row : engine::kReplacements) {
            if (row.folders[0].empty())
                folder.AddFile(std::string(row.file), "old");
        }
        const auto audio = folder.AddFolder("Audio");
        audio.AddFolder("Term").AddFolder("GROUP3");
        audio.AddFolder("Phrase").AddFolder("Group6").AddFile("q417.mp3", "old");
    }

    MemoryFileSystem memory;
};

TEST_F(EngineRunsTest, TheWindowsRunSearchesOnlyTheChosenDrive) {
    Install(memory.AddDrive('C').AddFolder("Prefix"));
    Install(memory.AddDrive('T').AddFolder("Tree"));
    bench::ChosenDrives drives(memory, "T");
    test_support::PackageElsewhere files(drives, "P:\\");
    const bench::RunFigures run = bench::CompleteRun(files);
    EXPECT_TRUE(run.completed);
    EXPECT_EQ(memory.InstallationsOpened(), std::vector<std::string>{"T:\\Tree"});
}

TEST_F(EngineRunsTest, ARunWithoutInstallationsIsNotCountedAsCompleted) {
    memory.AddDrive('C').AddFolder("Nothing");
    const bench::RunFigures run = bench::CompleteRun(memory);
    EXPECT_FALSE(run.completed);
    EXPECT_EQ(run.logLines, 2u);
}

// While a huge folder is listed nothing reaches the UI thread; the stop must
// still be requested when it is due, not when the listing is over.
TEST_F(EngineRunsTest, AStopFallsDueEvenWhileTheWorkerReportsNothing) {
    Install(memory.AddDrive('C').AddFolder("Slow").AddFolder("Product"));
    memory.SetListingHook([](const std::string& folder) {
        if (folder == "C:\\Slow")
            std::this_thread::sleep_for(1s);
    });
    const bench::StopFigures stop = bench::StoppedRun(memory, 50ms);
    EXPECT_FALSE(stop.endedFirst);
    EXPECT_TRUE(stop.stopped);
    EXPECT_GT(stop.latencySeconds, 0.4);
    EXPECT_TRUE(memory.InstallationsOpened().empty());
}

TEST_F(EngineRunsTest, ARunThatEndsBeforeItsStopIsDueIsToldApartAndNotWaitedFor) {
    Install(memory.AddDrive('C').AddFolder("Product"));
    const auto start = Clock::now();
    const bench::StopFigures stop = bench::StoppedRun(memory, 60s);
    EXPECT_LT(Clock::now() - start, 30s);
    EXPECT_TRUE(stop.endedFirst);
    EXPECT_FALSE(stop.stopped);
}

}  // namespace
