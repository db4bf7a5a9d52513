#pragma once

// Moving players between the player file and the working database.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "league/Substitution.h"
#include "league/ProgramState.h"
#include "league/RecordLayout.h"

namespace tavrin {

enum class RecordKind { L02, L03 };

constexpr std::size_t RecordLength(RecordKind kind) { return kind == RecordKind::L02 ? kRecordLenL02 : kRecordLenL03; }

// What the import of a league leaves for the save of the same run.
struct ImportedLeague {
    RecordKind kind = RecordKind::L02;
    std::filesystem::path file;        // the player file it was read from
    platform::FileInfo read;           // that file as it was read
    std::string fingerprint;           // of its bytes as read (Fingerprint.h)
    std::vector<std::uint8_t> header;  // the header record, exactly as read
    CodeTables tables;                 // built from its start value and step
    std::int64_t players = 0;          // rows added, one per whole record
    std::int64_t saveable = 0;         // of them, those with Position below 15 (counted by the import)
};

// Sees each record's plain bytes before they become a row, and may change
// its potentials: slot k is the k-th record after the header.
using RecordHook = std::function<void(std::int64_t slot, std::span<std::uint8_t> plain)>;

// Recreates the working database and loads every whole player record of the
// player file into Players, in file order, advancing the progress window with
// "Loading League". A missing player file, one that is not a regular file, or
// one shorter than its header record, is a Refusal raised before any file is
// created or changed.
ImportedLeague ImportLeague(const ProgramState& state, const std::filesystem::path& pyr, RecordKind kind,
                            const RecordHook& hook = {});
inline ImportedLeague ImportLeagueL02(const ProgramState& state, const std::filesystem::path& pyr) {
    return ImportLeague(state, pyr, RecordKind::L02);
}
inline ImportedLeague ImportLeagueL03(const ProgramState& state, const std::filesystem::path& pyr) {
    return ImportLeague(state, pyr, RecordKind::L03);
}

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
// the header as imported, then every Players row with Position below 15
// re-encoded into the record slot it was read from (rowid k is slot k, at
// offset 51 × k); other slots and trailing bytes keep their bytes. The player
// file must still be the one the import read; one that changed since (the
// game saved it meanwhile) is refused and keeps its new contents. Putting
// `out` in place is the caller's.
SaveResult SaveLeague(const ProgramState& state, const ImportedLeague& league, platform::File* out,
                         const SaveOptions& options = {});

// The same, put in place on its own: a new file beside the player file,
// flushed, given the old one's owner and permissions and renamed over it.
// (A run puts it in place together with the new .pot, and keeps the old one:
// run/Commit.h.)
SaveResult SaveLeagueInPlace(const ProgramState& state, const ImportedLeague& league, const SaveOptions& options = {});

// Appends a byte copy of the working database to `to`.
void CopyWorkingDatabase(const ProgramState& state, platform::File& to);

// Decodes a player file in memory, record by record, without the working
// database: for reports that only read. `each` receives the slot and the
// plain record bytes (51 or 60 of them). Refuses the file as the import does.
ImportedLeague ReadPlayerFile(const std::filesystem::path& pyr, RecordKind kind,
                              const std::function<void(std::int64_t slot, std::span<const std::uint8_t> plain)>& each);

// The message of a player file that changed since the import read it.
[[noreturn]] void RefuseChangedSinceLoaded(const std::filesystem::path& pyr);

}  // namespace tavrin
