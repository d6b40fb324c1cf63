// Which programs are running, as far as /proc tells this process.
#pragma once

#include <string>

namespace platform {

// True when a running process was started from the host file `program`: its
// /proc/<pid>/exe is that file. Processes this one may not look into (those
// of other users, unless it is root) are passed over.
bool AnyProcessRunsFrom(const std::string& program);

}  // namespace platform
