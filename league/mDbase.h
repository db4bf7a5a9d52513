#pragma once

// Moving players between the player file and the working database.

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "league/mEncrypt97.h"
#include "league/mGlobal.h"
#include "league/mGridexType.h"

namespace tavrin {
namespace db { class RowAppender; }
class PlayersColumns;

enum class RecordKind { L02, L03 };

constexpr std::size_t RecordLength(RecordKind kind) { return kind == RecordKind::L02 ? kRecordLenL02 : kRecordLenL03; }

// A file as it was seen: enough to tell that someone rewrote it since.
struct FileStamp {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified{};
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::filesystem::path& path);

// What the import of a league leaves for the save of the same run.
struct ImportedLeague {
    RecordKind kind = RecordKind::L02;
    std::vector<std::uint8_t> header;  // the header record, exactly as read
    CodeTables tables;                 // built from its start value and step
    std::int64_t players = 0;          // rows added, one per whole record
    std::int64_t saveable = 0;         // of them, those with Position below 15
    FileStamp stamp;                   // the player file as it was read
};

// Decodes one record with the file's tables and adds it as one Players row
// through rows, whose columns were found once in `columns`.
void DecodePlayerL02(const PlayerRecL02& record, const CodeTables& tables, db::RowAppender& rows,
                     const PlayersColumns& columns);
void DecodePlayerL03(const PlayerRecL03& record, const CodeTables& tables, db::RowAppender& rows,
                     const PlayersColumns& columns);

// Recreates the working database and loads every whole player record of the
// player file into Players, in file order, advancing the progress window with
// "Loading League". A missing player file, one that is not a regular file, or
// one shorter than its header record, is a Refusal raised before any file is
// created or changed.
ImportedLeague ImportLeagueL02(const ProgramState& state, const std::filesystem::path& sPyrPath);
ImportedLeague ImportLeagueL03(const ProgramState& state, const std::filesystem::path& sPyrPath);

// One player whose record the save changes: his slot, and the record's plain
// bytes before and after.
struct ChangedPlayer {
    std::int64_t slot = 0;
    PlayerRecL02 before{}, after{};
};

struct SaveOptions {
    // Everything is computed and compared; nothing is written.
    bool dryRun = false;
    // Where the player file being replaced is kept (the league's history).
    std::filesystem::path keepReplacedAs;
    // Told of each player whose record changes, in file order.
    std::function<void(const ChangedPlayer&)> onChanged;
};

struct SaveResult {
    std::int64_t written = 0;  // records written from rows
    std::int64_t changed = 0;  // of them, those whose bytes changed
};

// Writes the league back: the header as imported, then every Players row with
// Position below 15 re-encoded into the record slot it was read from (rowid k
// is slot k, at offset 51 × k); other slots and trailing bytes keep their
// bytes. All or nothing (ReplacingFile.h). The player file must still be as
// the import read it; one that changed since (the game saved it meanwhile) is
// refused and keeps its new contents.
SaveResult SaveLeagueL02(const ProgramState& state, const ImportedLeague& league,
                         const std::filesystem::path& sPyrPath, const SaveOptions& options = {});

// Replaces the file at sPotPath with a byte copy of the working database, all
// or nothing, keeping the file it replaces where asked.
void CopyWorkingDatabase(const ProgramState& state, const std::filesystem::path& sPotPath,
                         const std::filesystem::path& keepReplacedAs = {});

// Decodes a player file in memory, record by record, without the working
// database: for reports that only read. `each` receives the slot and the
// plain record bytes (51 or 60 of them). Refuses the file as the import does.
ImportedLeague ReadPlayerFile(const std::filesystem::path& sPyrPath, RecordKind kind,
                              const std::function<void(std::int64_t slot, std::span<const std::uint8_t> plain)>& each);

}  // namespace tavrin
