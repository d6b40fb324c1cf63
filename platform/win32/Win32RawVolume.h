// The volume behind a drive letter, opened for reading its bytes
// (RawVolume.h): "\\.\D:", which only an administrator may read.
#pragma once

#include <memory>

#include "platform/RawVolume.h"

namespace platform {

// Refused, with the reason, for any file system but NTFS: only its table is
// read, and another's bytes are not worth the reading.
Result<std::unique_ptr<RawVolume>> OpenNtfsVolume(char letter);

}  // namespace platform
