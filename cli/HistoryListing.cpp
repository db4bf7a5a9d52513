#include "cli/HistoryListing.h"

#include <exception>
#include <string>
#include <vector>

#include "run/ChangeLine.h"
#include "cli/CommandLine.h"
#include "cli/ConsoleOutput.h"
#include "base/Error.h"
#include "league/Clock.h"
#include "league/ProgramState.h"
#include "run/History.h"
#include "run/Messages.h"

namespace tavrin::cli {

namespace fs = std::filesystem;

namespace {

// The files a run kept, by their names in the history, quoted as a shell
// takes them back; and whether there was a .pot before it.
std::string KeptText(const run::HistoryRun& r, const std::string& pot) {
    std::string names;
    for (const fs::path& name : {r.keptPyr, r.keptPot})
        if (!name.empty()) names += (names.empty() ? "" : " and ") + ("\"" + PathText(name) + "\"");
    std::string text = names.empty() ? " Kept no file." : " Kept " + names + ".";
    if (r.potWasMissing) text += " There was no " + pot + " before it.";
    return text;
}

}  // namespace

int ListHistory(const fs::path& league, bool verbose) {
    try {
        run::CheckLeagueFile(league);
    } catch (const Refusal& refusal) {
        Message(refusal.what());
        return kExitRefused;
    }
    const LeaguePaths paths = LeaguePaths::Of(league);
    const run::History history(league);
    const std::vector<run::HistoryRun> runs = history.Runs();
    const std::string lge = PathText(league.filename()), folder = PathText(history.Folder());
    const std::string kept = "History of " + lge + ": " + run::RunsKeptText(runs.size(), history.Folder());
    if (runs.empty()) {
        Out(kept + ".");
        return kExitDone;
    }
    Out(kept + ", oldest first.");
    int status = kExitDone;
    for (const run::HistoryRun& r : runs) {
        Out(std::to_string(r.number) + "  " + LocalTimeText(r.time) + "  " + r.operation + "  " +
            std::to_string(r.changed) + " of " + std::to_string(r.players) + " players changed: " + r.summary + "." +
            KeptText(r, PathText(paths.potFile.filename())));
        if (!verbose || r.keptPyr.empty()) continue;
        try {
            bool exact = true;
            const auto changes = history.ChangesOf(r, paths.playerFile, exact);
            if (!exact)
                Out(PathText(paths.playerFile.filename()) + " was written after this run saved it (by the game, or "
                    "by hand): the list shows those changes too.");
            if (!changes.empty()) Out(run::kChangesHeading);
            for (const run::PlayerChange& c : changes) Out(run::ChangeLine(c));
        } catch (const std::exception& e) {
            Message("Reading the changes of run " + std::to_string(r.number) + " failed: " + e.what());
            status = kExitFailed;
        }
    }
    return status;
}

}  // namespace tavrin::cli
