#include "run/RunLocks.h"

#include <QString>

#include "db/Error.h"
#include "league/QtFiles.h"

namespace tavrin::run {

namespace fs = std::filesystem;

namespace {

std::unique_ptr<QLockFile> Take(const fs::path& file, const std::string& what) {
    auto lock = std::make_unique<QLockFile>(ToQString(RunLocks::LockPathOf(file)));
    // Never stale by age: a run may take long. A lock whose program is gone
    // is stale, and taken over.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) return lock;
    if (lock->error() == QLockFile::LockFailedError) {
        qint64 pid = 0;
        QString host, app;
        std::string holder = "another run";
        if (lock->getLockInfo(&pid, &host, &app))
            holder = "another copy of Tavrin (process " + std::to_string(pid) +
                     (host.isEmpty() ? "" : " on " + host.toStdString()) + ")";
        throw Refusal("Cannot start: " + holder + " is using " + what + " " + PathText(file) +
                      ".\n\nWait until it has finished. No file was changed.");
    }
    throw Refusal("Cannot start: Tavrin cannot write in the folder of " + what + " " + PathText(file) +
                  " (it cannot make the lock file " + PathText(RunLocks::LockPathOf(file).filename()) +
                  " there).\n\nNo file was changed.");
}

}  // namespace

fs::path RunLocks::LockPathOf(const fs::path& file) {
    fs::path p = file;
    p += ".lock";
    return p;
}

RunLocks::RunLocks(const fs::path& workingDatabase, const fs::path& league) {
    working_ = Take(workingDatabase, "the working database");
    if (!league.empty()) league_ = Take(league, "the league");
}

RunLocks::~RunLocks() = default;

}  // namespace tavrin::run
