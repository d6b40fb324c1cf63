// A cold cache for the figures that need one, as the updater meets it: run
// once on a PC, it finds no folder of the drive in memory. The kernel's page,
// dentry and inode caches are dropped, so every listing is a disk read again.
#pragma once

#include <string>

namespace bench {

// Writes dirty pages back and drops the caches; false, with the reason,
// where that is not permitted (not root, a container's read-only /proc).
bool DropCaches(std::string& why);

}  // namespace bench
