#pragma once

// splitmix64 (Steele, Lea and Flood): a 64-bit state advanced by a constant,
// then mixed so that every bit of the input moves every bit of the output.
// Small, fast and well studied: the seeded draws of Randomize and the
// players of our league generator both come from it.

#include <cstdint>

namespace tavrin {

// The finaliser alone.
constexpr std::uint64_t Mix64(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// The step between two states.
inline constexpr std::uint64_t kGoldenGamma = 0x9E3779B97F4A7C15ULL;

class SplitMix64 {
public:
    explicit constexpr SplitMix64(std::uint64_t seed) : state_(seed) {}
    constexpr std::uint64_t Next() { return Mix64(state_ += kGoldenGamma); }

private:
    std::uint64_t state_;
};

}  // namespace tavrin
