// A tiny pseudo-random generator whose output is the same with every compiler
// and standard library, unlike the distributions of <random>: one seed always
// plants the same tree and picks the same moments.
#pragma once

#include <cstdint>

namespace bench {

class SplitMix64 {
  public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Uniform in [0, bound) for bound > 0, by multiply and shift; its bias of
    // at most bound / 2^32 does not matter for the shapes drawn here.
    std::uint32_t Below(std::uint32_t bound) {
        return static_cast<std::uint32_t>(((Next() >> 32) * bound) >> 32);
    }

    // Uniform in [0, 1), from the top 53 bits: exact in any IEEE double.
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

  private:
    std::uint64_t state_;
};

}  // namespace bench
