// This PC's secret key, with which the updater signs what it leaves in an
// installation (its journal), so that what it later finds there can be told
// from what anyone else could have written: 32 random bytes, made at first
// use, readable only by this PC's administrators and the system. The key is
// never logged.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/Sha256.h"

namespace platform {

using MachineKey = std::array<std::uint8_t, 32>;

// Whether a key is made where there is none yet: not by a run that promises
// to change nothing, for which no journal can be this PC's without one.
enum class KeyUse : bool { ReadOnly, ReadOrMake };

// HMAC-SHA-256 of `message` under `key`.
Sha256Digest HmacSha256(const MachineKey& key, std::string_view message);

// Whether `a` and `b` are equal, in a time that depends on their lengths
// alone: a keyed digest compared byte by byte, stopping at the first
// difference, tells whoever can time it how much of a guess was right.
bool EqualInConstantTime(std::string_view a, std::string_view b);

}  // namespace platform
