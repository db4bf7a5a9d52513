#pragma once

// Program-wide state, in one place: the run state the main window sets, the
// substitution tables and record buffers the import fills and the save of the
// same run reuses, where the working database lives, and the progress sink.
// One ProgramState lives as long as the program; each run overwrites it.
// (The open database and recordset of a step are that step's locals: no step
// keeps either open past its end.)

#include <cstdint>
#include <filesystem>

#include "Progress.h"
#include "mEncrypt97.h"
#include "mGridexType.h"

namespace tavrin {

// iLeagueVersion, the league format code read from the league file's tag.
enum LeagueVersion : std::int16_t {
    kLeagueL03 = 0,    // "L03:" — 60-byte records, loaded only
    kLeagueL02 = 1,    // "L02:" — 51-byte records, the whole run
    kLeagueOther = 2,  // anything else — nothing happens
};

struct ProgramState {
    // The folder that holds the working database Temp.mdb: the application's
    // directory, or a test's own temporary folder.
    std::filesystem::path appDir;

    // Run state, set by every run.
    std::filesystem::path sPyrPath;  // the league's player file
    std::filesystem::path sPotPath;  // the league's saved-potentials database
    std::int16_t iLeagueVersion = kLeagueOther;

    // Filled by the import, reused by the save of the same run.
    CodeTables tables;
    HeaderRecL02 headerL02{};
    HeaderRecL03 headerL03{};
    PlayerRecL02 playerL02{};
    PlayerRecL03 playerL03{};

    // The progress window, or a silent stand-in.
    Progress* progress = &silentProgress;
    SilentProgress silentProgress;

    std::filesystem::path WorkingDatabasePath() const { return appDir / "Temp.mdb"; }
};

// Sets sPyrPath and sPotPath from the chosen league file: its last three
// characters, whatever they are, replaced by "pyr" and "pot" (always lower
// case): D:\lg\MYLG.LGE gives D:\lg\MYLG.pyr and D:\lg\MYLG.pot.
void SetLeaguePaths(ProgramState& state, const std::filesystem::path& sLeaguePath);

}  // namespace tavrin
