#include "platform/posix/DiskKind.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>

namespace platform {

namespace {

// Linux's drivers for a virtual machine's disks (virtio, Xen) leave the flag
// at "rotational" whatever the host keeps the disk on; the machine these
// figures were measured on is such a one.
bool IsVirtualMachineDisk(const std::string& disk) {
    std::error_code error;
    const std::filesystem::path driver =
        std::filesystem::read_symlink(disk + "/device/driver", error);
    return !error && (driver.filename() == "virtio_blk" || driver.filename() == "vbd");
}

}  // namespace

DiskKind KindOfDiskHolding(const std::string& hostFolder) {
    struct stat st {};
    if (::stat(hostFolder.c_str(), &st) != 0)
        return DiskKind::Unknown;
    const std::string device = "/sys/dev/block/" + std::to_string(major(st.st_dev)) + ':' +
                               std::to_string(minor(st.st_dev));
    // A partition has no queue of its own; its disk is one folder up.
    for (const std::string& disk : {device, device + "/.."}) {
        std::ifstream flag(disk + "/queue/rotational");
        int rotational = -1;
        if (!(flag >> rotational))
            continue;
        if (rotational == 0)
            return DiskKind::SolidState;
        return IsVirtualMachineDisk(disk) ? DiskKind::Unknown : DiskKind::Spinning;
    }
    return DiskKind::Unknown;
}

}  // namespace platform
