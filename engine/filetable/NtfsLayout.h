// NTFS's on-disk structures as the file table's reader meets them: each
// field by name, with its offset within its structure and its width, and one
// reader for the little-endian values they hold. The parser reads names; the
// offsets stand here once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace engine::ntfs {

// A little-endian value of type T at `offset` of its structure.
template <typename T>
struct Field {
    std::size_t offset;
};

// `width` bytes from `at`, little-endian, at an offset the caller has checked;
// run lists give their values in any width from one to eight bytes.
inline std::uint64_t ReadLittle(std::span<const std::byte> bytes, std::size_t at,
                                std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = width; i-- > 0;)
        value = (value << 8) | std::to_integer<std::uint64_t>(bytes[at + i]);
    return value;
}

// The field `field` of the structure that starts at `base` of `bytes`.
template <typename T>
T Read(std::span<const std::byte> bytes, std::size_t base, Field<T> field) {
    return static_cast<T>(ReadLittle(bytes, base + field.offset, sizeof(T)));
}
template <typename T>
T Read(std::span<const std::byte> bytes, Field<T> field) {
    return Read(bytes, 0, field);
}

// The boot sector, the volume's first 512 bytes.
namespace boot {
inline constexpr std::size_t kOemId = 0x03;  // "NTFS    ", eight bytes
inline constexpr Field<std::uint16_t> kBytesPerSector{0x0B};
inline constexpr Field<std::uint8_t> kSectorsPerCluster{0x0D};  // above 0x80: 2^(256 - n)
inline constexpr Field<std::uint64_t> kTotalSectors{0x28};
inline constexpr Field<std::uint64_t> kTableCluster{0x30};     // the cluster of record 0
inline constexpr Field<std::int8_t> kClustersPerRecord{0x40};  // negative: 2^-n bytes
inline constexpr Field<std::uint16_t> kEndMarker{0x1FE};       // 0xAA55
inline constexpr std::uint16_t kEndMarkerValue = 0xAA55;
inline constexpr std::size_t kBytes = 512;
}  // namespace boot

// The header of a record of the file table ("FILE").
namespace record {
inline constexpr std::size_t kMagic = 0x00;                // "FILE", four bytes
inline constexpr Field<std::uint16_t> kFixupOffset{0x04};  // the update sequence array
inline constexpr Field<std::uint16_t> kFixupCount{0x06};   // its entries, the number first
inline constexpr Field<std::uint16_t> kSequence{0x10};     // bumped each time the record is reused
inline constexpr Field<std::uint16_t> kFirstAttribute{0x14};
inline constexpr Field<std::uint16_t> kFlags{0x16};  // kInUse, kDirectory
inline constexpr Field<std::uint32_t> kUsedBytes{0x18};
inline constexpr Field<std::uint64_t> kBase{0x20};    // the base record's reference; 0 in a base
inline constexpr Field<std::uint32_t> kNumber{0x2C};  // its own number, since Windows XP
inline constexpr std::size_t kHeaderBytes = 0x30;
inline constexpr std::size_t kFixupOffsetLeast = 0x28;  // where records before XP put the array
inline constexpr std::uint16_t kInUse = 0x1;
inline constexpr std::uint16_t kDirectory = 0x2;
}  // namespace record

// The header every attribute of a record starts with, then the part that
// differs between a resident attribute and a non-resident one.
namespace attribute {
inline constexpr Field<std::uint32_t> kType{0x00};  // 0xFFFFFFFF ends the record's attributes
inline constexpr Field<std::uint32_t> kLength{0x04};
inline constexpr Field<std::uint8_t> kNonResident{0x08};
inline constexpr Field<std::uint8_t> kNameLength{0x09};  // 0 for the unnamed attribute
inline constexpr std::size_t kCommonBytes = 0x10;
// Resident: the value within the record.
inline constexpr Field<std::uint32_t> kValueLength{0x10};
inline constexpr Field<std::uint16_t> kValueOffset{0x14};
inline constexpr std::size_t kResidentBytes = 0x18;
// Non-resident: the value in clusters that a run list names.
inline constexpr Field<std::uint64_t> kFirstVcn{0x10};
inline constexpr Field<std::uint64_t> kLastVcn{0x18};
inline constexpr Field<std::uint16_t> kRunsOffset{0x20};
inline constexpr Field<std::uint64_t> kDataSize{0x30};  // given by the piece at VCN 0
inline constexpr std::size_t kNonResidentBytes = 0x40;
inline constexpr std::uint32_t kEnd = 0xFFFFFFFF;
}  // namespace attribute

// The value of $STANDARD_INFORMATION (type 0x10).
namespace standard_information {
inline constexpr Field<std::uint32_t> kFileAttributes{0x20};  // FILE_ATTRIBUTE_*
inline constexpr std::size_t kBytes = 0x24;
}  // namespace standard_information

// The value of $FILE_NAME (type 0x30): one name of the file and its folder.
namespace file_name {
inline constexpr Field<std::uint64_t> kParent{0x00};          // the folder's reference
inline constexpr Field<std::uint32_t> kFileAttributes{0x38};  // as at the name's last change
inline constexpr Field<std::uint8_t> kNameLength{0x40};       // in UTF-16 units
inline constexpr Field<std::uint8_t> kNameSpace{0x41};
inline constexpr std::size_t kName = 0x42;  // UTF-16LE
}  // namespace file_name

// One entry of an $ATTRIBUTE_LIST's value (type 0x20): where a piece of an
// attribute of a file with more than one record stands.
namespace attribute_list {
inline constexpr Field<std::uint32_t> kType{0x00};
inline constexpr Field<std::uint16_t> kLength{0x04};
inline constexpr Field<std::uint64_t> kFirstVcn{0x08};
inline constexpr Field<std::uint64_t> kRecord{0x10};  // the reference of the record holding it
inline constexpr std::size_t kEntryBytes = 0x1A;
}  // namespace attribute_list

// What a read of the change journal ($UsnJrnl) answers (FSCTL_READ_USN_JOURNAL):
// the number the next read starts at, then records of version 2
// (USN_RECORD_V2), each at a multiple of eight bytes from the answer's start.
namespace journal_answer {
inline constexpr Field<std::int64_t> kNext{0x00};
inline constexpr std::size_t kFirstRecord = 0x08;
}  // namespace journal_answer

// One record of the change journal.
namespace journal_record {
inline constexpr Field<std::uint32_t> kLength{0x00};  // the whole record's, name and padding
inline constexpr Field<std::uint16_t> kMajorVersion{0x04};
inline constexpr Field<std::uint16_t> kMinorVersion{0x06};
inline constexpr Field<std::uint64_t> kFile{0x08};    // the file's reference
inline constexpr Field<std::uint64_t> kParent{0x10};  // its folder's reference
inline constexpr Field<std::int64_t> kUsn{0x18};      // the record's own number, rising
inline constexpr Field<std::int64_t> kTimeStamp{0x20};
inline constexpr Field<std::uint32_t> kReason{0x28};  // USN_REASON_*
inline constexpr Field<std::uint32_t> kSourceInfo{0x2C};
inline constexpr Field<std::uint32_t> kSecurityId{0x30};
inline constexpr Field<std::uint32_t> kFileAttributes{0x34};  // FILE_ATTRIBUTE_*
inline constexpr Field<std::uint16_t> kNameLength{0x38};      // in bytes
inline constexpr Field<std::uint16_t> kNameOffset{0x3A};      // from the record's start
inline constexpr std::size_t kHeaderBytes = 0x3C;             // the name, UTF-16LE, follows
inline constexpr std::size_t kAlignment = 8;
inline constexpr std::uint16_t kVersion = 2;
inline constexpr std::uint32_t kDirectory = 0x10;  // FILE_ATTRIBUTE_DIRECTORY
}  // namespace journal_record

// Of a file reference: the record number in the low 48 bits, its sequence
// number in the high 16.
inline constexpr std::uint64_t kRecordMask = 0x0000'FFFF'FFFF'FFFF;
inline constexpr unsigned kSequenceShift = 48;

}  // namespace engine::ntfs
