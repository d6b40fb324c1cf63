// Which folders of a Linux system stand for Windows drive letters by default.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/posix/MountTable.h"

namespace platform {

// Drive letter ('A'..'Z') -> the host folder that the drive's root stands for.
using DriveMap = std::map<char, std::string>;

// True for a file system on a local disk, mounted on a folder: mounted from a
// block device that is not removable, and not an optical disc or a read-only
// image. Pseudo and network file systems have no block device as their
// source; a file bind-mounted into a container is no folder.
bool IsLocalFixedDisk(const MountEntry& mount);

// C: is "/", and D:, E:, ... are the other mounts that `isFixedDisk` accepts,
// in mount order, as far as Z:. A mount that is hidden by a later one at the
// same point, or that repeats an earlier device and folder (a bind mount of
// the same place) gets no letter.
DriveMap AssignDriveLetters(const std::vector<MountEntry>& mounts,
                            const std::function<bool(const MountEntry&)>& isFixedDisk);

// The letters of this system: AssignDriveLetters over the own mount table.
DriveMap DefaultDriveMap();

}  // namespace platform
