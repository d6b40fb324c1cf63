// libFuzzer over what a read of NTFS's change journal answers: the input
// parsed as one answer, and, cut into answers, read from a noted position
// to where the journal stands. The first 16 bytes give those two positions;
// after them, each answer is its two-byte length and its bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "engine/filetable/ChangeJournal.h"

namespace {

std::int64_t Int64At(std::span<const std::uint8_t> input, std::size_t at) {
    std::uint64_t value = 0;
    for (std::size_t i = 8; i-- > 0;)
        value = (value << 8) | input[at + i];
    return static_cast<std::int64_t>(value);
}

class AnsweringVolume final : public platform::RawVolume {
  public:
    AnsweringVolume(platform::JournalPosition now, std::span<const std::uint8_t> answers)
        : now_(now), answers_(answers) {}
    std::uint32_t SectorSize() const override { return 4096; }
    platform::Failure Read(std::uint64_t, std::span<std::byte>) override { return Done(); }
    platform::Failure Flush() override { return std::nullopt; }
    platform::Result<std::optional<platform::JournalPosition>> JournalNow() override {
        return std::optional<platform::JournalPosition>(now_);
    }
    platform::Result<std::size_t> ReadJournal(const platform::JournalPosition&, std::uint32_t,
                                              std::span<std::byte> buffer) override {
        if (answers_.size() < 2)
            return Done();
        const std::size_t length =
            std::min<std::size_t>({std::size_t{answers_[0]} | std::size_t{answers_[1]} << 8,
                                   answers_.size() - 2, buffer.size()});
        std::memcpy(buffer.data(), answers_.data() + 2, length);
        answers_ = answers_.subspan(2 + length);
        return length;
    }

  private:
    static platform::FileError Done() {
        return platform::FileError{platform::FileError::Kind::Other, "no more answers"};
    }
    platform::JournalPosition now_;
    std::span<const std::uint8_t> answers_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    (void)engine::ParseJournalAnswer(std::as_bytes(input));
    if (size < 16)
        return 0;
    const platform::JournalPosition from{1, Int64At(input, 0), 0};
    AnsweringVolume volume({1, Int64At(input, 8), 0}, input.subspan(16));
    std::size_t changes = 0;
    (void)engine::ReadChangesSince(
        volume, from, [&](const platform::VolumeChange&) { return ++changes < 100'000; });
    return 0;
}
