#include "platform/MachineKey.h"

namespace platform {

Sha256Digest HmacSha256(const MachineKey& key, std::string_view message) {
    constexpr std::size_t kBlock = 64;
    std::array<std::byte, kBlock> inner{}, outer{};
    for (std::size_t i = 0; i < kBlock; ++i) {
        const std::uint8_t k = i < key.size() ? key[i] : 0;
        inner[i] = std::byte(k ^ 0x36);
        outer[i] = std::byte(k ^ 0x5c);
    }
    Sha256 first;
    first.Update(inner);
    first.Update(std::as_bytes(std::span(message.data(), message.size())));
    const Sha256Digest innerDigest = first.Finish();
    Sha256 second;
    second.Update(outer);
    second.Update(std::as_bytes(std::span(innerDigest)));
    return second.Finish();
}

bool EqualInConstantTime(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    unsigned char differ = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        differ = static_cast<unsigned char>(differ | (a[i] ^ b[i]));
    // Read through a volatile, so that the loop is not turned into one that
    // ends at the first difference.
    volatile unsigned char result = differ;
    return result == 0;
}

}  // namespace platform
