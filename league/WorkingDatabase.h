#pragma once

// Making the working database afresh: an empty file, then the Players table.

#include <filesystem>
#include <string_view>

#include "league/ProgramState.h"
#include "platform/Platform.h"

namespace tavrin {

// Deletes any file at path and creates an empty database in its place.
void CreateDatabaseFile(const std::filesystem::path& path);

// Adds the table table with the 39 Players columns to the database at path.
void CreatePlayersTable(const std::filesystem::path& path, std::string_view table);

// Appends a byte copy of the working database to `to`.
void CopyWorkingDatabase(const ProgramState& state, platform::File& to);

}  // namespace tavrin
