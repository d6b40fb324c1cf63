// The ground the engine's scenario tests stand on: an in-memory computer with
// the update package on a CD (drive D:) and a fixed drive C:, product
// installations to plant on it, the log lines and file contents a refresh
// should produce, and two ways to run the worker: a whole run on its own
// thread (the test thread serving as the UI thread), or single steps.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "engine/MyThread.h"
#include "engine/ReplacementTable.h"
#include "platform/UiCallQueue.h"
#include "platform/WorkerThread.h"
#include "tests/engine/ListingLog.h"
#include "tests/engine/RecordingReport.h"
#include "tests/support/ExpectedTexts.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/WaitLimit.h"

namespace engine_test {

using test_support::MemoryFileSystem;
using Folder = MemoryFileSystem::FolderRef;
using Lines = std::vector<std::string>;
using Contents = std::map<std::string, std::string>;

using test_support::kCompletedStatus;
using test_support::kCompletion;
using test_support::kIncompleteStatus;
using test_support::kIncompletion;
using test_support::kNotInstalled;
using test_support::kOpening;
using test_support::kRun;
using test_support::kStopped;
inline const std::string kReplacedVerb = "を更新しました";
inline const std::string kFailedVerb = "を更新できませんでした";

inline const std::string kPackage = "D:\\Updater\\";
inline const std::vector<std::string> kPackageFiles = [] {
    std::vector<std::string> names;
    names.reserve(engine::kReplacements.size());
    for (const engine::Replacement& row : engine::kReplacements)
        names.emplace_back(row.source);
    return names;
}();
inline std::string NewContents(std::string_view packageFile) {
    return "1.55B " + std::string(packageFile);
}

inline void Append(Lines& lines, const Lines& more) {
    lines.insert(lines.end(), more.begin(), more.end());
}

// Where InstallInto plants the file of `row`, below the installation: its
// folders with a capital first letter only ("Audio\\Phrase\\Group6"), the
// plug-in's in the xtras folder of the name given.
inline std::string PlantedPath(const engine::Replacement& row, const std::string& xtras) {
    std::string path;
    for (std::string_view folder : row.folders) {
        if (folder.empty())
            continue;
        std::string name = row.onlyWithXtras ? xtras : std::string(folder);
        if (!row.onlyWithXtras) {
            for (std::size_t i = 1; i < name.size(); ++i)
                name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
        }
        path.append(name).append("\\");
    }
    return path.append(row.file);
}

// One planted installation and what refreshing it should do.
struct Installation {
    std::string path;
    std::string xtras;  // the name of its xtras folder on disk; empty when it has none

    // The log lines of its refresh: every file replaced, or, when `reason`
    // is given, none, and the line that says why.
    Lines RefreshLines(const std::optional<std::string>& reason = {}) const {
        Lines lines;
        for (const engine::Replacement& row : engine::kReplacements) {
            if (!xtras.empty() || !row.onlyWithXtras)
                lines.push_back(path + std::string(row.logName) +
                                (reason ? kFailedVerb : kReplacedVerb));
        }
        if (reason)
            lines.push_back(path + " は元のままです：" + *reason);
        return lines;
    }

    // Sets the files a refresh replaces to the package's contents.
    void ApplyUpdate(Contents& contents) const {
        for (const engine::Replacement& row : engine::kReplacements) {
            if (row.onlyWithXtras && xtras.empty())
                continue;
            contents[path + "\\" + PlantedPath(row, xtras)] = NewContents(row.source);
        }
    }
};

// Plants the product into `folder` itself: its executable (named `marker`),
// the files an update replaces (old versions), the marker folder and, when
// `xtras` is not empty, an xtras folder of that name with the old plug-in.
inline Installation InstallInto(const Folder& folder, const std::string& xtras = "xtras",
                                const std::string& marker = "SKM300.EXE") {
    folder.AddFile(marker, "product 1.50");
    // The files in the installation folder itself; those in folders of their
    // own are planted one by one below.
    for (const engine::Replacement& row : engine::kReplacements) {
        if (row.folders[0].empty())
            folder.AddFile(std::string(row.file), "1.50 " + std::string(row.file));
    }
    const Folder audio = folder.AddFolder("Audio");
    audio.AddFolder("Term").AddFolder("GROUP3");
    audio.AddFolder("Phrase").AddFolder("Group6").AddFile("q417.mp3", "1.50 q417.mp3");
    if (!xtras.empty())
        folder.AddFolder(xtras).AddFile("PlugKit2.X32", "1.50 plug-in");
    return {folder.Path(), xtras};
}

inline Installation Install(const Folder& parent, const std::string& name,
                            const std::string& xtras = "xtras",
                            const std::string& marker = "SKM300.EXE") {
    return InstallInto(parent.AddFolder(name), xtras, marker);
}

// The folders the search lists are watched through ListingLog, which sees
// the walk's order only when each folder is listed as the walk enters it:
// scenarios read no folder ahead.
inline constexpr unsigned kNoReadAhead = 0;

// A worker whose steps the test calls one by one.
class StepWorker : public engine::TMyThread {
  public:
    StepWorker(std::stop_token stop, platform::FileSystem& files, platform::UiCallQueue& ui,
               engine::Report& report, engine::RunEvents* events = nullptr)
        : TMyThread(NotStarted{std::move(stop), kNoReadAhead}, files, ui, report, events) {
        // Files held by another program are waited for only briefly here.
        SetPatience({std::chrono::milliseconds(20), std::chrono::milliseconds(1)});
    }
};

class EngineTest : public ::testing::Test {
  protected:
    EngineTest() {
        fs.AddDrive('D', platform::DriveType::CdRom);
        fs.SetOwnExecutableFolder(kPackage);
        const Folder data = fs.MakeFolders(kPackage + "Data");
        fs.MakeFile(kPackage + "Update.exe", "updater");
        for (const std::string& name : kPackageFiles)
            data.AddFile(name, NewContents(name));
    }

    using WorkerHook = std::function<void(engine::TMyThread&, const std::string&)>;

    // A whole run on the worker's own thread. `onOperation` is called on the
    // UI thread after each report operation, `onListing` on the worker's
    // thread as each folder is listed; tests use them to act at chosen
    // moments, as the user would.
    void Run(const WorkerHook& onOperation = {}, const WorkerHook& onListing = {}) {
        engine::TMyThread worker(files, ui, report, journal, kNoReadAhead);
        outcome = engine::RunOutcome::Failed;
        // Report operations run only inside WaitForEnd, on this thread, and
        // the worker lists nothing before its first operation has run: the
        // worker is fully built before any hook can be called.
        WatchStatusAtRefreshLines(worker, onOperation);
        if (onListing) {
            fs.SetListingHook([&](const std::string& folder) { onListing(worker, folder); });
        }
        {
            const test_support::WaitLimit limit("the end of the run");
            worker.WaitForEnd();
        }
        outcome = worker.Outcome();
        report.onOperation = nullptr;
        fs.SetListingHook(nullptr);
        EXPECT_TRUE(report.allOnUiThread);
        ExpectFoldersShownInTheSearchsOrder();
    }

    // The folders the search entered, in order.
    Lines FoldersEntered() { return files.FoldersEntered(fs.OwnExecutableFolder() + "Data"); }

    // Whichever folders the status line got to show, it showed only folders
    // the search entered, in the search's order, none twice.
    void ExpectFoldersShownInTheSearchsOrder() {
        const Lines entered = FoldersEntered();
        auto next = entered.begin();
        for (const std::string& folder : report.FoldersShown()) {
            next = std::find(next, entered.end(), folder);
            ASSERT_NE(next, entered.end()) << folder << " shown out of order or never entered";
            ++next;
        }
    }

    // As each line of a refresh appears, the status line shows the folder
    // the search entered last, as it would if the search waited for every
    // folder to be shown: the installation's own, or the last of its
    // subfolders listed before its marker file. Then calls `onOperation`.
    void WatchStatusAtRefreshLines(engine::TMyThread& worker, const WorkerHook& onOperation = {}) {
        report.onOperation = [&worker, &report = report, onOperation](const std::string& op) {
            // The worker waits while its line is appended: reading its
            // current folder is safe.
            if (op.starts_with("append:") &&
                (op.ends_with(kReplacedVerb) || op.ends_with(kFailedVerb))) {
                EXPECT_EQ(report.status, worker.CurrentFolder()) << op;
            }
            if (onOperation)
                onOperation(worker, op);
        };
    }

    // Runs `steps` with a worker of the NotStarted form on a thread of its
    // own, serving its report operations meanwhile.
    void RunSteps(const std::function<void(StepWorker&)>& steps, std::stop_token stop = {}) {
        StepWorker worker(std::move(stop), files, ui, report, journal);
        platform::WorkerThread thread(ui, [&](std::stop_token) { steps(worker); });
        const test_support::WaitLimit limit("the end of the worker's steps");
        thread.WaitForEnd();
        EXPECT_TRUE(report.allOnUiThread);
    }

    MemoryFileSystem fs;
    ListingLog files{fs};  // what the worker sees
    platform::UiCallQueue ui;
    RecordingReport report;
    engine::RunEvents* journal = nullptr;  // given to the worker of Run and of RunSteps
    engine::RunOutcome outcome = engine::RunOutcome::Failed;  // of the last Run
    Folder c = fs.AddDrive('C');
};

}  // namespace engine_test
