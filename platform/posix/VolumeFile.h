// A volume kept in a file or a block device, read as bytes (RawVolume.h):
// an NTFS image that ntfs-3g mounts, or the device behind a mount.
#pragma once

#include <memory>
#include <string>

#include "platform/RawVolume.h"

namespace platform {

Result<std::unique_ptr<RawVolume>> OpenVolumeFile(const std::string& path);

}  // namespace platform
