// This PC's key on POSIX: a file of 32 bytes that only its owner may read,
// the owner being root or the user the program runs as, in a folder no one
// else may write to. Made at the first use.
#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace platform {

inline constexpr const char* kDefaultMachineKeyFile = "/var/lib/soramido-update/journal-key";

// Reads the key at `path`, making it (and its folder) when there is none
// and `use` allows.
// Refused where the file or its folder could have been written by another
// user, or the file read by one.
Result<MachineKey> MachineKeyFromFile(const std::string& path, KeyUse use);

}  // namespace platform
