#pragma once

// Hide Pots: the potentials of the young players set to 0.

#include <cstdint>

#include "league/ProgramState.h"

namespace tavrin {

// Sets the eight potentials to 0 for every player of the working database
// with Years below the limit; returns how many players that is.
std::int64_t HidePots(const ProgramState& state, std::int16_t yearsLimit);

}  // namespace tavrin
