#include "platform/posix/RunningPrograms.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <string_view>

#include "platform/posix/FolderReader.h"
#include "platform/posix/ScopedFd.h"

namespace platform {

bool AnyProcessRunsFrom(const std::string& program) {
    struct stat wanted {};
    if (::stat(program.c_str(), &wanted) != 0 || !S_ISREG(wanted.st_mode))
        return false;
    const ScopedFd proc(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!proc)
        return false;

    // The file itself is compared, not its path: a process's exe names its
    // program through no link, and the path given may go through one. A
    // program replaced since it started is another file, and does not count.
    bool found = false;
    ReadFolder(proc.Get(), [&](const RawEntry& entry) {
        if (entry.name.empty() ||
            entry.name.find_first_not_of("0123456789") != std::string_view::npos)
            return true;
        const std::string exe = std::string(entry.name) + "/exe";
        struct stat st {};
        found = ::fstatat(proc.Get(), exe.c_str(), &st, 0) == 0 && st.st_dev == wanted.st_dev &&
                st.st_ino == wanted.st_ino;
        return !found;
    });
    return found;
}

}  // namespace platform
