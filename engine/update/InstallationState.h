// How far an installation is at the package's bytes, read without changing
// anything: what /LIST tells an administrator of each installation found.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/update/UpdatePackage.h"
#include "platform/FileSystem.h"

namespace engine {

enum class InstallationState : std::uint8_t {
    Current,      // every file of the table holds the package's bytes
    Old,          // none does
    Mixed,        // some do
    Interrupted,  // an update of it was cut short and awaits its repair
    Restart,      // staged whole, to be finished at the next restart: a program held it
    Blocked,      // an update would refuse it as it stands: names differing only in
                  // letter case, or something of the journal's name that is not in
                  // a journal's form at all
};

// The word the log gives the state: "1.55B", "old", "mixed", "interrupted",
// "restart", "blocked".
std::string_view StateName(InstallationState state);

// Reads each file of the table in `installation` (the plug-in only where an
// xtras folder is) and compares its size and SHA-256 with the package's. A
// file that is missing or cannot be read holds none of the package's bytes.
InstallationState InspectInstallation(platform::FileSystem& files, const UpdatePackage& package,
                                      const std::string& installation);

}  // namespace engine
