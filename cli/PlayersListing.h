#pragma once

// What `tavrin show` reports of a league, read straight from its files
// without a run and without the working database: the players as the player
// file holds them, whether their potentials are still the ones an earlier run
// hid, and what the league's history keeps.

#include <cstdio>
#include <filesystem>

namespace tavrin::cli {

enum class ReportFormat { Table, Csv };

// Writes the players to `out`: a table to read, one row per record, or
// comma-separated values with a header row for a spreadsheet. The state of
// the potentials and the history go to `notes` (standard output for a table,
// standard error when `out` must hold nothing but the values). A league that
// cannot be read is a Refusal naming the file; a failure while reading, an
// Error.
void WriteLeagueReport(const std::filesystem::path& league, ReportFormat format, std::FILE* out, std::FILE* notes);

}  // namespace tavrin::cli
