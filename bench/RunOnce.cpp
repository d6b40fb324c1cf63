// One complete run of the update over the system's own drives, timed inside
// the program so that a slow start (Wine's) does not count:
//
//   soramido_run_once PACKAGE [LETTERS [THREADS]]
//
// PACKAGE is the folder holding Data, in the engine's form ending in '\'
// ("P:\"); LETTERS, when given, are the only drives searched ("T");
// THREADS, when given, list folders ahead of the search instead of as many
// as the worker chooses. The
// window is a stand-in that does what the real one does with each report
// operation, served by this thread as the UI thread. Prints the seconds and
// whether the run completed ("12.345 s completed").
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "bench/ChosenDrives.h"
#include "bench/EngineRuns.h"
#include "tests/support/PackageElsewhere.h"

#ifdef _WIN32
#include "platform/win32/Win32FileSystem.h"
using SystemFileSystem = platform::Win32FileSystem;
#else
#include "platform/posix/PosixFileSystem.h"
using SystemFileSystem = platform::PosixFileSystem;
#endif

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: soramido_run_once PACKAGE [LETTERS [THREADS]]\n");
        return 2;
    }
    SystemFileSystem system;
    bench::ChosenDrives drives(system, argc >= 3 ? argv[2] : "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    test_support::PackageElsewhere files(drives, argv[1]);
    std::optional<unsigned> readAhead;
    if (argc == 4)
        readAhead = static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10));
    const bench::RunFigures run = bench::CompleteRun(files, readAhead);
    std::printf("%.3f s %s (%zu report operations, %zu log lines)\n", run.seconds,
                run.completed ? "completed" : "incomplete", run.operations, run.logLines);
    return 0;
}
