#pragma once

// The league written back: the header as imported, then each row of the
// working database in the lineup re-encoded into the record slot it was read
// from; every other byte as it was.

#include <cstdint>
#include <functional>
#include <string>

#include "league/PlayerFile.h"
#include "league/RecordLayout.h"

namespace tavrin {

// One player whose record the save reports: his slot, and the record's plain
// bytes in the file it replaces and in the new one.
struct SavedPlayer {
    std::int64_t slot{};
    PlayerRecL02 before{}, after{};
    bool changed = false;
};

struct SaveOptions {
    // Told of each player whose record changes, and of each player `report`
    // names although his record stays, in file order.
    std::function<void(const SavedPlayer&)> onPlayer;
    std::function<bool(std::int64_t slot)> report;
};

struct SaveResult {
    std::int64_t written = 0;  // records written from rows
    std::int64_t changed = 0;  // of them, those whose bytes changed
    std::string fingerprint;   // of the new file's bytes
};

// Writes the league back into `out` (nothing where it is null: a dry run):
// the header as imported, then every Players row in the lineup re-encoded
// into the record slot it was read from (rowid k is slot k, at offset 51 × k);
// other slots and trailing bytes keep their bytes. The player file must still
// be the one the import read; one that changed since (the game saved it
// meanwhile) is refused and keeps its new contents. Putting `out` in place is
// the caller's (run/Commit.h).
SaveResult SaveLeague(const ProgramState& state, const ImportedLeague& league, platform::File* out,
                      const SaveOptions& options = {});

}  // namespace tavrin
