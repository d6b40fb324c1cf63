// The kind of disk a folder lies on, as Linux tells it: the block device's
// "rotational" flag in sysfs.
#pragma once

#include <string>

#include "platform/FileSystem.h"

namespace platform {

// Unknown when the folder cannot be read, lies on no block device (tmpfs,
// overlays, network file systems), or on a virtual machine's disk, whose
// flag says nothing of the disk behind it.
DiskKind KindOfDiskHolding(const std::string& hostFolder);

}  // namespace platform
