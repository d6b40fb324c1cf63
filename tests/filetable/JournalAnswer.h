// Answers of NTFS's change journal made for tests, laid out byte by byte as
// NTFS gives them (the offsets written out here, not taken from the reader's
// layout, so that a wrong offset there shows), to be damaged at will.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/RawVolume.h"

namespace testing_ntfs {

struct CraftedRecord {
    std::int64_t usn = 0;
    platform::VolumeChange change;
};

inline void PutLittle(std::vector<std::byte>& bytes, std::size_t at, std::uint64_t value,
                      std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        bytes[at + i] = std::byte(value >> (8 * i));
}

inline std::uint64_t ReferenceBits(const platform::FileReference& reference) {
    return reference.record | (std::uint64_t{reference.sequence} << 48);
}

// Each record is named "SKM300.EXE": 0x3C bytes of header, 20 of name, and
// padding to 0x50.
inline constexpr std::size_t kCraftedRecordBytes = 0x50;

inline std::vector<std::byte> JournalAnswerOf(std::int64_t next,
                                              const std::vector<CraftedRecord>& records) {
    std::vector<std::byte> bytes(8);
    PutLittle(bytes, 0, static_cast<std::uint64_t>(next), 8);
    for (const CraftedRecord& record : records) {
        const std::size_t at = bytes.size();
        bytes.resize(at + kCraftedRecordBytes);
        PutLittle(bytes, at + 0x00, kCraftedRecordBytes, 4);
        PutLittle(bytes, at + 0x04, 2, 2);  // version 2.0
        PutLittle(bytes, at + 0x08, ReferenceBits(record.change.file), 8);
        PutLittle(bytes, at + 0x10, ReferenceBits(record.change.folder), 8);
        PutLittle(bytes, at + 0x18, static_cast<std::uint64_t>(record.usn), 8);
        PutLittle(bytes, at + 0x28, record.change.reasons, 4);
        PutLittle(bytes, at + 0x34, record.change.isFolder ? 0x10 : 0x20, 4);
        PutLittle(bytes, at + 0x38, 20, 2);
        PutLittle(bytes, at + 0x3A, 0x3C, 2);
        const char name[] = "SKM300.EXE";
        for (std::size_t i = 0; i < 10; ++i)
            PutLittle(bytes, at + 0x3C + 2 * i, static_cast<unsigned char>(name[i]), 2);
    }
    return bytes;
}

}  // namespace testing_ntfs
