#include "engine/FileTable.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "engine/FileRecord.h"

namespace engine {
namespace {

using ntfs::Extent;

// One read of the table: large enough that a disk spends its time
// transferring, small enough that a stop is heeded at once.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
constexpr std::size_t kLargestCluster = std::size_t{2} << 20;
constexpr std::size_t kLargestRecord = std::size_t{64} << 10;

std::uint64_t Field(std::span<const std::byte> bytes, std::size_t at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;)
        value = (value << 8) | std::to_integer<std::uint64_t>(bytes[at + i]);
    return value;
}

bool IsPowerOfTwo(std::uint64_t n) {
    return n != 0 && (n & (n - 1)) == 0;
}

// Why the reading ended without an index; thrown inside, caught at the top.
struct Doubt {
    std::string why;
};

// Reads what is asked of the volume in its own aligned units, into memory
// whose address is aligned the same way.
class AlignedReader {
  public:
    explicit AlignedReader(platform::RawVolume& volume) : volume_(volume) {
        sector_ = volume.SectorSize();
        if (!IsPowerOfTwo(sector_) || sector_ < 512 || sector_ > kLargestRecord)
            throw Doubt{"the volume's sector size is " + std::to_string(sector_)};
    }

    std::span<std::byte> Fetch(std::uint64_t offset, std::size_t length) {
        const std::uint64_t start = offset & ~std::uint64_t{sector_ - 1};
        const std::size_t lead = static_cast<std::size_t>(offset - start);
        const std::size_t total = (lead + length + sector_ - 1) & ~std::size_t{sector_ - 1};
        if (storage_.size() < total + sector_)
            storage_.resize(total + sector_);
        void* at = storage_.data();
        std::size_t room = storage_.size();
        std::align(sector_, total, at, room);
        const std::span<std::byte> aligned(static_cast<std::byte*>(at), total);
        if (const platform::Failure failed = volume_.Read(start, aligned))
            throw Doubt{"a read of the volume failed: " + failed->description};
        return aligned.subspan(lead, length);
    }

  private:
    platform::RawVolume& volume_;
    std::uint32_t sector_ = 0;
    std::vector<std::byte> storage_;
};

struct Geometry {
    std::uint64_t clusterBytes = 0;
    std::uint64_t clusters = 0;
    std::uint64_t tableCluster = 0;
    std::size_t recordBytes = 0;
};

Geometry ReadBootSector(AlignedReader& reader) {
    const std::span<const std::byte> boot = reader.Fetch(0, 512);
    if (std::memcmp(boot.data() + 3, "NTFS    ", 8) != 0)
        throw Doubt{"not NTFS"};
    const std::uint64_t sectorBytes = Field(boot, 0x0B, 2);
    const std::uint64_t perCluster = Field(boot, 0x0D, 1);
    Geometry geometry;
    // Above 0x80 the byte is a negative power of two, as on volumes with
    // clusters of 128 sectors or more.
    const std::uint64_t clusterSectors =
        perCluster <= 0x80 ? perCluster
                           : std::uint64_t{1} << std::min<std::uint64_t>(256 - perCluster, 32);
    if (clusterSectors > kLargestCluster)
        throw Doubt{"the boot sector does not add up"};
    geometry.clusterBytes = sectorBytes * clusterSectors;
    const std::uint64_t totalSectors = Field(boot, 0x28, 8);
    const auto perRecord = static_cast<std::int8_t>(Field(boot, 0x40, 1));
    if (!IsPowerOfTwo(sectorBytes) || sectorBytes < 256 || sectorBytes > 4096 ||
        !IsPowerOfTwo(clusterSectors) || geometry.clusterBytes > kLargestCluster ||
        Field(boot, 0x1FE, 2) != 0xAA55 || totalSectors > (UINT64_MAX / sectorBytes)) {
        throw Doubt{"the boot sector does not add up"};
    }
    geometry.clusters = totalSectors * sectorBytes / geometry.clusterBytes;
    geometry.tableCluster = Field(boot, 0x30, 8);
    std::uint64_t recordBytes = 0;
    if (perRecord > 0)
        recordBytes = static_cast<std::uint64_t>(perRecord) * geometry.clusterBytes;
    else if (perRecord >= -16 && perRecord <= -9)
        recordBytes = std::uint64_t{1} << -perRecord;
    if (!IsPowerOfTwo(recordBytes) || recordBytes < ntfs::kFixupStride ||
        recordBytes > kLargestRecord || geometry.tableCluster >= geometry.clusters) {
        throw Doubt{"the boot sector does not add up"};
    }
    geometry.recordBytes = static_cast<std::size_t>(recordBytes);
    return geometry;
}

// The bytes of the table from `offset`, wherever its extents put them.
std::vector<std::byte> ReadTableBytes(AlignedReader& reader, const Geometry& geometry,
                                      const std::vector<Extent>& extents, std::uint64_t offset,
                                      std::size_t length) {
    std::vector<std::byte> bytes;
    bytes.reserve(length);
    while (bytes.size() < length) {
        const std::uint64_t at = offset + bytes.size();
        const std::uint64_t vcn = at / geometry.clusterBytes;
        const auto extent = std::find_if(extents.begin(), extents.end(), [&](const Extent& e) {
            return vcn >= e.vcn && vcn - e.vcn < e.clusters;
        });
        if (extent == extents.end())
            throw Doubt{"the file table's own records lie past its extents"};
        const std::uint64_t within = at - extent->vcn * geometry.clusterBytes;
        const std::uint64_t left = extent->clusters * geometry.clusterBytes - within;
        const std::size_t part =
            static_cast<std::size_t>(std::min<std::uint64_t>(left, length - bytes.size()));
        const std::span<const std::byte> got =
            reader.Fetch(extent->lcn * geometry.clusterBytes + within, part);
        bytes.insert(bytes.end(), got.begin(), got.end());
    }
    return bytes;
}

// A record of the table, fix-ups applied; false when it is not in use.
bool PrepareRecord(std::span<std::byte> record, std::uint64_t number) {
    if (std::memcmp(record.data(), "FILE", 4) != 0) {
        if (std::all_of(record.begin(), record.begin() + 4,
                        [](std::byte b) { return b == std::byte{0}; }))
            return false;
        throw Doubt{"record " + std::to_string(number) + " is damaged"};
    }
    if ((Field(record, 0x16, 2) & 1) == 0)
        return false;
    if (!ntfs::ApplyFixups(record))
        throw Doubt{"the fix-ups of record " + std::to_string(number) + " do not match"};
    // Records written since Windows XP carry their own number: one that
    // differs means the extents lead somewhere else.
    if (Field(record, 4, 2) >= 0x30 && Field(record, 0x2C, 4) != (number & 0xFFFF'FFFF))
        throw Doubt{"record " + std::to_string(number) + " says it is another"};
    return true;
}

// Where the table lies: the extents of its $DATA, from its own record and
// the extension records its attribute list names.
std::vector<Extent> TableExtents(AlignedReader& reader, const Geometry& geometry,
                                 std::uint64_t& tableBytes) {
    const std::span<const std::byte> fetched =
        reader.Fetch(geometry.tableCluster * geometry.clusterBytes, geometry.recordBytes);
    std::vector<std::byte> first(fetched.begin(), fetched.end());
    if (!PrepareRecord(first, 0))
        throw Doubt{"the file table's own record is not in use"};
    ntfs::NonResidentValue data;
    if (!ntfs::FindNonResident(first, ntfs::kData, geometry.clusters, data) || data.firstVcn != 0)
        throw Doubt{"the file table's own record does not add up"};
    tableBytes = data.size;
    std::vector<Extent> extents = data.extents;
    const std::uint64_t clustersNeeded =
        (tableBytes + geometry.clusterBytes - 1) / geometry.clusterBytes;
    if (data.lastVcn + 1 < clustersNeeded) {
        // The rest of the run list stands in extension records.
        const std::span<const std::byte> list = ntfs::FindResident(first, ntfs::kAttributeList);
        std::vector<ntfs::ListedAttribute> entries;
        if (list.empty() || !ntfs::ParseAttributeList(list, entries))
            throw Doubt{"the file table's extents are not all in its own record"};
        for (const ntfs::ListedAttribute& entry : entries) {
            if (entry.type != ntfs::kData || entry.record == 0 || entry.firstVcn == 0)
                continue;
            if (entry.record > tableBytes / geometry.recordBytes)
                throw Doubt{"the file table's attribute list names a record past its end"};
            std::vector<std::byte> extension =
                ReadTableBytes(reader, geometry, extents, entry.record * geometry.recordBytes,
                               geometry.recordBytes);
            ntfs::NonResidentValue piece;
            if (!PrepareRecord(extension, entry.record) ||
                !ntfs::FindNonResident(extension, ntfs::kData, geometry.clusters, piece) ||
                piece.firstVcn != entry.firstVcn) {
                throw Doubt{"record " + std::to_string(entry.record) +
                            " does not hold the file table's extents it should"};
            }
            extents.insert(extents.end(), piece.extents.begin(), piece.extents.end());
        }
        std::sort(extents.begin(), extents.end(),
                  [](const Extent& a, const Extent& b) { return a.vcn < b.vcn; });
    }
    std::uint64_t vcn = 0;
    for (const Extent& extent : extents) {
        if (extent.vcn != vcn)
            throw Doubt{"the file table's extents leave a gap"};
        vcn += extent.clusters;
    }
    if (vcn < clustersNeeded)
        throw Doubt{"the file table is larger than its extents"};
    return extents;
}

}  // namespace

FileTableRead ReadFileTable(platform::RawVolume& volume, std::string_view markerName,
                            const std::function<bool(std::uint64_t)>& keepReading) {
    FileTableRead result;
    try {
        AlignedReader reader(volume);
        const Geometry geometry = ReadBootSector(reader);
        std::uint64_t tableBytes = 0;
        const std::vector<Extent> extents = TableExtents(reader, geometry, tableBytes);
        result.records = tableBytes / geometry.recordBytes;
        if (result.records > InstallationPlaces::kMostRecords)
            throw Doubt{"the file table holds more records than can be kept"};
        InstallationPlaces::Builder builder(result.records);

        ntfs::RecordFacts facts;
        std::vector<std::byte> straddling(geometry.recordBytes);
        std::size_t held = 0;  // bytes of a record cut by an extent's end
        std::uint64_t number = 0;
        const auto take = [&](std::span<std::byte> record) {
            if (PrepareRecord(record, number)) {
                ntfs::ParseRecord(record, markerName, facts);
                if (facts.state == ntfs::RecordState::Damaged)
                    throw Doubt{"record " + std::to_string(number) + " does not add up"};
                if (!builder.Add(number, facts))
                    throw Doubt{"record " + std::to_string(number) +
                                " names a record past the table's end"};
            }
            ++number;
        };
        const std::size_t block = std::max(
            {kBlockBytes, geometry.recordBytes, static_cast<std::size_t>(geometry.clusterBytes)});
        const std::uint64_t wanted = result.records * geometry.recordBytes;
        for (const Extent& extent : extents) {
            const std::uint64_t start = extent.vcn * geometry.clusterBytes;
            if (start >= wanted)
                break;
            const std::uint64_t end =
                std::min(wanted, start + extent.clusters * geometry.clusterBytes);
            for (std::uint64_t at = start; at < end;) {
                if (!keepReading(number))
                    throw Doubt{"stopped"};
                const auto length =
                    static_cast<std::size_t>(std::min<std::uint64_t>(block, end - at));
                std::span<std::byte> bytes =
                    reader.Fetch(extent.lcn * geometry.clusterBytes + (at - start), length);
                at += length;
                if (held > 0) {
                    const std::size_t part = std::min(bytes.size(), geometry.recordBytes - held);
                    std::memcpy(straddling.data() + held, bytes.data(), part);
                    held += part;
                    bytes = bytes.subspan(part);
                    if (held < geometry.recordBytes)
                        continue;
                    take(straddling);
                }
                while (bytes.size() >= geometry.recordBytes) {
                    take(bytes.first(geometry.recordBytes));
                    bytes = bytes.subspan(geometry.recordBytes);
                }
                std::memcpy(straddling.data(), bytes.data(), bytes.size());
                held = bytes.size();
            }
        }
        keepReading(number);
        result.places = builder.Finish(result.why);
    } catch (const Doubt& doubt) {
        result.places.reset();
        result.why = doubt.why;
    } catch (const std::bad_alloc&) {
        result.places.reset();
        result.why = "not enough memory for the file table";
    }
    return result;
}

}  // namespace engine
