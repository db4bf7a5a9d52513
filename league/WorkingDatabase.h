#pragma once

// Making the working database afresh: an empty file, then the Players table.

#include <filesystem>
#include <string_view>

namespace tavrin {

// Deletes any file at path and creates an empty database in its place.
// (The original store offered an "encrypted" option for this file; SQLite
// has none and the working database needs none, so there is nothing to set.)
void CreateDatabaseFile(const std::filesystem::path& path);

// Adds the table table with the 39 Players columns to the database at path.
void CreatePlayersTable(const std::filesystem::path& path, std::string_view table);

}  // namespace tavrin
