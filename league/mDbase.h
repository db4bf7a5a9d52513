#pragma once

// Moving players between the player file and the working database.

#include <filesystem>
#include <string>

#include "mGlobal.h"

namespace tavrin {
namespace db { class Recordset; }

// Decodes the current record buffer (state.playerL02 / state.playerL03) with
// state.tables and adds it as one Players row through rs.
void DecodePlayerL02(const ProgramState& state, db::Recordset& rs);
void DecodePlayerL03(const ProgramState& state, db::Recordset& rs);

// Recreates the working database and loads every whole player record of the
// player file into Players, in file order, advancing the progress window with
// "Loading League". A missing player file, or one shorter than its header
// record, is a Refusal raised before any file is created or changed.
void ImportLeagueL02(ProgramState& state, const std::filesystem::path& sPyrPath);
void ImportLeagueL03(ProgramState& state, const std::filesystem::path& sPyrPath);

// Writes the league back: the header as imported, then every Players row with
// Position below 15 re-encoded into the record slot it was read from (rowid k
// is slot k, at offset 51 × k); other slots and trailing bytes keep their
// bytes. All or nothing: the new file is written beside the old one and
// renamed over it, so a failure leaves the old file as it was.
void SaveLeagueL02(ProgramState& state, const std::filesystem::path& sPyrPath);

// Appends NUL characters to a name until it is 13 characters long; a longer
// name comes back unchanged.
std::u32string PadName(std::u32string name);

// Replaces the file at sPotPath with a byte copy of the working database, all
// or nothing.
void CopyWorkingDatabase(const ProgramState& state, const std::filesystem::path& sPotPath);

}  // namespace tavrin
