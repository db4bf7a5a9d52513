#pragma once

// What lives as long as the program: where the working database is, the run
// state each run overwrites (the league's paths and its format code), and the
// progress window the steps report to. What one run's import hands to its
// save travels as a value (ImportedLeague, mDbase.h), not through here.

#include <cstdint>
#include <filesystem>

#include "league/Progress.h"

namespace tavrin {

// iLeagueVersion, the league format code read from the league file's tag.
enum LeagueVersion : std::int16_t {
    kLeagueL03 = 0,    // "L03:" — 60-byte records, loaded only
    kLeagueL02 = 1,    // "L02:" — 51-byte records, the whole run
    kLeagueOther = 2,  // anything else — nothing happens
};

struct ProgramState {
    ProgramState() = default;
    ProgramState(const ProgramState&) = delete;
    ProgramState& operator=(const ProgramState&) = delete;

    // The folder that holds the working database Temp.mdb: the application's
    // directory, the user's data folder, or a test's own temporary folder.
    std::filesystem::path appDir;

    // Run state, set by every run.
    std::filesystem::path sPyrPath;  // the league's player file
    std::filesystem::path sPotPath;  // the league's saved-potentials database
    std::int16_t iLeagueVersion = kLeagueOther;

    // The progress window, or a silent stand-in.
    Progress* progress = &silentProgress;
    SilentProgress silentProgress;

    std::filesystem::path WorkingDatabasePath() const { return appDir / "Temp.mdb"; }
};

// Sets sPyrPath and sPotPath from the chosen league file: its last three
// characters, whatever they are, replaced by "pyr" and "pot" (lower case):
// D:\lg\mylg.lge gives D:\lg\mylg.pyr and D:\lg\mylg.pot. Where no file of
// that name exists but exactly one in the folder matches it regardless of
// case (MYLG.PYR, copied from another machine), that file is meant: the
// league's files keep the spelling they have on disk.
void SetLeaguePaths(ProgramState& state, const std::filesystem::path& sLeaguePath);

// The file at `path` as it is spelled on disk: `path` itself when it exists
// or when no single file of the folder matches its name regardless of case.
std::filesystem::path SpelledOnDisk(const std::filesystem::path& path);

}  // namespace tavrin
