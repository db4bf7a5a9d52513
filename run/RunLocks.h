#pragma once

// One run at a time on a working database and on a league. Every step opens
// the working database anew by its path, and every import deletes and
// recreates it: two runs sharing it (two copies of Tavrin started from one
// folder) would read each other's players. Each run therefore holds a lock on
// the working database, and on the league it changes, from its start to its
// end; a second run that meets either lock is refused before it touches
// anything. The system lets go of a lock when its process ends, however it
// ends, so a lock file left behind by a crash holds nothing and is taken.

#include <filesystem>
#include <optional>

#include "platform/Platform.h"

namespace tavrin::run {

class RunLocks {
public:
    // Takes the lock of the working database (`workingDatabase` in
    // `workingFolder`) and, where `league` is given, of the league file in
    // `leagueFolder`. Refused (a Refusal naming what is in use, or the lock
    // file that is no lock file) when that cannot be.
    RunLocks(const platform::Folder& workingFolder, const std::filesystem::path& workingDatabase,
             const platform::Folder* leagueFolder, const std::filesystem::path& league);

    // The lock file's name beside a file.
    static std::filesystem::path LockNameOf(const std::filesystem::path& file);

private:
    std::optional<platform::Lock> working_, league_;
};

}  // namespace tavrin::run
