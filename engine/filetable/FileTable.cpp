#include "engine/filetable/FileTable.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <span>
#include <stop_token>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "engine/filetable/FileRecord.h"
#include "engine/filetable/NtfsLayout.h"

namespace engine {
namespace {

using ntfs::Extent;
using ntfs::Read;

constexpr std::size_t kLargestCluster = std::size_t{2} << 20;
constexpr std::size_t kLargestRecord = std::size_t{64} << 10;
// A table in more pieces than this is no table a volume grew: a fragmented
// one on a full disk has thousands.
constexpr std::size_t kMostExtents = std::size_t{1} << 16;

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
    const std::span<const std::byte> bytes = reader.Fetch(0, ntfs::boot::kBytes);
    if (std::memcmp(bytes.data() + ntfs::boot::kOemId, "NTFS    ", 8) != 0)
        throw Doubt{"not NTFS"};
    const std::uint64_t sectorBytes = Read(bytes, ntfs::boot::kBytesPerSector);
    const std::uint64_t perCluster = Read(bytes, ntfs::boot::kSectorsPerCluster);
    Geometry geometry;
    // Above 0x80 the byte is a negative power of two, as on volumes with
    // clusters of 128 sectors or more.
    const std::uint64_t clusterSectors =
        perCluster <= 0x80 ? perCluster
                           : std::uint64_t{1} << std::min<std::uint64_t>(256 - perCluster, 32);
    if (clusterSectors > kLargestCluster)
        throw Doubt{"the boot sector does not add up"};
    geometry.clusterBytes = sectorBytes * clusterSectors;
    const std::uint64_t totalSectors = Read(bytes, ntfs::boot::kTotalSectors);
    const std::int8_t perRecord = Read(bytes, ntfs::boot::kClustersPerRecord);
    if (!IsPowerOfTwo(sectorBytes) || sectorBytes < 256 || sectorBytes > 4096 ||
        !IsPowerOfTwo(clusterSectors) || geometry.clusterBytes > kLargestCluster ||
        Read(bytes, ntfs::boot::kEndMarker) != ntfs::boot::kEndMarkerValue ||
        totalSectors > (UINT64_MAX / sectorBytes)) {
        throw Doubt{"the boot sector does not add up"};
    }
    geometry.clusters = totalSectors * sectorBytes / geometry.clusterBytes;
    geometry.tableCluster = Read(bytes, ntfs::boot::kTableCluster);
    std::uint64_t recordBytes = 0;
    if (perRecord > 0)
        recordBytes = static_cast<std::uint64_t>(perRecord) * geometry.clusterBytes;
    else if (perRecord >= -16 && perRecord <= -9)
        recordBytes = std::uint64_t{1} << static_cast<unsigned>(-perRecord);
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
        // The extents are in the order of their virtual clusters, one after
        // another.
        auto extent = std::upper_bound(extents.begin(), extents.end(), vcn,
                                       [](std::uint64_t v, const Extent& e) { return v < e.vcn; });
        if (extent != extents.begin())
            --extent;
        if (extent == extents.end() || vcn < extent->vcn || vcn - extent->vcn >= extent->clusters)
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
    if (std::memcmp(record.data() + ntfs::record::kMagic, "FILE", 4) != 0) {
        if (std::all_of(record.begin(), record.begin() + 4,
                        [](std::byte b) { return b == std::byte{0}; }))
            return false;
        throw Doubt{"record " + std::to_string(number) + " is damaged"};
    }
    if ((Read(record, ntfs::record::kFlags) & ntfs::record::kInUse) == 0)
        return false;
    if (!ntfs::ApplyFixups(record))
        throw Doubt{"the fix-ups of record " + std::to_string(number) + " do not match"};
    // Records written since Windows XP carry their own number: one that
    // differs means the extents lead somewhere else.
    if (Read(record, ntfs::record::kFixupOffset) >= ntfs::record::kHeaderBytes &&
        Read(record, ntfs::record::kNumber) != (number & 0xFFFF'FFFF))
        throw Doubt{"record " + std::to_string(number) + " says it is another"};
    return true;
}

// Where the table lies: the extents of its $DATA, from its own record and
// the extension records its attribute list names. Whatever the records say,
// the extents follow one another from the first virtual cluster, lie apart
// on the volume and add up to no more than it holds.
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
    // The multiplication cannot overflow: the boot sector's sectors times
    // their size were checked to.
    if (tableBytes / geometry.clusterBytes > geometry.clusters)
        throw Doubt{"the file table claims more bytes than the volume holds"};
    std::vector<Extent> extents = data.extents;
    std::uint64_t vcn = data.lastVcn + 1;
    const std::uint64_t clustersNeeded =
        (tableBytes + geometry.clusterBytes - 1) / geometry.clusterBytes;
    if (vcn < clustersNeeded) {
        // The rest of the run list stands in extension records.
        const std::span<const std::byte> list = ntfs::FindResident(first, ntfs::kAttributeList);
        std::vector<ntfs::ListedAttribute> entries;
        if (list.empty() || !ntfs::ParseAttributeList(list, entries))
            throw Doubt{"the file table's extents are not all in its own record"};
        std::erase_if(entries, [](const ntfs::ListedAttribute& entry) {
            return entry.type != ntfs::kData || entry.record == 0 || entry.firstVcn == 0;
        });
        std::sort(entries.begin(), entries.end(),
                  [](const ntfs::ListedAttribute& a, const ntfs::ListedAttribute& b) {
                      return a.firstVcn < b.firstVcn;
                  });
        if (std::adjacent_find(entries.begin(), entries.end(),
                               [](const ntfs::ListedAttribute& a, const ntfs::ListedAttribute& b) {
                                   return a.firstVcn == b.firstVcn;
                               }) != entries.end()) {
            throw Doubt{"the file table's attribute list names a piece twice"};
        }
        for (const ntfs::ListedAttribute& entry : entries) {
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
            if (piece.firstVcn != vcn)
                throw Doubt{"the file table's extents leave a gap"};
            vcn = piece.lastVcn + 1;
            if (extents.size() + piece.extents.size() > kMostExtents)
                throw Doubt{"the file table lies in more than " + std::to_string(kMostExtents) +
                            " pieces"};
            extents.insert(extents.end(), piece.extents.begin(), piece.extents.end());
        }
    }
    std::uint64_t clusters = 0;
    for (const Extent& extent : extents) {
        if (extent.vcn != clusters)
            throw Doubt{"the file table's extents leave a gap"};
        if (extent.clusters > geometry.clusters - clusters)
            throw Doubt{"the file table's extents add up to more clusters than the volume has"};
        clusters += extent.clusters;
    }
    if (clusters < clustersNeeded)
        throw Doubt{"the file table is larger than its extents"};
    std::vector<Extent> onDisk = extents;
    std::sort(onDisk.begin(), onDisk.end(),
              [](const Extent& a, const Extent& b) { return a.lcn < b.lcn; });
    for (std::size_t i = 1; i < onDisk.size(); ++i) {
        if (onDisk[i - 1].lcn + onDisk[i - 1].clusters > onDisk[i].lcn)
            throw Doubt{"the file table's extents overlap"};
    }
    return extents;
}

// Reads the blocks of a plan in its order on a thread of its own, into
// buffers of their own, up to kBuffers - 1 blocks ahead of the one being
// parsed. One read is in flight at a time, so the volume sees the reads as
// one sequential pass.
class BlocksAhead {
  public:
    BlocksAhead(platform::RawVolume& volume, const std::vector<TableRead>& plan) : plan_(plan) {
        readers_.reserve(kBuffers);
        for (std::size_t i = 0; i < kBuffers; ++i)
            readers_.emplace_back(volume);
        thread_ = std::jthread([this](std::stop_token stop) { ReadAll(stop); });
    }
    ~BlocksAhead() {
        thread_.request_stop();
        {
            const std::lock_guard lock(mutex_);
            released_ = plan_.size();  // whatever it waits for
        }
        changed_.notify_all();
    }
    BlocksAhead(const BlocksAhead&) = delete;
    BlocksAhead& operator=(const BlocksAhead&) = delete;

    // The bytes of block `i`, once read; the blocks before it are done with.
    std::span<std::byte> Take(std::size_t i) {
        std::unique_lock lock(mutex_);
        released_ = i;
        changed_.notify_all();
        changed_.wait(lock, [&] { return read_ > i || failed_; });
        if (read_ <= i)
            throw Doubt{*failed_};
        return blocks_[i % kBuffers];
    }

  private:
    static constexpr std::size_t kBuffers = 3;

    void ReadAll(const std::stop_token& stop) {
        for (std::size_t i = 0; i < plan_.size(); ++i) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock,
                              [&] { return i < released_ + kBuffers || stop.stop_requested(); });
                if (stop.stop_requested())
                    return;
            }
            std::span<std::byte> bytes;
            std::optional<std::string> failed;
            try {
                bytes = readers_[i % kBuffers].Fetch(plan_[i].offset, plan_[i].length);
            } catch (const Doubt& doubt) {
                failed = doubt.why;
            } catch (const std::bad_alloc&) {
                failed = "not enough memory for the file table";
            }
            const std::lock_guard lock(mutex_);
            if (failed) {
                failed_ = std::move(failed);
                changed_.notify_all();
                return;
            }
            blocks_[i % kBuffers] = bytes;
            read_ = i + 1;
            changed_.notify_all();
        }
    }

    const std::vector<TableRead>& plan_;
    std::vector<AlignedReader> readers_;
    std::span<std::byte> blocks_[kBuffers];
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t read_ = 0;      // blocks read
    std::size_t released_ = 0;  // the block being parsed; those before it are done with
    std::optional<std::string> failed_;
    std::jthread thread_;  // last: it uses all of the above
};

}  // namespace

std::vector<TableRead> PlanTableReads(const std::vector<Extent>& extents,
                                      std::uint64_t clusterBytes, std::uint64_t tableBytes,
                                      std::size_t blockBytes) {
    std::vector<TableRead> plan;
    for (const Extent& extent : extents) {
        const std::uint64_t start = extent.vcn * clusterBytes;
        if (start >= tableBytes)
            break;
        const std::uint64_t end = std::min(tableBytes, start + extent.clusters * clusterBytes);
        for (std::uint64_t at = start; at < end;) {
            const auto length =
                static_cast<std::size_t>(std::min<std::uint64_t>(blockBytes, end - at));
            plan.push_back({extent.lcn * clusterBytes + (at - start), length});
            at += length;
        }
    }
    return plan;
}

FileTableRead ReadFileTable(platform::RawVolume& volume, std::string_view markerName,
                            const std::function<bool(std::uint64_t)>& keepReading) {
    FileTableRead result;
    try {
        AlignedReader reader(volume);
        const Geometry geometry = ReadBootSector(reader);
        std::uint64_t tableBytes = 0;
        const std::vector<Extent> extents = TableExtents(reader, geometry, tableBytes);
        result.records = tableBytes / geometry.recordBytes;
        if (result.records > InstallationPlaces::kMostRecords ||
            result.records > InstallationPlaces::kMostBytes / InstallationPlaces::kBytesPerRecord) {
            throw Doubt{"the file table's " + std::to_string(result.records) +
                        " records need more memory than the search may take"};
        }
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
                switch (builder.Add(number, facts)) {
                    case InstallationPlaces::Builder::Added::Yes:
                        break;
                    case InstallationPlaces::Builder::Added::PastTheEnd:
                        throw Doubt{"record " + std::to_string(number) +
                                    " names a record past the table's end"};
                    case InstallationPlaces::Builder::Added::TooMany:
                        throw Doubt{
                            "the file table's folders need more memory than the search "
                            "may take"};
                }
            }
            ++number;
        };
        const std::size_t block = std::max({kTableBlockBytes, geometry.recordBytes,
                                            static_cast<std::size_t>(geometry.clusterBytes)});
        result.clusterBytes = geometry.clusterBytes;
        result.tableBytes = result.records * geometry.recordBytes;
        result.plan = PlanTableReads(extents, geometry.clusterBytes, result.tableBytes, block);

        // The next blocks are read while the last is parsed, so that the
        // disk is never idle waiting for the parser.
        BlocksAhead blocks(volume, result.plan);
        for (std::size_t i = 0; i < result.plan.size(); ++i) {
            if (!keepReading(number))
                throw Doubt{"stopped"};
            std::span<std::byte> bytes = blocks.Take(i);
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
        keepReading(number);
        result.places = builder.Finish(result.why);
    } catch (const Doubt& doubt) {
        result.places.reset();
        result.why = doubt.why;
    } catch (const std::bad_alloc&) {
        result.places.reset();
        result.why = "not enough memory for the file table";
    } catch (const std::system_error& failure) {
        // No thread to read ahead with.
        result.places.reset();
        result.why = std::string("the file table could not be read: ") + failure.what();
    }
    return result;
}

}  // namespace engine
