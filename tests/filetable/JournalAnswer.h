// Answers of NTFS's change journal made for tests, laid out byte by byte as
// NTFS gives them (the offsets written out here, not taken from the reader's
// layout, so that a wrong offset there shows), to be damaged at will; and a
// journal that gives them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "platform/RawVolume.h"

namespace testing_ntfs {

inline void PutLittle(std::vector<std::byte>& bytes, std::size_t at, std::uint64_t value,
                      std::size_t width) {
    for (std::size_t i = 0; i < width; ++i)
        bytes[at + i] = std::byte(value >> (8 * i));
}

// Each record is named "SKM300.EXE": 0x3C bytes of header, 20 of name, and
// padding to 0x50.
inline constexpr std::size_t kCraftedRecordBytes = 0x50;
struct CraftedRecord {
    std::int64_t usn = 0;
    platform::VolumeChange change;
};

inline std::vector<std::byte> JournalAnswerOf(std::int64_t next,
                                              const std::vector<CraftedRecord>& records) {
    std::vector<std::byte> bytes(8);
    PutLittle(bytes, 0, static_cast<std::uint64_t>(next), 8);
    for (const auto& [usn, change] : records) {
        const std::size_t at = bytes.size();
        bytes.resize(at + kCraftedRecordBytes);
        const auto put = [&](std::size_t offset, std::uint64_t value, std::size_t width) {
            PutLittle(bytes, at + offset, value, width);
        };
        put(0x00, kCraftedRecordBytes, 4);
        put(0x04, 2, 2);  // version 2.0
        put(0x08, change.file.record | std::uint64_t{change.file.sequence} << 48, 8);
        put(0x10, change.folder.record | std::uint64_t{change.folder.sequence} << 48, 8);
        put(0x18, static_cast<std::uint64_t>(usn), 8);
        put(0x28, change.reasons, 4);
        put(0x34, change.isFolder ? 0x10 : 0x20, 4);
        put(0x38, 20, 2);
        put(0x3A, 0x3C, 2);
        for (std::size_t i = 0; i < 10; ++i)
            put(0x3C + 2 * i, static_cast<unsigned char>("SKM300.EXE"[i]), 2);
    }
    return bytes;
}

// A journal that stands at `now` and gives `answers` in turn, each to be
// asked from where the one before said the next read starts.
class AnsweringVolume final : public platform::RawVolume {
  public:
    AnsweringVolume(std::optional<platform::JournalPosition> now,
                    std::vector<std::vector<std::byte>> answers)
        : now_(now), answers_(std::move(answers)) {}
    std::uint32_t SectorSize() const override { return 4096; }
    platform::Failure Read(std::uint64_t, std::span<std::byte>) override { return Refused(); }
    platform::Failure Flush() override { return std::nullopt; }
    platform::Result<std::optional<platform::JournalPosition>> JournalNow() override {
        return now_;
    }
    platform::Result<std::size_t> ReadJournal(const platform::JournalPosition& from, std::uint32_t,
                                              std::span<std::byte> buffer) override {
        if (given_ == answers_.size() || answers_[given_].size() > buffer.size() ||
            (next_ && from.next != *next_))
            return Refused();
        const std::vector<std::byte>& answer = answers_[given_++];
        std::copy(answer.begin(), answer.end(), buffer.begin());
        if (answer.size() >= 8)
            std::memcpy(&next_.emplace(), answer.data(), 8);
        return answer.size();
    }

  private:
    static platform::FileError Refused() {
        return platform::FileError{platform::FileError::Kind::Other, "asked amiss"};
    }
    std::optional<platform::JournalPosition> now_;
    std::vector<std::vector<std::byte>> answers_;
    std::size_t given_ = 0;
    std::optional<std::int64_t> next_;
};

}  // namespace testing_ntfs
