// The run of /VERYSILENT: no window and no message box, ever. The worker
// reports to nothing, and the main thread serves its calls until it ends; a
// hidden window on a thread of its own hears of a log-off or shut-down.
#pragma once

#include "platform/win32/WinApi.h"

#include "app/CommandLine.h"
#include "app/LogFile.h"
#include "engine/MyThread.h"
#include "platform/FileSystem.h"

namespace app {

// What the worker does for `options`: the inventory for /LIST, else the
// update; where nobody watches the run (`unattended`), one that leaves an
// installation held by a program to the next restart.
constexpr engine::TMyThread::Task TaskOf(const Options& options, bool unattended) {
    if (options.list)
        return engine::TMyThread::Task::List;
    return unattended ? engine::TMyThread::Task::UpdateUnattended
                      : engine::TMyThread::Task::Update;
}

// Runs the update (or the inventory of /LIST) once, to its verdict, and
// returns the exit code. With a log, the run is written to it, the exit code
// last, before a session that is ending is let go on.
int RunWithoutWindow(HINSTANCE instance, platform::FileSystem& files, LogFile* log,
                     const Options& options);

}  // namespace app
