// Reads the master file table of an NTFS volume from the volume's bytes and
// makes of it the index of where an installation can be
// (InstallationPlaces.h).
//
// The table is read in large sequential pieces, in the order its extents
// lie on the disk, which is what makes it fast: one pass over a few hundred
// megabytes instead of a seek for every folder. Anything that does not add
// up, from the boot sector to the last record, gives no index and says why;
// the search then walks the drive as it always did.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/InstallationPlaces.h"
#include "platform/RawVolume.h"

namespace engine {

struct FileTableRead {
    std::optional<InstallationPlaces> places;
    std::string why;            // when there are none
    std::uint64_t records = 0;  // the table's records, read or not
};

// `markerName` is in capitals. `keepReading` is told how many records have
// been read, between reads; false gives the reading up ("stopped").
FileTableRead ReadFileTable(platform::RawVolume& volume, std::string_view markerName,
                            const std::function<bool(std::uint64_t)>& keepReading);

}  // namespace engine
