#pragma once

// What lives as long as the program: where the working database is, and the
// progress window the long steps of a run report to. What one run works on
// (the league's files) is the run's own, as values.

#include <filesystem>
#include <string_view>

#include "league/Progress.h"

namespace tavrin::db {
class OpenedFile;
}  // namespace tavrin::db

namespace tavrin {

struct ProgramState {
    ProgramState() = default;
    ProgramState(const ProgramState&) = delete;
    ProgramState& operator=(const ProgramState&) = delete;

    // The folder of the working database Temp.mdb: the program's own, the
    // user's cache folder, or a test's temporary folder.
    std::filesystem::path workingFolder;

    // The progress window, or a silent stand-in.
    Progress* progress = &silentProgress;
    SilentProgress silentProgress;

    std::filesystem::path WorkingDatabasePath() const { return workingFolder / "Temp.mdb"; }

    // Where set, the working database is this file instead (in memory, for
    // the fuzz targets): WorkingDatabase.h opens it either way.
    db::OpenedFile* workingDatabaseFile = nullptr;
};

// The league's files beside its league file. The player file, the .pot and
// the history take the league file's path with its last three characters,
// whatever they are, replaced: D:\lg\mylg.lge gives D:\lg\mylg.pyr,
// D:\lg\mylg.pot and D:\lg\mylg.history. Where no file of the player file's
// or the .pot's name exists but exactly one in the folder matches it
// regardless of case (MYLG.PYR, copied from another machine), that file is
// meant: the league's files keep the spelling they have on disk.
struct LeaguePaths {
    std::filesystem::path league, playerFile, potFile, history;

    static LeaguePaths Of(const std::filesystem::path& league);
};

// The league file's path with its last three characters replaced by
// `ending` (cut as UTF-16 text, as the user sees the name).
std::filesystem::path BesideLeague(const std::filesystem::path& league, std::u16string_view ending);

// The file at `path` as it is spelled on disk: `path` itself when it exists
// or when no single file of the folder matches its name regardless of case.
std::filesystem::path SpelledOnDisk(const std::filesystem::path& path);

}  // namespace tavrin
