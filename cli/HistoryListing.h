#pragma once

// `tavrin history`: the runs a league's history keeps, one line each, oldest
// first (the last is the run undo brings back the files from before); with
// --verbose each run's changed players under it.

#include <filesystem>

namespace tavrin::cli {

// Lists the history of the league file; the command's exit status.
int ListHistory(const std::filesystem::path& league, bool verbose);

}  // namespace tavrin::cli
