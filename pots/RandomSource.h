#pragma once

#include <cstdint>

namespace tavrin {

// Where Randomize Pots gets its draws: each call draws one single-precision
// value u with 0 <= u < 1.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual float Next() = 0;
};

// Reseeds from the high-resolution clock before every draw. Two draws within
// one clock tick still differ: the clock reading is mixed with a per-draw
// counter through a 64-bit finaliser, and u takes 24 bits of the result, so
// every float it yields is a whole multiple of 2^-24.
class ClockRandomSource final : public RandomSource {
public:
    float Next() override;

private:
    std::uint64_t counter_ = 0;
};

// Draws from a splitmix64 sequence started at a seed the user chose: the same
// seed always gives the same draws, so a league randomized with it comes out
// the same, byte for byte, on every run and machine. Like the clock source,
// every float it yields is a whole multiple of 2^-24.
class SeededRandomSource final : public RandomSource {
public:
    explicit SeededRandomSource(std::uint64_t seed) : state_(seed) {}
    float Next() override;

private:
    std::uint64_t state_;
};

}  // namespace tavrin
