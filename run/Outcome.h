#pragma once

// What a front end asks of the run core (Request) and what it is told back
// (Outcome): the two types every front end and every unit of the run share.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "run/Operations.h"
#include "run/PlayerChange.h"

namespace tavrin::run {

struct Request {
    Operation operation = Operation::Hide;
    // Hide: the chosen entry's limit; none when no entry is chosen.
    std::optional<std::int16_t> yearsLimit;
    std::filesystem::path league;  // the league file, *.lge
    // Restore: a kept saved-potentials file to restore from, instead of the
    // league's own .pot.
    std::filesystem::path restoreFrom;
    // Undo: the number of the run in the history whose files to bring back;
    // 0 for the last run.
    int undoTo = 0;
    // Everything is computed; no file of the league is written.
    bool dryRun = false;
    // Collect every changed player in the outcome.
    bool listChanges = false;
    // How many runs of this league the history keeps.
    int historyRuns = 20;
};

struct Outcome {
    enum class Kind {
        Done,         // the run did what it was asked (an L03 league: loaded)
        Refused,      // bad input or a file in use: nothing was changed
        Failed,       // it stopped part-way; the league's files are as they were
        NothingToDo,  // the league file's tag is not one Tavrin knows
    };
    Kind kind = Kind::Done;
    // Refused: Hide was asked for with no experience limit chosen.
    bool noYearsChosen = false;
    // Done: an L03 league, loaded and nothing more.
    bool loadedOnly = false;
    // Done: one line saying what was done. Refused: why. Failed: the reason,
    // naming the file. NothingToDo: what was found.
    std::string message;
    // Failed: what the run was doing, and whether that was the operation
    // itself (after the first change in the working database).
    std::string step;
    bool inOperation = false;
    // Done: the league's players, and those the operation changed.
    std::int64_t players = 0, changed = 0;
    std::vector<PlayerChange> changes;  // when asked for
    int historyRun = 0;                 // the run's number in the league's history
};

}  // namespace tavrin::run
