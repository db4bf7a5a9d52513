#pragma once

// Making the working database afresh: an empty file, then the Players table.

#include <filesystem>
#include <string_view>

namespace tavrin {

// Deletes any file at sPath and creates an empty database in its place.
// (The original store offered an "encrypted" option for this file; SQLite
// has none and the working database needs none, so there is nothing to set.)
void CreateDatabaseFile(const std::filesystem::path& sPath);

// Adds the table sTable with the 39 Players columns to the database at sPath.
void CreatePlayersTable(const std::filesystem::path& sPath, std::string_view sTable);

}  // namespace tavrin
