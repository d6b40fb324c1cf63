#include "bench/ColdCache.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/ScopedFd.h"

namespace bench {

bool DropCaches(std::string& why) {
    // Dirty pages cannot be dropped: written back first, they can.
    ::sync();
    const platform::ScopedFd control(::open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC));
    // 3: the page cache and the dentries and inodes both.
    if (!control || ::write(control.Get(), "3\n", 2) != 2) {
        why = std::string("cannot drop the caches (/proc/sys/vm/drop_caches): ") +
              std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace bench
