// What a raw listing entry is, in the engine's terms.
#pragma once

#include "platform/FolderHandle.h"
#include "platform/posix/FolderReader.h"

namespace platform {

// What a listing tells of one entry of the folder open as `folderFd`. The
// entry's type comes with the listing on most file systems; a link, or a type
// the listing leaves open, costs one look at the entry itself.
FolderEntry DescribeEntry(int folderFd, const RawEntry& entry);

// True when the folder `name` of the folder open as `folderFd` is where
// another file system is mounted: a drive of its own, or none (/proc).
bool IsMountRoot(int folderFd, const char* name);

}  // namespace platform
