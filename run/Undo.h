#pragma once

// Undo: the league's player file and .pot brought back as they were before a
// run of its history, itself a run kept like any other, so that an undo can
// be undone.

#include <string>

#include "run/LeagueFiles.h"
#include "run/Outcome.h"

namespace tavrin::run {

// The player file and the .pot as they were before run Request::undoTo of the
// history (the last when 0). `step` follows what it is doing.
Outcome Undo(const Request& request, const LeagueFiles& files, std::string& step);

// An undo cut short between its two files (its player file in place, the
// .pot still the one it replaced) is finished: the .pot it brings back put
// in place, or the league's removed. Every run that writes does this first.
void FinishInterruptedUndo(const LeagueFiles& files);

}  // namespace tavrin::run
