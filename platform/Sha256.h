// SHA-256 from the system's own cryptography: BCrypt on Windows, OpenSSL's
// libcrypto elsewhere. Never a hand-written one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace platform {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
  public:
    // Throws std::runtime_error when the system offers no SHA-256.
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(std::span<const std::byte> bytes);
    // The digest of everything given; the object is spent afterwards.
    Sha256Digest Finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// The digest as 64 lower-case hex digits.
std::string ToHex(const Sha256Digest& digest);

}  // namespace platform
