// Programs the benchmark starts: find as the yardstick, and Wine's scripts.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bench {

struct ChildResult {
    bool started = false;
    int exitCode = -1;   // -1 when it did not exit normally
    double seconds = 0;  // wall-clock, from before the start to after the end
    std::string output;  // standard output, when captured
};

struct ChildOptions {
    bool captureOutput = false;            // else standard output goes to /dev/null
    bool quiet = false;                    // standard error to /dev/null too
    std::vector<std::string> environment;  // NAME=VALUE, added to this process's
};

// Runs `command` (the program, looked up on PATH, then its arguments) and
// waits for it.
ChildResult RunProgram(const std::vector<std::string>& command, const ChildOptions& options = {});

// True when `program` is found on PATH.
bool OnPath(const std::string& program);

struct ForkedResult {
    int exitCode = -1;
    long peakResidentKiB = -1;  // the child's, from wait4
};

// Runs `work` in a forked copy of this process and returns its exit code and
// peak resident memory. Linux starts a child's peak at the resident size of
// its parent at the fork, so fork while this process is small.
ForkedResult RunForked(const std::function<int()>& work);

}  // namespace bench
