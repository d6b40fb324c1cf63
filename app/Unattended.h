// The run of /VERYSILENT: no window and no message box, ever. The worker
// reports to nothing, and the main thread serves its calls until it ends; a
// hidden window on a thread of its own hears of a log-off or shut-down.
#pragma once

#include "platform/win32/WinApi.h"

#include "engine/MyThread.h"
#include "platform/FileSystem.h"
#include "ui/LogFile.h"

namespace ui {

// Runs the update (or the inventory of /LIST) once, to its verdict, and
// returns the exit code. With a log, the run is written to it, the exit code
// last, before a session that is ending is let go on.
int RunWithoutWindow(HINSTANCE instance, platform::FileSystem& files, LogFile* log,
                     engine::TMyThread::Task task = engine::TMyThread::Task::Update);

}  // namespace ui
