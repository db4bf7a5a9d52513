#pragma once

// The save of a league put in place on its own, as the tests, the fuzz
// targets and the benchmark need it (a run puts its new files in place
// together, with the history: run/Commit.h).

#include "league/LeagueSave.h"

namespace tavrin {

// SaveLeague into a new file beside the player file, flushed, given the old
// one's owner and permissions and renamed over it.
SaveResult SaveLeagueInPlace(const ProgramState& state, const ImportedLeague& league, const SaveOptions& options = {});

}  // namespace tavrin
