// The tree on disk, and a complete run over it as the benchmark times it.
#include "bench/TreeSandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "bench/EngineRuns.h"
#include "bench/TreeWriter.h"
#include "engine/Texts.h"
#include "platform/posix/PosixFileSystem.h"
#include "tests/support/PackageElsewhere.h"
#include "tests/support/TempTree.h"

namespace {

namespace fs = std::filesystem;
using bench::TreeSandbox;
using Outcome = bench::TreeSandbox::Outcome;

bench::TreeShape SmallShape() {
    bench::TreeShape shape;
    shape.folders = 1'500;
    shape.files = 6'000;
    shape.wideEntries = 1'000;
    shape.wideSubfolders = 3;
    shape.installations = 3;
    shape.chainLengths = {12};
    return shape;
}

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TreeSandboxTest : public ::testing::Test {
  protected:
    test_support::TempTree temp;
    TreeSandbox sandbox{fs::path(temp.Path()) / "sandbox"};
    bench::TreeShape shape = SmallShape();
    std::string message;
};

TEST_F(TreeSandboxTest, WritesThePlanWholeAndThePackage) {
    ASSERT_EQ(sandbox.Ensure(shape, message), Outcome::Made) << message;
    std::size_t folders = 0;
    std::size_t files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(sandbox.Drive()))
        ++(entry.is_directory() ? folders : files);
    EXPECT_EQ(folders, shape.folders);
    EXPECT_EQ(files, shape.files);
    const bench::TreePlan plan = bench::PlanTree(shape);
    const fs::path first = sandbox.Drive() / plan.RelativePath(plan.installations[0], '/');
    EXPECT_EQ(Read(first / "QBANK.CXT"), "1.50 QBANK.CXT");
    EXPECT_TRUE(fs::is_directory(first / "Audio" / "Term" / "GROUP3"));
    EXPECT_EQ(Read(sandbox.PackageParent() / "Data" / "PlugKit2.x32"), "1.55B PlugKit2.x32");
    EXPECT_EQ(Read(sandbox.Stamp()), TreeSandbox::StampText(shape));
}

TEST_F(TreeSandboxTest, MakesTheTreeAgainOnlyWhenTheStampDiffersOrIsMissing) {
    ASSERT_EQ(sandbox.Ensure(shape, message), Outcome::Made) << message;
    const fs::path marker = sandbox.Drive() / "left by the last tree";
    std::ofstream(marker) << "";
    fs::remove(sandbox.PackageParent() / "Data" / "Qpn.dxr");

    EXPECT_EQ(sandbox.Ensure(shape, message), Outcome::Reused) << message;
    EXPECT_TRUE(fs::exists(marker));
    EXPECT_EQ(Read(sandbox.PackageParent() / "Data" / "Qpn.dxr"), "1.55B Qpn.dxr");

    ++shape.seed;
    EXPECT_FALSE(sandbox.IsCurrent(shape));
    EXPECT_EQ(sandbox.Ensure(shape, message), Outcome::Made) << message;
    EXPECT_FALSE(fs::exists(marker));

    // A generation cut short leaves no stamp.
    std::ofstream(marker) << "";
    fs::remove(sandbox.Stamp());
    EXPECT_EQ(sandbox.Ensure(shape, message), Outcome::Made) << message;
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(TreeSandboxTest, AFolderInTheWayIsReportedNotIgnored) {
    fs::create_directories(temp.Path());
    std::ofstream(fs::path(temp.Path()) / "sandbox") << "a file where the sandbox goes";
    EXPECT_EQ(sandbox.Ensure(shape, message), Outcome::Failed);
    EXPECT_FALSE(message.empty());
}

// The runs the benchmark times must be whole runs: every installation found
// and refreshed, the package on D: read through PackageElsewhere.
TEST_F(TreeSandboxTest, ACompleteRunRefreshesEveryInstallationAndAStoppedOneStops) {
    ASSERT_EQ(sandbox.Ensure(shape, message), Outcome::Made) << message;
    platform::PosixFileSystem system(
        {{'C', sandbox.Drive().string()}, {'D', sandbox.PackageParent().string()}});
    test_support::PackageElsewhere files(system, "D:\\");

    const bench::RunFigures run = bench::CompleteRun(files);
    EXPECT_TRUE(run.completed);
    // The opening line, 7 or 8 per installation (two of three have xtras),
    // an empty line and two completion lines.
    EXPECT_EQ(run.logLines, 1u + 3 * 7 + 2 + 3);
    const bench::TreePlan plan = bench::PlanTree(shape);
    for (std::uint32_t installation : plan.installations) {
        const fs::path at = sandbox.Drive() / plan.RelativePath(installation, '/');
        EXPECT_EQ(Read(at / "QBANK.CXT"), "1.55B QBank.cxt") << at;
        EXPECT_EQ(Read(at / "Audio" / "Phrase" / "Group6" / "q417.mp3"), "1.55B q417.mp3");
    }

    for (const unsigned readAhead : {0u, 4u}) {
        const bench::WalkFigures walk = bench::BareWalk(files, "C:", readAhead);
        EXPECT_EQ(walk.folders, shape.folders + 1);
        EXPECT_EQ(walk.markers, shape.installations);
    }

    const bench::StopFigures stop = bench::StoppedRun(files, std::chrono::nanoseconds(0));
    EXPECT_FALSE(stop.endedFirst);
    EXPECT_TRUE(stop.stopped);
}

}  // namespace
