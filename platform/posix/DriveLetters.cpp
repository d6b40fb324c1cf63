#include "platform/posix/DriveLetters.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <cstddef>

#include <algorithm>
#include <array>
#include <fstream>
#include <set>
#include <string_view>
#include <utility>

namespace platform {
namespace {

// The kernel's own flag for a disk whose medium can be taken out. A
// partition carries none of its own; its disk is the folder above it.
bool IsRemovableBlockDevice(dev_t device) {
    const std::string folder =
        "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    const bool isPartition = ::access((folder + "/partition").c_str(), F_OK) == 0;
    std::ifstream flag(folder + (isPartition ? "/../removable" : "/removable"));
    char value = '0';
    flag >> value;
    return value == '1';
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool IsLocalFixedDisk(const MountEntry& mount) {
    // Discs and images: read-only media that Windows would not call fixed.
    static constexpr std::array<std::string_view, 4> kNotFixed = {"iso9660", "udf", "squashfs",
                                                                  "erofs"};
    if (std::find(kNotFixed.begin(), kNotFixed.end(), mount.type) != kNotFixed.end()) {
        return false;
    }
    struct stat st {};
    if (::stat(mount.source.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
        return false;
    return !IsRemovableBlockDevice(st.st_rdev) && IsFolder(mount.mountPoint);
}

DriveMap AssignDriveLetters(const std::vector<MountEntry>& mounts,
                            const std::function<bool(const MountEntry&)>& isFixedDisk) {
    DriveMap drives{{'C', "/"}};
    std::set<std::pair<std::string, std::string>> placesWithLetters;  // (source, root)
    char next = 'D';
    for (std::size_t i = 0; i < mounts.size() && next <= 'Z'; ++i) {
        const MountEntry& mount = mounts[i];
        if (mount.mountPoint == "/")
            continue;
        const bool hiddenLater = std::any_of(
            mounts.begin() + static_cast<std::ptrdiff_t>(i + 1), mounts.end(),
            [&](const MountEntry& later) { return later.mountPoint == mount.mountPoint; });
        if (hiddenLater || !isFixedDisk(mount))
            continue;
        if (!placesWithLetters.emplace(mount.source, mount.root).second)
            continue;
        drives.emplace(next++, mount.mountPoint);
    }
    return drives;
}

DriveMap DefaultDriveMap() {
    return AssignDriveLetters(ReadOwnMountTable(), IsLocalFixedDisk);
}

}  // namespace platform
