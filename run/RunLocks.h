#pragma once

// One run at a time on a working database and on a league. Every step opens
// the working database anew by its path, and every import deletes and
// recreates it: two runs sharing it (two copies of Tavrin started from one
// folder) would read each other's players. Each run therefore holds a lock on
// the working database, and on the league it changes, from its start to its
// end; a second run that meets either lock is refused before it touches
// anything. A lock left by a program that died is taken over.

#include <QLockFile>

#include <filesystem>
#include <memory>

namespace tavrin::run {

class RunLocks {
public:
    // Takes the lock of the working database and, where `league` is given,
    // of the league. Refused (a Refusal naming what is in use) when another
    // run holds one.
    RunLocks(const std::filesystem::path& workingDatabase, const std::filesystem::path& league);
    ~RunLocks();
    RunLocks(const RunLocks&) = delete;
    RunLocks& operator=(const RunLocks&) = delete;

    // The lock files beside these files.
    static std::filesystem::path LockPathOf(const std::filesystem::path& file);

private:
    std::unique_ptr<QLockFile> working_, league_;
};

}  // namespace tavrin::run
