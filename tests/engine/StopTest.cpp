// Stopping a run: when the request is seen, what the log says afterwards, and
// that no installation is left half updated or started after the stop.
#include "tests/engine/EngineTest.h"

namespace engine_test {
namespace {

class Stop : public EngineTest {
  protected:
    // Requests the stop once the UI thread has carried out `operation`.
    static WorkerHook StopAfter(const std::string& operation) {
        return [operation](engine::TMyThread& worker, const std::string& op) {
            if (op == operation)
                worker.RequestStop();
        };
    }
    static WorkerHook StopWhileListing(const std::string& folder) {
        return [folder](engine::TMyThread& worker, const std::string& listed) {
            if (listed == folder)
                worker.RequestStop();
        };
    }
    static Lines StoppedEnding() {
        return {"status:", "append:" + kStopped, "caption:" + kRun, "enabled:1"};
    }
    Lines LastOperations(std::size_t count) const {
        const Lines ops = report.OperationsButFoldersShown();
        return Lines(ops.end() - static_cast<std::ptrdiff_t>(std::min(count, ops.size())),
                     ops.end());
    }
};

// Whether the thread gets going before the request cannot be arranged from
// outside, so either outcome is allowed; a body that never began leaves the
// window exactly as it was.
TEST_F(Stop, BeforeTheBodyBeganLeavesTheWindowAlone) {
    Install(c, "SKM");
    const Contents before = fs.Contents();
    for (int attempt = 0; attempt < 20; ++attempt) {
        RecordingReport window;
        window.log = {"earlier run"};
        {
            engine::TMyThread worker(fs, ui, window);
            worker.RequestStop();
            worker.WaitForEnd();
        }
        if (window.operations.empty()) {
            EXPECT_EQ(window.log, Lines{"earlier run"});
        } else {
            EXPECT_EQ(window.log, (Lines{kOpening, kStopped}));
        }
    }
    EXPECT_EQ(fs.Contents(), before);
}

TEST_F(Stop, BeforeAnythingWasFound) {
    Install(c.AddFolder("A"), "SKM");
    Install(c, "B");
    const Contents before = fs.Contents();

    Run({}, StopWhileListing("C:\\A"));

    EXPECT_EQ(report.log, (Lines{kOpening, kStopped}));
    EXPECT_EQ(FoldersEntered(), (Lines{"C:", "C:\\A"}));
    EXPECT_EQ(LastOperations(4), StoppedEnding());
    EXPECT_EQ(report.caption, kRun);
    EXPECT_TRUE(report.enabled);
    EXPECT_EQ(fs.Contents(), before);
}

// No completion lines although an installation was refreshed, and no further
// installation touched.
TEST_F(Stop, AfterOneInstallation) {
    const Installation one = Install(c, "One");
    Install(c, "Two");
    Contents expected = fs.Contents();
    one.ApplyUpdate(expected);

    Run(StopAfter("append:C:\\One\\xtrasを更新しました"));

    Lines log{kOpening};
    Append(log, one.RefreshLines());
    log.push_back(kStopped);
    EXPECT_EQ(report.log, log);
    EXPECT_EQ(FoldersEntered(), (Lines{"C:", "C:\\One"}));
    EXPECT_EQ(fs.Contents(), expected);
    EXPECT_FALSE(report.colour);
}

TEST_F(Stop, DuringARefreshLetsItFinishAllItsFiles) {
    const Installation one = Install(c, "One");
    Install(c, "Two");
    Contents expected = fs.Contents();
    one.ApplyUpdate(expected);

    Run(StopAfter("append:C:\\One\\QBANK.CXT を更新しました"));

    Lines log{kOpening};
    Append(log, one.RefreshLines());
    log.push_back(kStopped);
    EXPECT_EQ(report.log, log);
    EXPECT_EQ(fs.Contents(), expected);
}

// A stop while a subfolder is listed: the walk enters no further folder, and
// the marker file that follows in the outer listing starts no refresh.
TEST_F(Stop, WhileAFolderIsListedNoFolderIsEnteredAndNoRefreshBegins) {
    const Folder outer = c.AddFolder("Outer");
    outer.AddFolder("Sub").AddFolder("Leaf");
    InstallInto(outer);
    Install(c, "Later");
    const Contents before = fs.Contents();

    Run({}, StopWhileListing("C:\\Outer\\Sub\\Leaf"));

    EXPECT_EQ(report.log, (Lines{kOpening, kStopped}));
    EXPECT_EQ(FoldersEntered(),
              (Lines{"C:", "C:\\Outer", "C:\\Outer\\Sub", "C:\\Outer\\Sub\\Leaf"}));
    EXPECT_EQ(fs.Contents(), before);
    EXPECT_TRUE(fs.InstallationsOpened().empty());
}

}  // namespace
}  // namespace engine_test
