#include "platform/posix/DiskKind.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <fstream>

namespace platform {

DiskKind KindOfDiskHolding(const std::string& hostFolder) {
    struct stat st {};
    if (::stat(hostFolder.c_str(), &st) != 0)
        return DiskKind::Unknown;
    const std::string device = "/sys/dev/block/" + std::to_string(major(st.st_dev)) + ':' +
                               std::to_string(minor(st.st_dev));
    // A partition has no queue of its own; its disk's is one folder up.
    for (const char* queue : {"/queue/rotational", "/../queue/rotational"}) {
        std::ifstream flag(device + queue);
        int rotational = -1;
        if (flag >> rotational)
            return rotational == 1 ? DiskKind::Spinning : DiskKind::SolidState;
    }
    return DiskKind::Unknown;
}

}  // namespace platform
