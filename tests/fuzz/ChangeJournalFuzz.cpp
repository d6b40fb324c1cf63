// libFuzzer over what a read of NTFS's change journal answers: the input
// parsed as one answer, and, cut into answers, read from a noted position
// to where the journal stands. The first 16 bytes give those two positions;
// after them, each answer is its two-byte length and its bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/filetable/ChangeJournal.h"
#include "tests/filetable/JournalAnswer.h"

namespace {

std::int64_t Int64At(std::span<const std::uint8_t> input, std::size_t at) {
    std::uint64_t value = 0;
    for (std::size_t i = 8; i-- > 0;)
        value = (value << 8) | input[at + i];
    return static_cast<std::int64_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> input(data, size);
    (void)engine::ParseJournalAnswer(std::as_bytes(input));
    if (size < 16)
        return 0;
    const platform::JournalPosition from{1, Int64At(input, 0), 0};
    const platform::JournalPosition now{1, Int64At(input, 8), 0};
    std::vector<std::vector<std::byte>> answers;
    for (input = input.subspan(16); input.size() >= 2;) {
        const std::size_t length =
            std::min(input.size() - 2, std::size_t{input[0]} | std::size_t{input[1]} << 8);
        const auto bytes = std::as_bytes(input.subspan(2, length));
        answers.emplace_back(bytes.begin(), bytes.end());
        input = input.subspan(2 + length);
    }
    testing_ntfs::AnsweringVolume volume(now, std::move(answers));
    std::size_t changes = 0;
    (void)engine::ReadChangesSince(
        volume, from, [&](const platform::VolumeChange&) { return ++changes < 100'000; });
    return 0;
}
