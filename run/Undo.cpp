// Undo: the league's player file and .pot brought back as they were before a
// run of its history. It is itself a run, kept like any other, so an undo can
// be undone.

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "base/Error.h"
#include "league/Clock.h"
#include "league/Fingerprint.h"
#include "league/RecordLayout.h"
#include "run/LeagueFiles.h"

namespace tavrin::run {

namespace fs = std::filesystem;

namespace {

struct Counts {
    std::int64_t players = 0, changed = 0;
};

// Copies `from` into `to` (nothing where it is null), its fingerprint taken
// on the way, and counts the player records in which it differs from `now`.
std::string CopyCounting(platform::File& from, platform::File& now, platform::File* to, Counts& counts) {
    constexpr std::size_t R = kRecordLenL02;
    std::vector<std::uint8_t> chunk(4096 * R), old(4096 * R);
    Fingerprint fingerprint;
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
        if (to) to->Write(std::span(chunk).first(n));
    }
    return fingerprint.Text();
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
    if (target->keptPyr.empty())
        throw Refusal("Run " + std::to_string(target->number) + " of the history kept no player file to bring back.");
    return *target;
}

}  // namespace

Outcome Undo(const Request& request, const LeagueFiles& files, std::string& step) {
    const OperationFacts& facts = FactsOf(Operation::Undo);
    step = "Reading the league's history";
    const History history(files.paths.league);
    const std::vector<HistoryRun> runs = history.Runs();
    const HistoryRun& target = RunToUndo(runs, request, history);

    const platform::Folder kept = *files.folder.OpenFolder(files.history);
    const platform::FileInfo pyrAsRead = files.folder.Info(files.pyr);
    step = std::string(facts.step);
    std::optional<Commit> commit;
    if (!request.dryRun) commit.emplace(files.folder, files.pyr, files.pot);
    Counts counts;
    HistoryRun run;
    {
        platform::File from = kept.OpenToRead(target.keptPyr);
        platform::File now = files.folder.OpenToRead(files.pyr);
        run.savedFingerprint = CopyCounting(from, now, commit ? &commit->NewPlayerFile() : nullptr, counts);
    }
    // The .pot as it was: the one the run replaced, or none where the run
    // made the league's first.
    const bool removesPot = target.keptPot.empty() && target.potWasMissing && files.folder.Info(files.pot).Exists();
    if (commit && !target.keptPot.empty()) {
        platform::File from = kept.OpenToRead(target.keptPot);
        commit->NewPot().AppendCopyOf(from);
    } else if (commit && removesPot) {
        commit->RemovePot();
    }

    Outcome outcome;
    outcome.players = counts.players;
    outcome.changed = counts.changed;
    const std::string pyr = FileName(files.paths.playerFile), pot = FileName(files.paths.potFile);
    const std::string before = " before run " + std::to_string(target.number) + " (" + target.operation + " on " +
                               LocalTimeText(target.time) + ")";
    outcome.message = std::string(request.dryRun ? facts.wouldDo : facts.did) + " " +
                      (!target.keptPot.empty() ? pyr + " and " + pot + " as they were" + before
                       : removesPot ? pyr + " as it was" + before + ", and " +
                                          (request.dryRun ? "remove " : "removed ") + pot + ", which that run made"
                                    : pyr + " as it was" + before) +
                      ": " + std::to_string(counts.changed) + " of " + std::to_string(counts.players) +
                      " players changed";
    if (request.dryRun) {
        outcome.message += " (dry run: no file was changed)";
        return outcome;
    }
    run.operation = facts.name;
    run.undid = target.number;
    run.players = counts.players;
    run.changed = counts.changed;
    run.summary = outcome.message;
    step = "Saving the league";
    FinishRun(files, *commit, run, pyrAsRead, request.historyRuns, outcome);
    return outcome;
}

}  // namespace tavrin::run
