// The engine's view of a failed system call: what kind of failure it was,
// and the system's own wording of it.
#pragma once

#include "platform/FolderHandle.h"

namespace platform {

// The failure that `error` (an errno value) stands for: ENOENT is NotFound,
// ELOOP (what O_NOFOLLOW gives on a link) is Link, anything else, a full disk
// or a refused permission among them, is Other. The description is
// strerror's, whatever thread asks.
FileError FileErrorOf(int error);

// The same for the errno the last failed call left.
FileError LastFileError();

}  // namespace platform
