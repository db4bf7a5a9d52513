#include "run/Undo.h"

// The player file goes in place first and the .pot after it: the player
// file an undo brings back is the one the .pot it replaces was saved with
// (for the undo of the last run) or older, and the .pot it brings back
// belongs with it alone. A kill between the two leaves the run's record
// naming both; the next run that writes finds it and puts the .pot in place
// before anything else (FinishInterruptedUndo).

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "base/Error.h"
#include "league/Clock.h"
#include "platform/Fingerprint.h"
#include "league/RecordReader.h"
#include "run/Messages.h"

namespace tavrin::run {

namespace fs = std::filesystem;

namespace {

struct Counts {
    std::int64_t players = 0, changed = 0;
};

// Copies `from` into `to` (nothing where it is null), what it holds taken
// on the way, and counts the player records in which it differs from `now`.
FileFingerprint CopyCounting(platform::File& from, platform::File& now, platform::File* to, Counts& counts) {
    constexpr std::size_t R = kRecordLenL02;
    std::vector<std::uint8_t> chunk(kChunkRecords * R), old(kChunkRecords * R);
    Fingerprint fingerprint;
    FileFingerprint held;
    bool header = true;
    for (;;) {
        const std::size_t n = from.Read(chunk);
        if (n == 0) break;
        const std::size_t m = now.Read(std::span(old).first(n));
        for (std::size_t at = header ? R : 0; at + R <= n; at += R) {
            ++counts.players;
            counts.changed += at + R > m || std::memcmp(&chunk[at], &old[at], R) != 0;
        }
        header = false;
        fingerprint.Add(std::span(chunk).first(n));
        held.size += n;
        if (to) to->Write(std::span(chunk).first(n));
    }
    held.text = fingerprint.Text();
    return held;
}

// Copies `from` into `to` (nothing where it is null), what it holds taken
// on the way.
FileFingerprint CopyOf(platform::File& from, platform::File* to) {
    std::vector<std::uint8_t> chunk(std::size_t{1} << 20);
    Fingerprint fingerprint;
    FileFingerprint held;
    for (std::size_t n; (n = from.Read(chunk)) > 0; held.size += n) {
        fingerprint.Add(std::span(chunk).first(n));
        if (to) to->Write(std::span(chunk).first(n));
    }
    held.text = fingerprint.Text();
    return held;
}

const HistoryRun& RunToUndo(const std::vector<HistoryRun>& runs, const Request& request, const History& history) {
    const auto target = std::find_if(runs.rbegin(), runs.rend(), [&](const HistoryRun& r) {
        return request.undoTo == 0 || r.number == request.undoTo;
    });
    if (target == runs.rend())
        throw Refusal(runs.empty() ? "There is nothing to undo: the history " + PathText(history.Folder()) +
                                         " holds no run of Tavrin's."
                                   : "The history " + PathText(history.Folder()) + " holds no run number " +
                                         std::to_string(request.undoTo) + ".");
    if (!target->problem.empty())
        throw Refusal("Cannot undo run " + std::to_string(target->number) + ": its record in " +
                      PathText(history.Folder()) + " " + target->problem + ", so Tavrin cannot tell what to bring back.");
    if (target->keptPyr.empty())
        throw Refusal("Run " + std::to_string(target->number) + " of the history kept no player file to bring back.");
    return *target;
}

// A kept file, before anything is read of it: there, and of the size its
// run's record says.
void CheckKept(const platform::Folder& kept, const fs::path& name, const FileFingerprint& held, int number) {
    const platform::FileInfo info = kept.Info(name);
    const std::string path = PathText(kept.PathOf(name));
    if (!info.Exists())
        throw Refusal("Cannot undo run " + std::to_string(number) + ": the history no longer holds " + path + ".");
    if (info.kind != platform::Kind::Regular || info.size != held.size)
        throw Refusal("Cannot undo run " + std::to_string(number) + ": " + path +
                      " is not the file the run kept (it changed since).");
}

void CheckCopied(const platform::Folder& kept, const fs::path& name, const FileFingerprint& copied,
                 const FileFingerprint& held, int number) {
    if (copied != held)
        throw Refusal("Cannot undo run " + std::to_string(number) + ": " + PathText(kept.PathOf(name)) +
                      " is not the file the run kept (it changed since).");
}

}  // namespace

Outcome Undo(const Request& request, const LeagueFiles& files, std::string& step) {
    const OperationFacts& facts = FactsOf(Operation::Undo);
    step = "Reading the league's history";
    const History history(files.paths.league);
    const std::vector<HistoryRun> runs = history.Runs();
    const HistoryRun& target = RunToUndo(runs, request, history);
    const int number = target.number;

    const platform::Folder kept = *files.folder.OpenFolder(files.history);
    CheckKept(kept, target.keptPyr, target.keptPyrHeld, number);
    if (!target.keptPot.empty()) CheckKept(kept, target.keptPot, target.keptPotHeld, number);
    // The .pot that belongs with the kept player file: the one the run
    // replaced, none where there was none, or the one it left in place,
    // which must still be the league's.
    const bool potExists = files.folder.Info(files.pot).Exists();
    const bool removesPot = target.potWasMissing && potExists;
    if (!target.leftPot.empty() && (!potExists || FingerprintOf(files.folder, files.pot).text != target.leftPot))
        throw Refusal("Cannot undo run " + std::to_string(number) + ": the run left " + FileName(files.paths.potFile) +
                      " as it was, and it has changed since; Tavrin never brings back a player file without the "
                      ".pot that belongs with it.");

    const platform::FileInfo pyrAsRead = files.folder.Info(files.pyr);
    step = std::string(facts.step);
    std::optional<Commit> commit;
    if (!request.dryRun) {
        commit.emplace(files.folder, files.pyr, files.pot);
        commit->SetPlayerFileFirst();
    }
    Counts counts;
    HistoryRun run;
    {
        platform::File from = kept.OpenToRead(target.keptPyr);
        platform::File now = files.folder.OpenToRead(files.pyr);
        const FileFingerprint copied = CopyCounting(from, now, commit ? &commit->NewPlayerFile() : nullptr, counts);
        CheckCopied(kept, target.keptPyr, copied, target.keptPyrHeld, number);
        run.savedFingerprint = copied.text;
    }
    if (!target.keptPot.empty()) {
        platform::File from = kept.OpenToRead(target.keptPot);
        CheckCopied(kept, target.keptPot, CopyOf(from, commit ? &commit->NewPot() : nullptr), target.keptPotHeld,
                    number);
        run.restoredPot = target.keptPot;
        run.restoredPotHeld = target.keptPotHeld;
    } else if (removesPot) {
        if (commit) commit->RemovePot();
        run.removedPot = true;
    }

    Outcome outcome;
    outcome.players = counts.players;
    outcome.changed = counts.changed;
    const std::string pyr = FileName(files.paths.playerFile), pot = FileName(files.paths.potFile);
    const std::string before = " before run " + std::to_string(number) + " (" + target.operation + " on " +
                               LocalTimeText(target.time) + ")";
    outcome.message = std::string(request.dryRun ? facts.wouldDo : facts.did) + " " +
                      (!target.keptPot.empty() ? pyr + " and " + pot + " as they were" + before
                       : removesPot ? pyr + " as it was" + before + ", and " +
                                          (request.dryRun ? "remove " : "removed ") + pot + ", which that run made"
                                    : pyr + " as it was" + before) +
                      ": " + std::to_string(counts.changed) + " of " + std::to_string(counts.players) +
                      " players changed";
    if (request.dryRun) {
        outcome.message += std::string(kDryRunNote);
        return outcome;
    }
    run.operation = facts.name;
    run.undid = number;
    run.players = counts.players;
    run.changed = counts.changed;
    run.summary = outcome.message;
    step = "Saving the league";
    outcome.historyRun = FinishRun(files, *commit, run, pyrAsRead, request.historyRuns);
    return outcome;
}

void FinishInterruptedUndo(const LeagueFiles& files) {
    const std::vector<HistoryRun> runs = History(files.paths.league).Runs();
    if (runs.empty()) return;
    const HistoryRun& undo = runs.back();
    if (undo.operation != FactsOf(Operation::Undo).name || !undo.problem.empty() ||
        (undo.restoredPot.empty() && !undo.removedPot))
        return;
    // Cut short after its player file went in place: the .pot is still the
    // one it replaced, and the player file the one it brought back.
    const platform::FileInfo pot = files.folder.Info(files.pot);
    if (undo.keptPot.empty() ? pot.Exists() : !pot.Exists() || pot.size != undo.keptPotHeld.size) return;
    if (!undo.keptPot.empty() && FingerprintOf(files.folder, files.pot) != undo.keptPotHeld) return;
    if (FingerprintOf(files.folder, files.pyr).text != undo.savedFingerprint) return;

    if (undo.removedPot) {
        files.folder.Remove(files.pot);  // kept in the history by the undo
    } else {
        const platform::Folder kept = *files.folder.OpenFolder(files.history);
        platform::File from = kept.OpenToRead(undo.restoredPot);
        const fs::path newName = Commit::NewName(files.pot);
        std::optional<platform::File> to = files.folder.CreateNew(newName);
        if (!to) throw Error("Cannot write " + PathText(files.folder.PathOf(newName)) + ": the name is taken");
        try {
            if (CopyOf(from, &*to) != undo.restoredPotHeld)
                throw Refusal("Cannot finish the undo of run " + std::to_string(undo.undid) + ": " +
                              PathText(kept.PathOf(undo.restoredPot)) + " is not the file the run kept (it changed "
                              "since).");
            if (pot.Exists()) to->TakeOwnerAndPermissionsOf(pot);
            to->Sync();
            to->Close();
            files.folder.Rename(newName, files.folder, files.pot);
        } catch (...) {
            to.reset();
            files.folder.Remove(newName);
            throw;
        }
    }
    files.folder.Sync();
}

}  // namespace tavrin::run
