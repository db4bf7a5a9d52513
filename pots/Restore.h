#pragma once

// Restore Pots: the potentials of every player brought back from a
// saved-potentials file.

#include <filesystem>

#include "league/ProgramState.h"

namespace tavrin {

// Copies the eight potentials of every player of the working database back
// from the saved-potentials file `saved` (the league's .pot, or one kept in
// its history), matching players by (PID_a, PID_b), advancing the progress
// window with "Restoring Pots". A saved table that cannot be read is refused
// before any player changes; a player with no saved row ends it where he
// stands.
void RestorePots(const ProgramState& state, const std::filesystem::path& saved);

}  // namespace tavrin
