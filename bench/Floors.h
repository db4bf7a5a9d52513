#pragma once

// The floors each step of a run is held against: what the step's work costs
// when done in the most direct way on this machine, with the same SQLite
// settings as the core's working database.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "league/PlayerFile.h"

namespace tavrin::bench {

// Reading and writing the same bytes: a plain copy, flushed to the disk.
void CopyFileFloor(const std::filesystem::path& from, const std::filesystem::path& to);
// The UTF-8 text of every code page 1252 byte, worked out before any timing.
std::array<std::string, 256> Utf8OfBytes();
// The player file's rows inserted with one prepared statement in one
// transaction into a fresh Players table at dbPath (created before timing).
double InsertFloor(const std::filesystem::path& pyrPath, const std::filesystem::path& dbPath,
                   const std::array<std::string, 256>& utf8);
// One UPDATE setting the eight potentials, `value` giving each one's new value
// from its attribute's index, in one transaction on the floor's database.
double UpdateFloor(const std::filesystem::path& dbPath, const std::function<std::string(std::size_t)>& value,
                   std::string_view where);
// The save's floor: one sequential scan of the 27 columns the save reads (the
// players with Position below 15, each value read once), the records encoded
// with the league's tables, and written all or nothing: a new file beside the
// target, flushed to the disk and renamed over it.
double SaveFloor(const std::filesystem::path& dbPath, const std::filesystem::path& target,
                 const ImportedLeague& league);
std::int64_t CountRows(const std::filesystem::path& dbPath, std::string_view where);
// What a safe commit of two new files cannot do without beyond writing and
// flushing them (the copy's and the save's floors): the two files they
// replace kept under second names in a history folder, a short record of
// the run written and flushed there, that folder flushed, both new files
// renamed into place, and their folder flushed. `dir` holds the player file
// and the .pot (two new files of the same names are made before timing).
double CommitFloor(const std::filesystem::path& dir, const std::filesystem::path& pyr, const std::filesystem::path& pot);

}  // namespace tavrin::bench
