#include "run/RunLocks.h"

#include "base/Error.h"

namespace tavrin::run {

namespace fs = std::filesystem;

namespace {

platform::Lock Take(const platform::Folder& folder, const fs::path& file, const std::string& what) {
    const fs::path lockName = RunLocks::LockNameOf(file);
    platform::Lock::Blocked blocked;
    std::optional<platform::Lock> lock;
    try {
        lock = platform::Lock::Take(folder, lockName, blocked);
    } catch (const Error& e) {
        throw Refusal("Cannot start: Tavrin cannot make the lock file of " + what + " " + PathText(folder.PathOf(file)) +
                      " (" + e.what() + ").");
    }
    if (lock) return std::move(*lock);
    if (!blocked.notALockFile.empty())
        // Something in the way of the lock file: never waited on, never taken
        // for another run's, and named with what to do.
        throw Refusal("Cannot start: the lock file " + PathText(folder.PathOf(lockName)) + " is no lock file (" +
                      blocked.notALockFile + ").\n\nIf no Tavrin is working on " + what + " " +
                      PathText(folder.PathOf(file)) + ", delete " + PathText(folder.PathOf(lockName)) +
                      " and try again.");
    const std::string holder =
        blocked.process ? "another copy of Tavrin (process " + std::to_string(blocked.process) + ")" : "another run";
    throw Refusal("Cannot start: " + holder + " is using " + what + " " + PathText(folder.PathOf(file)) +
                  ".\n\nWait until it has finished.");
}

}  // namespace

fs::path RunLocks::LockNameOf(const fs::path& file) {
    fs::path p = file.filename();
    p += ".lock";
    return p;
}

RunLocks::RunLocks(const platform::Folder& workingFolder, const fs::path& workingDatabase,
                   const platform::Folder* leagueFolder, const fs::path& league) {
    working_ = Take(workingFolder, workingDatabase, "the working database");
    if (leagueFolder) league_ = Take(*leagueFolder, league, "the league");
}

}  // namespace tavrin::run
