// Which programs are running, as far as /proc tells this process.
#pragma once

#include "platform/FolderHandle.h"

namespace platform {

// True when a running process was started from the file whose device and
// inode are `program`: its /proc/<pid>/exe is that file. Processes this one
// may not look into (those of other users, unless it is root) are passed
// over.
bool AnyProcessRunsFrom(const FileId& program);

}  // namespace platform
