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
#include <vector>

#include "engine/filetable/FileRecord.h"
#include "engine/filetable/InstallationPlaces.h"
#include "platform/RawVolume.h"

namespace engine {

// One read of the table's bytes: `length` bytes from `offset` of the volume.
struct TableRead {
    std::uint64_t offset = 0;
    std::size_t length = 0;
};

// One read of the table: large enough that a disk spends its time
// transferring, small enough that a stop is heeded at once.
inline constexpr std::size_t kTableBlockBytes = std::size_t{1} << 20;

struct FileTableRead {
    std::optional<InstallationPlaces> places;
    std::string why;            // when there are none
    std::uint64_t records = 0;  // the table's records, read or not
    // The reads of the table's records, in the order they were made, once
    // its extents were known.
    std::vector<TableRead> plan;
    std::uint64_t clusterBytes = 0;
    std::uint64_t tableBytes = 0;
};

// The reads of a table of `tableBytes` bytes that lies in `extents`, in
// blocks of at most `blockBytes`.
std::vector<TableRead> PlanTableReads(const std::vector<ntfs::Extent>& extents,
                                      std::uint64_t clusterBytes, std::uint64_t tableBytes,
                                      std::size_t blockBytes);

// `markerName` is in capitals. `keepReading` is told how many records have
// been read, between reads; false gives the reading up ("stopped").
FileTableRead ReadFileTable(platform::RawVolume& volume, std::string_view markerName,
                            const std::function<bool(std::uint64_t)>& keepReading);

}  // namespace engine
