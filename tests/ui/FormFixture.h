// The window driven in-process through real window messages: a TForm1 over an
// in-memory computer (the update package on drive D:, installations planted
// on fixed drive C:), a message pump that works like the program's own loop,
// and readers that take what the window shows back from its controls.
#pragma once

#include "platform/win32/WinApi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/ExpectedTexts.h"
#include "tests/support/MemoryFileSystem.h"
#include "ui/ControlIds.h"
#include "ui/ControlText.h"
#include "ui/Main.h"

namespace ui_test {

using test_support::MemoryFileSystem;
using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

using test_support::kCompletedStatus;
using test_support::kCompletion;
using test_support::kNotInstalled;
using test_support::kOpening;
using test_support::kRun;
using test_support::kStop;
using test_support::kStopped;
inline constexpr COLORREF kBlue = RGB(0, 0, 255);

inline const std::string kPackage = "D:\\Updater\\";

// The log lines of refreshing the installation at `path`.
Lines RefreshLines(const std::string& path, bool withXtras);

// A window whose worker creation and error boxes the test controls.
class TestForm : public ui::TForm1 {
  public:
    using TForm1::TForm1;

    std::vector<std::string> errorBoxes;
    int workersCreated = 0;
    // The newest worker; the window holds it.
    engine::TMyThread* latestWorker = nullptr;
    // Thrown instead of creating a worker, when set.
    std::function<void()> failCreation;
    // Called after each report operation, on the UI thread, with its name.
    std::function<void(const std::string& operation)> afterOperation;
    // Whether the run had stopped when the session ended; empty until it did.
    std::optional<bool> sessionEndedAfterTheRun;

    void SetRunButtonCaption(const std::string& caption) override {
        TForm1::SetRunButtonCaption(caption);
        Notify("caption:" + caption);
    }
    void AppendLogLine(const std::string& line) override {
        TForm1::AppendLogLine(line);
        Notify("append:" + line);
    }
    void SetRunButtonEnabled(bool enabled) override {
        TForm1::SetRunButtonEnabled(enabled);
        Notify(enabled ? "enabled:1" : "enabled:0");
    }

  protected:
    std::unique_ptr<engine::TMyThread> CreateWorker() override {
        if (failCreation)
            failCreation();
        ++workersCreated;
        auto worker = TForm1::CreateWorker();
        latestWorker = worker.get();
        return worker;
    }
    void ShowErrorBox(const std::string& message) override { errorBoxes.push_back(message); }
    void SessionEnding(bool runStopped) override { sessionEndedAfterTheRun = runStopped; }

  private:
    void Notify(const std::string& operation) {
        if (afterOperation)
            afterOperation(operation);
    }
};

// Holds the worker's walk at the listing of one folder until opened.
class Gate {
  public:
    // The listing hook to install; it holds the walk at `folder`.
    std::function<void(const std::string&)> HoldAt(std::string folder);
    bool Reached() const { return reached_.load(); }
    void Open();
    // Opens once a stop of `worker` is requested, so that the walk goes on
    // from the folder it was held at knowing of the stop.
    void OpenOnStop(const engine::TMyThread& worker);

  private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
    const engine::TMyThread* worker_ = nullptr;
    std::atomic<bool> reached_{false};
};

class FormTest : public ::testing::Test {
  protected:
    FormTest();

    // Plants an installation (marker file, marker folder, the files an update
    // replaces, and an xtras folder when asked) at `path` on drive C:.
    void Install(const std::string& path, bool withXtras);

    // Creates and shows the window as the program's entry does, owned by
    // `owner` (the application's window) if given.
    void Open(HWND owner = nullptr);

    // Carries out the window's messages as the program's loop does (through
    // IsDialogMessage), until `done` holds or `timeout` passes.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 20s);
    void PumpPending();
    // A run has ended with a verdict: the worker has ended and the caption
    // reads "実　行" again.
    bool PumpUntilIdle();

    // A key pressed while the focus is where it is now.
    void PressKey(UINT virtualKey);
    void Click(HWND button);

    HWND Form() const { return form.Handle(); }
    HWND Item(int id) const;
    std::string Text(int id) const { return ui::GetText(Item(id)); }
    Lines LogLines() const;
    COLORREF StatusColour() const;
    bool IsEnabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    int FocusedId() const;

    MemoryFileSystem fs;
    TestForm form{fs};
    bool quitPosted = false;
};

}  // namespace ui_test
