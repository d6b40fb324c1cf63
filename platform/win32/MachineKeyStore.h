// This PC's key on Windows: a REG_BINARY value in
// HKEY_LOCAL_MACHINE\SOFTWARE\Kelmina\Soramido\UpdateJournalKey (always the
// 64-bit view; ProgramKey.h), a key whose access list lets only
// Administrators and SYSTEM in, inherits nothing, and is owned by one of
// them. Made at the first use, or moved from where it was kept before.
#pragma once

#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace platform {

// The key, made where there is none and `use` allows. Where the registry key
// that holds it lets others in (or another owns it), whoever did that could
// read it: a run that may make a key puts the list right and makes a new
// one, and `replaced` receives why; a run that only reads refuses it.
Result<MachineKey> MachineKeyFromRegistry(KeyUse use,
                                          std::optional<std::string>* replaced = nullptr);

}  // namespace platform
