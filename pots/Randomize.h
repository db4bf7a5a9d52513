#pragma once

// Randomize Pots: each potential of the young players moved by a random
// amount that shrinks with experience.

#include <cstdint>

#include "league/ProgramState.h"
#include "pots/RandomSource.h"

namespace tavrin {

// Randomize moves the potentials of the players below this many years.
inline constexpr std::int16_t kRandomizedBelowYears = 7;

// Draws new potentials for every player of the working database with Years
// below kRandomizedBelowYears, one draw per attribute in Tavrin's order;
// returns how many players that is.
std::int64_t RandomizePots(const ProgramState& state, RandomSource& random);

// The spread R for a player's years and potential: the potential times the
// variation factor of those years, rounded half to even; 0 for years outside
// 0 to 6.
std::int16_t RandomSpread(std::int16_t years, std::uint8_t pot);

// One new potential: `pot` moved by a whole offset from -R to R, then raised
// to at least `act` + 1, then lowered to at most 99 (so 99 wins).
std::int16_t RandomPot(std::int16_t years, std::uint8_t pot, std::uint8_t act, RandomSource& random);

}  // namespace tavrin
