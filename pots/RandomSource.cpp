#include "pots/RandomSource.h"

#include <chrono>

#include "base/SplitMix64.h"

namespace tavrin {

namespace {

// The top 24 bits, as a multiple of 2^-24: exactly representable, below 1.
float UnitFloat(std::uint64_t bits) { return static_cast<float>(bits >> 40) * 0x1.0p-24f; }

}  // namespace

float ClockRandomSource::Next() {
    // Reseed from the clock for this draw. The counter keeps two draws within
    // one clock tick apart; mixing it separately keeps (tick, counter) pairs
    // from colliding by simple addition.
    const auto tick = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const std::uint64_t seed = Mix64(tick ^ Mix64(++counter_ + kGoldenGamma));
    return UnitFloat(seed);
}

float SeededRandomSource::Next() {
    state_ += kGoldenGamma;
    return UnitFloat(Mix64(state_));
}

}  // namespace tavrin
