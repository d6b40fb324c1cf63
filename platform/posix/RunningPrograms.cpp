#include "platform/posix/RunningPrograms.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/posix/FolderReader.h"
#include "platform/posix/ScopedFd.h"

namespace platform {

bool AnyProcessRunsFrom(const FileId& program) {
    const ScopedFd proc(::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!proc)
        return false;

    // The file itself is compared, not its path: a process's exe names its
    // program through no link, and the installation may be reached through
    // one. A program replaced since it started is another file, and does
    // not count.
    bool found = false;
    ReadFolder(proc.Get(), [&](const RawEntry& entry) {
        if (entry.name.empty() ||
            entry.name.find_first_not_of("0123456789") != std::string_view::npos)
            return true;
        const std::string exe = std::string(entry.name) + "/exe";
        struct stat st {};
        found = ::fstatat(proc.Get(), exe.c_str(), &st, 0) == 0 &&
                std::uint64_t(st.st_dev) == program.volume &&
                std::uint64_t(st.st_ino) == program.file && program.fileHigh == 0;
        return !found;
    });
    return found;
}

}  // namespace platform
