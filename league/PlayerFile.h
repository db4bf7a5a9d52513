#pragma once

// Players from the player file: into the working database (the import), or
// in memory one record at a time, for reports that only read.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "league/ProgramState.h"
#include "league/RecordReader.h"
#include "league/Substitution.h"
#include "platform/Platform.h"

namespace tavrin {

// What the import of a league leaves for the save of the same run.
struct ImportedLeague {
    RecordKind kind = RecordKind::L02;
    std::filesystem::path file;        // the player file it was read from
    std::span<const std::uint8_t> memory;  // or its bytes in memory, where they were
    platform::FileInfo read;           // that file as it was read
    std::string fingerprint;           // of its bytes as read (Fingerprint.h)
    std::vector<std::uint8_t> header;  // the header record, exactly as read
    CodeTables tables;                 // built from its start value and step
    std::int64_t players = 0;          // rows added, one per whole record
    std::int64_t saveable = 0;         // of them, those in the lineup (counted by the import)
};

// Sees each record's plain bytes before they become a row, and may change
// its potentials: slot k is the k-th record after the header.
using RecordHook = std::function<void(std::int64_t slot, std::span<std::uint8_t> plain)>;

// Recreates the working database and loads every whole player record of the
// player file into Players, in file order (rowid k is slot k), advancing the
// progress window with "Loading League". A player file that cannot be read
// (RecordReader.h) is a Refusal raised before any file is created or changed.
ImportedLeague ImportLeague(const ProgramState& state, const std::filesystem::path& pyr, RecordKind kind,
                            const RecordHook& hook = {});
// The same from a player file's bytes in memory, named `pyr` in messages:
// the save reads them again from there (they must outlive the league).
ImportedLeague ImportLeague(const ProgramState& state, std::span<const std::uint8_t> bytes,
                            const std::filesystem::path& pyr, RecordKind kind, const RecordHook& hook = {});

// Decodes a player file in memory, record by record, without the working
// database: for reports that only read. `each` receives the slot and the
// plain record bytes (51 or 60 of them). Refuses the file as the import does.
ImportedLeague ReadPlayerFile(const std::filesystem::path& pyr, RecordKind kind,
                              const std::function<void(std::int64_t slot, std::span<const std::uint8_t> plain)>& each);
ImportedLeague ReadPlayerFile(std::span<const std::uint8_t> bytes, const std::filesystem::path& pyr, RecordKind kind,
                              const std::function<void(std::int64_t slot, std::span<const std::uint8_t> plain)>& each);

}  // namespace tavrin
