// One record of an NTFS master file table, read from its bytes: what the
// search needs of it (whether it is in use, a folder, a reparse point, the
// record it extends, and each of its names with the folder that holds it).
//
// The bytes come from a disk that anyone with the disk in hand could have
// written: every offset and length is checked against the record before it
// is used, and anything that does not add up makes the record Damaged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "engine/filetable/NtfsLayout.h"

namespace engine::ntfs {

// Fix-ups protect each 512-byte stride of a record, whatever the sector size.
inline constexpr std::size_t kFixupStride = 512;
inline constexpr std::uint64_t kRootFolder = 5;

enum class RecordState : std::uint8_t { Free, InUse, Damaged };

// Checks the update sequence of a record and puts the bytes it stands for
// back at the end of each stride. False when the record is no multiple of
// the stride or a stride's last bytes do not carry the sequence number: a
// write cut short, or no record at all.
bool ApplyFixups(std::span<std::byte> record);

struct RecordName {
    std::uint64_t parent = 0;          // the record number of the folder that holds the name
    std::uint16_t parentSequence = 0;  // and that folder's sequence number
    std::uint32_t hash = 0;            // NameHash of the name
    std::uint8_t nameSpace = 0;        // 0 POSIX, 1 Win32, 2 DOS, 3 Win32 and DOS
    bool isMarker = false;             // the name is the marker's, in any letter case
    bool reparse = false;  // the name's copy of the file's attributes says reparse point
    static constexpr std::uint8_t kDos = 2;
};

struct RecordFacts {
    RecordState state = RecordState::Free;
    std::uint64_t base = 0;      // the base record this one extends; 0 for a base record
    std::uint16_t sequence = 0;  // the record's, which a reference to it must carry
    bool folder = false;
    bool reparse = false;
    std::vector<RecordName> names;  // every $FILE_NAME the record holds
};

// Reads a record whose fix-ups are applied. `markerName` is in capitals.
// `facts` is reused from record to record, so its names keep their memory.
void ParseRecord(std::span<const std::byte> record, std::string_view markerName,
                 RecordFacts& facts);

// A piece of a non-resident attribute's value: `clusters` clusters from
// cluster `lcn` of the volume hold those from `vcn` of the value.
struct Extent {
    std::uint64_t vcn = 0;
    std::uint64_t lcn = 0;
    std::uint64_t clusters = 0;
};

// What the table's own record (and its extensions) says of one attribute:
// where its value lies, for the table's $DATA and $BITMAP.
struct NonResidentValue {
    std::uint64_t firstVcn = 0;
    std::uint64_t lastVcn = 0;
    std::uint64_t size = 0;  // the value's size in bytes, given by the piece at VCN 0
    std::vector<Extent> extents;
};

// An entry of an $ATTRIBUTE_LIST: which record holds a piece of an attribute.
struct ListedAttribute {
    std::uint32_t type = 0;
    std::uint64_t firstVcn = 0;
    std::uint64_t record = 0;
};

inline constexpr std::uint32_t kAttributeList = 0x20;
inline constexpr std::uint32_t kFileName = 0x30;  // a name of the file and its folder
inline constexpr std::uint32_t kData = 0x80;
inline constexpr std::uint32_t kBitmap = 0xB0;

// The unnamed attribute `type` of a record, when it is non-resident: its run
// list decoded, every cluster within `clusterCount`. False when the record
// holds no such piece, or the piece does not add up.
bool FindNonResident(std::span<const std::byte> record, std::uint32_t type,
                     std::uint64_t clusterCount, NonResidentValue& value);

// The resident value of the unnamed attribute `type`, or an empty span.
std::span<const std::byte> FindResident(std::span<const std::byte> record, std::uint32_t type);

// The entries of an attribute list's value; false when it does not add up.
bool ParseAttributeList(std::span<const std::byte> value, std::vector<ListedAttribute>& entries);

// Decodes a run list that starts at `firstVcn`; false on a run past
// `clusterCount`, a sparse run, or bytes that do not add up.
bool DecodeRuns(std::span<const std::byte> runs, std::uint64_t firstVcn, std::uint64_t clusterCount,
                std::vector<Extent>& extents);

// A hash of a name in UTF-16 with ASCII letters in capitals, the only letters
// the search compares without case. The listing's names are hashed the same
// way from UTF-8 (NameHashUtf8); nullopt when that is not well-formed.
std::uint32_t NameHash(std::span<const std::byte> utf16le);
std::optional<std::uint32_t> NameHashUtf8(std::string_view name);

}  // namespace engine::ntfs
