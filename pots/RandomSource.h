#pragma once

#include <cstdint>

namespace tavrin {

// Where Randomize Pots gets its draws: each call reseeds and then draws one
// single-precision value u with 0 <= u < 1.
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

}  // namespace tavrin
