#pragma once

// The league's history: before a run replaces the player file or the .pot,
// the file there is kept in a folder beside the league (for Demo.lge,
// Demo.history/), and the run itself is written down beside it, so that every
// run can be listed, looked into and undone.
//
// A run is numbered, one more than any number the folder has seen: the
// number alone orders the runs (a clock set back, a new time zone, change
// nothing). Its files are
//   "0007 2026-12-06T05-00-00Z before Hide.pyr"   the player file it replaced
//   "0007 2026-12-06T05-00-00Z before Hide.pot"   the .pot it replaced, if any
//   "0007 2026-12-06T05-00-00Z Hide.run"          what it did (JSON)
// with its time in UTC. Only files of exactly these forms are Tavrin's: no
// other file in the folder is ever removed.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Fingerprint.h"
#include "platform/Platform.h"
#include "run/PlayerChange.h"

namespace tavrin::run {

// One run, as its record tells it.
struct HistoryRun {
    int number = 0;
    std::string operation;         // "Hide", "Randomize", "Restore", "Undo"
    std::string time;              // when it ran, ISO 8601 in UTC
    std::int64_t players = 0;      // in the league
    std::int64_t changed = 0;      // those whose records it changed
    std::string summary;           // what the run said it did
    int undid = 0;                 // an Undo: the run whose files it brought back
    // The files it replaced, by their names in the history folder, and what
    // each held; empty where it kept none.
    std::filesystem::path keptPyr, keptPot;
    FileFingerprint keptPyrHeld, keptPotHeld;
    // There was no .pot before the run, which made the league's first.
    bool potWasMissing = false;
    // The .pot the run left in place (a Restore leaves a read-only one): the
    // fingerprint of what it held.
    std::string leftPot;
    std::string savedFingerprint;  // of the player file as the run saved it
    // An undo: the kept .pot it put in place, and what it held; or that it
    // removed the league's, as the run it undid had made it.
    std::filesystem::path restoredPot;
    FileFingerprint restoredPotHeld;
    bool removedPot = false;
    // Why the record cannot be trusted to bring its files back ("it names no
    // kept player file of its own"); empty where it can.
    std::string problem;
};

class History {
public:
    // The history of the league file `league`: its path without the last
    // three characters, followed by "history".
    explicit History(const std::filesystem::path& league);

    const std::filesystem::path& Folder() const { return folder_; }

    // The runs written down, oldest first. None where there is no folder.
    std::vector<HistoryRun> Runs() const;
    // The players whose potentials the run changed: his kept player file
    // against the one the next run kept, or the league's own after the last
    // run. `exact` is false where that file is no longer byte for byte the one
    // the run saved (the game wrote it since): the list then shows those
    // changes too. None where the run kept no player file.
    std::vector<PlayerChange> ChangesOf(const HistoryRun& run, const std::filesystem::path& pyr, bool& exact) const;

private:
    std::filesystem::path folder_;
};

// The history folder as a run writes it: opened (made where missing) inside
// the league's folder, never through a link.
class HistoryWriter {
public:
    HistoryWriter(const platform::Folder& league, const std::filesystem::path& name);

    const platform::Folder& Folder() const { return folder_; }

    // Numbers and names the run (of its operation): one more than any number
    // in the folder, its time now, and the names of the files it keeps.
    void Name(HistoryRun& run) const;
    // Keeps the file `name` of the league's folder as `kept` here: the same
    // file under a second name, or where the file system has none a copy,
    // complete before it takes that name. False where the name is taken (by
    // whom, we do not ask): nothing is written into it.
    [[nodiscard]] bool Keep(const platform::Folder& league, const std::filesystem::path& name,
                            const std::filesystem::path& kept);
    // Writes the run's record; false where its name is taken.
    [[nodiscard]] bool Write(const HistoryRun& run);
    // Removes the files the run kept and, unless told not to, its record:
    // the run did not happen.
    void Forget(const HistoryRun& run, bool record = true);
    // Flushes the folder's new names to the disk.
    void Sync() const { folder_.Sync(); }
    // Removes the files of all but the newest `runs` runs.
    void Prune(int runs) const;
    // Removes the copies a killed run was making in the history `folder`.
    static void RemoveLeftOvers(const platform::Folder& folder);

private:
    platform::Folder folder_;
};

}  // namespace tavrin::run
