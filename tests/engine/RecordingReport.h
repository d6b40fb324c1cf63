// A window stand-in for the engine's tests: it keeps what the window would
// show (log, status line, colour, caption, enabled state) and the order of the
// operations that got it there, and notes whether each operation ran on the
// thread that serves the UI queue.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/Report.h"

namespace engine_test {

class RecordingReport : public engine::Report {
  public:
    // What the window shows before the worker touches it: the window has
    // set the caption to "中　止" when it started the run.
    std::vector<std::string> log;
    std::string status;
    std::optional<std::uint32_t> colour;
    std::string caption = "中　止";
    bool enabled = true;

    // Every operation in order, as "status:<text>", "clear", "append:<line>",
    // "caption:<text>", "enabled:<0|1>" or "colour:<hex>". Status texts may
    // be left out for huge walks (recordStatus = false); they are counted.
    std::vector<std::string> operations;
    bool recordStatus = true;
    std::size_t statusCount = 0;

    // Called on the UI thread after each operation, with its record; tests
    // use it to act as the user would at a chosen moment.
    std::function<void(const std::string& operation)> onOperation;

    bool allOnUiThread = true;

    // Forgets what was shown, as at the start of a new test; callable from
    // the worker's thread between two of its operations.
    void Forget() {
        log.clear();
        operations.clear();
        status.clear();
        colour.reset();
        statusCount = 0;
    }

    void SetStatusText(const std::string& text) override {
        status = text;
        ++statusCount;
        Note(recordStatus ? "status:" + text : std::string("status"));
    }
    void ClearLog() override {
        log.clear();
        Note("clear");
    }
    void AppendLogLine(const std::string& line) override {
        log.push_back(line);
        Note("append:" + line);
    }
    void SetRunButtonCaption(const std::string& text) override {
        caption = text;
        Note("caption:" + text);
    }
    void SetRunButtonEnabled(bool on) override {
        enabled = on;
        Note(on ? "enabled:1" : "enabled:0");
    }
    // The colours the window gives the verdicts, in its layout 0x00BBGGRR.
    void SetStatusColour(engine::Verdict verdict) override {
        const std::uint32_t value =
            verdict == engine::Verdict::Completed ? 0x00FF0000u : 0x000000FFu;
        colour = value;
        char hex[16];
        std::snprintf(hex, sizeof hex, "colour:%08X", static_cast<unsigned>(value));
        Note(hex);
    }

    // The paths shown in the status line, in order: some of the folders the
    // search entered.
    std::vector<std::string> FoldersShown() const {
        std::vector<std::string> shown;
        for (const std::string& op : operations) {
            if (IsFolderShown(op))
                shown.push_back(op.substr(7));
        }
        return shown;
    }

    // Every operation but the status line showing a folder: which folders it
    // gets to show depends on how fast the UI thread comes round.
    std::vector<std::string> OperationsButFoldersShown() const {
        std::vector<std::string> kept;
        for (const std::string& op : operations) {
            if (!IsFolderShown(op))
                kept.push_back(op);
        }
        return kept;
    }

  private:
    static bool IsFolderShown(const std::string& op) {
        return op.rfind("status:", 0) == 0 && op.size() > 8 && op[8] == ':';
    }

    void Note(std::string operation) {
        allOnUiThread = allOnUiThread && std::this_thread::get_id() == uiThread_;
        operations.push_back(std::move(operation));
        if (onOperation)
            onOperation(operations.back());
    }

    std::thread::id uiThread_ = std::this_thread::get_id();
};

}  // namespace engine_test
