// This PC's key on Windows: a REG_BINARY value in
// HKEY_LOCAL_MACHINE\SOFTWARE\Kelmina\Soramido\Update\JournalKey (always the
// 64-bit view), a key whose access list lets only Administrators and SYSTEM
// in, inherits nothing, and is owned by one of them. Made at the first use.
#pragma once

#include "platform/FileSystem.h"

namespace platform {

// The key, made where there is none and `use` allows. Refused where the registry key that
// holds it exists with a looser access list or another owner: whoever made
// it could read it.
Result<MachineKey> MachineKeyFromRegistry(KeyUse use);

}  // namespace platform
