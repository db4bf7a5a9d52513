#pragma once

// The working database: made afresh with its Players table by every import,
// opened by every step, and copied into the new .pot.

#include <filesystem>
#include <memory>
#include <string_view>

#include "db/Database.h"
#include "league/ProgramState.h"
#include "platform/Platform.h"

namespace tavrin {

// The working database made afresh: any file there deleted, an empty
// database in its place with an empty Players table of the 39 columns,
// returned open for the rows (nothing is committed before its Close()).
[[nodiscard]] std::unique_ptr<db::Database> CreateWorkingDatabase(const ProgramState& state);

// The working database opened for a step.
std::unique_ptr<db::Database> OpenWorkingDatabase(const ProgramState& state,
                                                  db::Database::Mode mode = db::Database::Mode::Scratch);

// Appends a byte copy of the working database to `to`.
void CopyWorkingDatabase(const ProgramState& state, platform::File& to);

}  // namespace tavrin
