#pragma once

// The league's files as a run that writes sees them, inside the run core:
// its folder, opened once, the names of its files there, what is checked of
// them before the first change, and the end of a run that writes.

#include <filesystem>
#include <string>

#include "base/Error.h"
#include "platform/Platform.h"
#include "league/ProgramState.h"
#include "run/Commit.h"
#include "run/History.h"
#include "run/Operations.h"

namespace tavrin::run {

struct LeagueFiles {
    LeaguePaths paths;
    platform::Folder folder;
    std::filesystem::path lge, pyr, pot, history;  // names in the folder
};

// The league file checked (a Refusal naming it where it cannot be the
// league), its folder opened.
LeagueFiles OpenLeagueFiles(const std::filesystem::path& league);

// A link where a league's file or its history should be: refused, naming it
// and where it points.
void RefuseLinks(const LeagueFiles& files);

// The names the run will write under must fit the file system, and the
// .pot's path SQLite's limit, or the run would stop after its first change.
// Run by the administrator, the league's folder must be one no other user
// can change under it (the rule logrotate keeps): someone who can could
// otherwise point the run at any file of the system.
void CheckNamesAndFolder(const LeagueFiles& files);

// The files a run of this operation replaces must let it, and the history
// must be a folder it can write: a Refusal otherwise. Whether the .pot may be
// replaced (a Restore leaves a read-only one as it is).
bool CheckReplaceable(const LeagueFiles& files, Operation operation);

// New files a run that was killed part-way left beside the league's files
// and in its history.
void RemoveLeftOvers(const LeagueFiles& files);

// The end of a run that writes: its new files put in place together, what
// they replace kept in the history with the run written down, and the
// history pruned to its last `historyRuns` runs. The run's number there.
int FinishRun(const LeagueFiles& files, Commit& commit, HistoryRun& run, const platform::FileInfo& pyrAsRead,
              int historyRuns);

}  // namespace tavrin::run
