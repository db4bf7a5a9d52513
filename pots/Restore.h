#pragma once

// Restore Pots: the true potentials put back where the player file still
// holds what Tavrin wrote in their place.

#include <cstdint>
#include <optional>
#include <vector>

#include "league/ProgramState.h"
#include "pots/SavedPotentials.h"

namespace tavrin {

// Sets the potentials of each player of the working database that has a
// target (slot k at k - 1; TruthFirst::Targets()) and leaves the others as
// they are, advancing the progress window with "Restoring Pots" for every
// player. Returns how many players it set.
std::int64_t RestorePots(const ProgramState& state, const RestoreTargets& targets);

}  // namespace tavrin
