#pragma once

// One run, from a league chosen to its files saved, without a window: the
// main window and the command line both build a Request, call RunLeague and
// show its Outcome.
//
// A run on an "L02:" league: check the request and the league's files (a
// refusal changes nothing), take the locks, load the players into the
// working database, starting from their true potentials, run the operation,
// and put the new player file and the new .pot in place together (Commit.h).
// Nothing the run replaces is thrown away: the history keeps it. An "L03:"
// league is only loaded; any other tag is not a league Tavrin knows.

#include <optional>
#include <string>

#include "league/ProgramState.h"
#include "pots/RandomSource.h"
#include "run/Outcome.h"

namespace tavrin::run {

// What keeps the request from running at all, before a league is chosen or
// read: Hide with no experience limit chosen ("Select Years"). Nothing where
// it can run. RunLeague asks it first; a front end may ask before it opens
// its file dialog.
std::optional<std::string> ProblemWithRequest(const Request& request);

// Runs the request to its end, in the working folder `state` names; the
// progress window there shows the long steps.
Outcome RunLeague(const Request& request, const ProgramState& state, RandomSource& random);

}  // namespace tavrin::run
