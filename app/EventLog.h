// The Application event log's entry of each run that ends: source
// "Soramido Update", event 1000 + the exit code, with the installations'
// counts and the log's path. Event Viewer reads the texts from a message
// file that Update.exe carries and copies to
// %ProgramData%\Kelmina\Soramido\EventMessages, a folder only administrators
// may change, since Update.exe itself may be deleted from its share or
// temporary folder right after the run.
#pragma once

#include <string>

#include "app/ProtectedFolder.h"
#include "engine/RunEvents.h"

namespace app {

inline constexpr wchar_t kEventSource[] = L"Soramido Update";

// The entry's level: information, warning or error.
enum class EventLevel : unsigned char { Information, Warning, Error };
constexpr EventLevel LevelOf(int exitCode) {
    switch (exitCode) {
        case 0:
        case 1:
        case 9:
        case 3010:
            return EventLevel::Information;
        case 3:
        case 7:
        case 8:
            return EventLevel::Error;
        default:
            return EventLevel::Warning;
    }
}

// Puts the message file in place, registers the source and writes the
// entry; what stood in the message file's way and was put right goes to
// `corrections`. Throws std::exception with the reason for the log when any
// of it fails; the run's outcome stands all the same.
void WriteRunEvent(int exitCode, const engine::InstallationCount& count, const std::string& logPath,
                   Corrections& corrections);

class LogFile;

// The run's last words, once whoever calls first (the program's end, or a
// session's end on the session window's thread): its event (a failure to
// write it goes into the log) and then the log's exit code line.
void FinishRun(LogFile& log, int exitCode) noexcept;

}  // namespace app
