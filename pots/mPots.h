#pragma once

// The three bulk changes to potential ratings. Each opens the working
// database by its path and closes it before it returns.

#include <cstdint>
#include <filesystem>

#include "league/mGlobal.h"
#include "pots/RandomSource.h"

namespace tavrin {

// Sets the eight potentials to 0 for every player with Years below the limit;
// returns how many players that is.
std::int64_t HidePots(const ProgramState& state, std::int16_t iYearsLimit);

// Randomize moves the potentials of the players below this many years.
inline constexpr std::int16_t kRandomizedBelowYears = 7;

// Draws new potentials for every player with Years below 7; returns how many
// players that is.
std::int64_t RandomizePots(const ProgramState& state, RandomSource& random);

// The spread R for a player's years and stored potential: the potential times
// the variation factor of those years, rounded half to even; 0 for years
// outside 0 to 6.
std::int16_t RandomSpread(std::int16_t iYears, std::uint8_t bPot);

// One new potential: bPot moved by a whole offset from -R to R, then raised
// to at least bAct + 1, then lowered to at most 99 (so 99 wins).
std::int16_t RandomPot(std::int16_t iYears, std::uint8_t bPot, std::uint8_t bAct, RandomSource& random);

// Copies the eight potentials of every player back from the saved-potentials
// database at `saved` (the league's sPotPath, or a copy kept in its history),
// matching players by (PID_a, PID_b), advancing the progress window with
// "Restoring Pots". A saved table that cannot be read is refused before any
// player changes; a player with no saved row ends it where he stands.
void RestorePots(const ProgramState& state, const std::filesystem::path& saved);
inline void RestorePots(const ProgramState& state) { RestorePots(state, state.sPotPath); }

}  // namespace tavrin
