// The kind of disk a folder lies on, as Linux tells it: the block device's
// "rotational" flag in sysfs. A virtual disk (virtio) says it rotates unless
// its host tells otherwise, so the flag is a hint, not a fact.
#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace platform {

// Unknown when the folder cannot be read or lies on no block device (tmpfs,
// overlays, network file systems).
DiskKind KindOfDiskHolding(const std::string& hostFolder);

}  // namespace platform
