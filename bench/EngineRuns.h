// The engine's runs that the benchmark times, each on the calling thread as
// the window's UI thread: a complete run, a run stopped part-way, and the
// folder walk alone without a worker thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace bench {

struct RunFigures {
    double seconds = 0;      // from the worker's start to its end
    double busySeconds = 0;  // spent carrying out report operations
    bool completed = false;  // every installation refreshed
    std::size_t operations = 0;
    std::size_t logLines = 0;
};

// One complete run: `worker.WaitForEnd()` serves the report operations.
// The folders read ahead of the search are the worker's own choice unless
// `readAheadThreads` is given.
RunFigures CompleteRun(platform::FileSystem& files,
                       std::optional<unsigned> readAheadThreads = std::nullopt);

struct WalkFigures {
    double seconds = 0;
    std::size_t folders = 0;
    std::size_t markers = 0;
};

// The walk of `root` alone, with a visitor that only counts, and
// `readAheadThreads` listing folders ahead of it.
WalkFigures BareWalk(platform::FileSystem& files, const std::string& root,
                     unsigned readAheadThreads);

struct StopFigures {
    double latencySeconds = 0;  // from RequestStop to WaitForEnd's return
    bool endedFirst = false;    // the run ended before the stop was due
    bool stopped = false;       // the log says the run was stopped
};

// A run stopped `after` its start: until then this thread serves the report
// operations, then requests the stop and waits for the end.
StopFigures StoppedRun(platform::FileSystem& files, std::chrono::nanoseconds after);

}  // namespace bench
