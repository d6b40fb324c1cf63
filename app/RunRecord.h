// The record of the last run that reached a verdict, in the registry, where
// deployment tools (Intune, Configuration Manager, a start-up script) read
// whether a PC still needs the update and how the last try went:
// HKEY_LOCAL_MACHINE\SOFTWARE\Kelmina\Soramido\Update, always in the 64-bit
// view, so that the 32-bit build and a 64-bit tool look at the same key.
#pragma once

#include <optional>
#include <string>

#include "engine/RunJournal.h"

namespace ui {

struct RunRecord {
    int exitCode = 0;
    engine::InstallationCount count;
    std::optional<std::string> logFile;   // the log's full path
    std::optional<std::string> logError;  // why /LOG's file could not be written
    std::string drivesNotSearched;        // "E: F:", fixed drives whose root could not be listed
};

// Writes `record`. Version and UpToDate change as exit_code::VersionAfter
// and UpToDateAfter say; UpToDate goes first and comes back last, so that it
// never stands beside another run's LastExitCode. LastLog, LogError and
// DrivesNotSearched go when the run had none, so that they never name
// another run's. Throws std::system_error when the key cannot be written
// (without the rights of an administrator, for one).
void WriteRunRecord(const RunRecord& record);

// The local time now as the record gives it: YYYY-MM-DDThh:mm:ss±hh:mm.
std::string LocalTimeWithOffset();

}  // namespace ui
