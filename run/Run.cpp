#include "run/Run.h"

#include <QByteArray>
#include <QFile>

#include <exception>
#include <functional>

#include "db/Error.h"
#include "league/Platform.h"
#include "league/QtFiles.h"
#include "league/ReplacingFile.h"
#include "league/mDbase.h"
#include "league/mLeagueVersion.h"
#include "pots/mPots.h"
#include "run/History.h"
#include "run/RunLocks.h"
#include "run/SavedPotentials.h"

namespace tavrin::run {

namespace fs = std::filesystem;

std::string_view OperationName(Operation operation) {
    switch (operation) {
        case Operation::Hide: return "Hide";
        case Operation::Randomize: return "Randomize";
        case Operation::Restore: return "Restore";
    }
    return "?";
}

std::string StillHiddenText(const StillHidden& found) {
    const std::string now = found.now == Operation::Hide ? "Hiding" : "Randomizing";
    return "The potentials in " + PathText(found.pyr) + " are still the ones hidden by " + found.operation + " on " +
           found.when + ": the true potentials are in " + PathText(found.pot) + ".\n\n" + now +
           " the league now would make the hidden potentials the saved ones. Restore it first to keep the true ones.";
}

namespace {

std::string FileName(const fs::path& p) { return PathText(p.filename()); }

Outcome Make(Outcome::Kind kind, std::string message) {
    Outcome o;
    o.kind = kind;
    o.message = std::move(message);
    return o;
}

// The names the run will write under must fit the file system, and the
// saved-potentials file's path SQLite's limit, or the run would stop after
// its first change.
std::optional<std::string> NameProblem(const ProgramState& state, const History& history) {
    constexpr std::size_t kSqlitePathLimit = 511;  // bytes of UTF-8, the terminator aside
    for (const fs::path& name : {ReplacingFile::NewPath(state.sPyrPath), ReplacingFile::NewPath(state.sPotPath),
                                 history.Folder()})
        if (platform::NameLength(name) > platform::kMaxNameLength)
            return "the name " + PathText(name.filename()) + " that Tavrin must write beside the league is longer than " +
                   std::to_string(platform::kMaxNameLength) + " characters; give the league a shorter name";
    std::error_code ec;
    const fs::path pot = fs::absolute(state.sPotPath, ec);
    const fs::path kept = fs::absolute(history.Folder(), ec) / std::string(History::LongestEntryName(), 'x');
    for (const fs::path& p : {pot, kept})
        if (p.u8string().size() > kSqlitePathLimit)
            return "the path " + PathText(p) + " is longer than the database engine accepts (" +
                   std::to_string(kSqlitePathLimit) + " bytes); move the league to a shorter folder";
    return std::nullopt;
}

PlayerChange ChangeOf(const ChangedPlayer& c) {
    PlayerChange out;
    out.slot = c.slot;
    out.pidA = c.after[OffsetOf(Col::PID_a)];
    out.pidB = c.after[OffsetOf(Col::PID_b)];
    out.firstName = NameText(c.after, Col::FirstName);
    out.lastName = NameText(c.after, Col::LastName);
    out.years = c.after[OffsetOf(Col::Years)];
    for (std::size_t a = 0; a < kPotColumns.size(); ++a) {
        out.before[a] = c.before[OffsetOf(kPotColumns[a])];
        out.after[a] = c.after[OffsetOf(kPotColumns[a])];
    }
    return out;
}

class LeagueRun {
public:
    LeagueRun(const Request& request, ProgramState& state, Host& host, RandomSource& random)
        : request_(request), state_(state), host_(host), random_(random), history_(request.league) {}

    Outcome Run() {
        try {
            return Steps();
        } catch (const Refusal& r) {
            return Make(Outcome::Kind::Refused, r.what());
        } catch (const std::exception& e) {
            Outcome o = Make(Outcome::Kind::Failed, e.what());
            o.step = step_;
            o.inOperation = inOperation_;
            return o;
        }
    }

private:
    Outcome Steps() {
        const Operation op = request_.operation;
        if (op == Operation::Hide && !request_.yearsLimit) throw Refusal("Select Years");

        // The league file itself: chosen in a dialog it exists, but a path
        // from the command line or a drop may name anything.
        step_ = "Reading the league file";
        std::error_code ec;
        const auto status = fs::status(request_.league, ec);
        if (!fs::exists(status)) {
            // A name the system cannot look up at all (one too long) is not
            // a missing file: its reason is told as the system gives it.
            if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory)
                throw Refusal("Cannot read the league file " + PathText(request_.league) + ": " + ec.message() + ".");
            throw Refusal("The league file " + PathText(request_.league) + " does not exist.");
        }
        if (!fs::is_regular_file(status))
            throw Refusal("Cannot read the league file " + PathText(request_.league) + ": it is not a regular file.");

        SetLeaguePaths(state_, request_.league);
        const bool writes = !request_.dryRun;
        if (writes)
            if (const auto problem = NameProblem(state_, history_))
                throw Refusal("Cannot work on " + PathText(request_.league) + ": " + *problem + ".\n\nNo file was changed.");

        // A dry run writes nothing of the league's, so it locks only the
        // working database it rebuilds.
        const RunLocks locks(state_.WorkingDatabasePath(), writes ? request_.league : fs::path());
        if (writes) RemoveLeftOvers();

        ReadLeagueVersion(state_, request_.league);
        if (state_.iLeagueVersion == kLeagueOther) return UnknownTag();
        if (state_.iLeagueVersion == kLeagueL03) {
            step_ = "Loading the league";
            const ImportedLeague league = ImportLeagueL03(state_, state_.sPyrPath);
            Outcome o = Make(Outcome::Kind::Done, "Loaded the " + std::to_string(league.players) + " players of " +
                                                      FileName(state_.sPyrPath) +
                                                      " (a league of the L03 format: loaded only, nothing was changed)");
            o.players = league.players;
            return o;
        }

        CheckBeforeAnyChange();
        if (writes && op != Operation::Restore && !AskIfStillHidden()) {
            return Make(Outcome::Kind::Cancelled, "Nothing was changed.");
        }
        if (writes) history_.BeginRun(OperationName(op));

        step_ = "Loading the league";
        const ImportedLeague league = ImportLeagueL02(state_, state_.sPyrPath);

        Outcome outcome;
        if (writes && op != Operation::Restore) KeepTruePotentials(outcome);

        RunOperation();

        step_ = "Saving the league";
        SaveOptions save;
        save.dryRun = request_.dryRun;
        if (writes) save.keepReplacedAs = history_.KeepAs("pyr");
        if (request_.listChanges)
            save.onChanged = [&](const ChangedPlayer& c) { outcome.changes.push_back(ChangeOf(c)); };
        const SaveResult saved = SaveLeagueL02(state_, league, state_.sPyrPath, save);
        if (writes) outcome.kept.push_back(save.keepReplacedAs);

        outcome.players = league.players;
        outcome.changed = saved.changed;
        outcome.message = Summary(outcome);
        if (writes) AfterSave(outcome);
        return outcome;
    }

    Outcome UnknownTag() {
        // What the file starts with, as the user can read it.
        QFile in(ToQString(request_.league));
        const QByteArray tag = in.open(QIODevice::ReadOnly) ? in.read(4) : QByteArray();
        std::string shown;
        for (const char c : tag) shown += (c >= 0x20 && c < 0x7F) ? c : '.';
        return Make(Outcome::Kind::NothingToDo,
                    PathText(request_.league) + " is not a league Tavrin knows: its header begins with \"" + shown +
                        "\", not \"L02:\" or \"L03:\". Nothing was changed.");
    }

    // Everything that can be checked before the first change, so that a
    // problem is a refusal with every file as it was.
    void CheckBeforeAnyChange() {
        step_ = "Checking the league's files";
        const Operation op = request_.operation;
        // The files this run will replace must let it.
        const auto replaceable = [&](const fs::path& file) {
            if (request_.dryRun) return;
            if (const auto why = WhyNotReplaceable(file))
                throw Refusal("Cannot change the league: " + PathText(file) + ": " + *why + ".\n\nNo file was changed.");
        };
        replaceable(state_.sPyrPath);
        if (op == Operation::Restore) {
            const fs::path from = SavedSource();
            if (const auto problem = ProblemWithSavedPotentials(from))
                throw Refusal("Cannot restore the potentials from " + PathText(from) + ": " + *problem +
                              ".\n\nNo file was changed.");
        } else {
            replaceable(state_.sPotPath);
        }
    }

    // New files a run that was killed part-way left beside the league's files
    // and in its history: up to the size of the league each, and no other run
    // can be writing them while this one holds the league's lock. (A run
    // replaces a file only through such a name, so the file itself is whole.)
    void RemoveLeftOvers() {
        ReplacingFile::RemoveLeftOver(state_.sPyrPath);
        ReplacingFile::RemoveLeftOver(state_.sPotPath);
        const fs::path newSuffix = ReplacingFile::NewPath("x").extension();  // ".tavrin-new"
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(history_.Folder(), ec))
            if (entry.path().extension() == newSuffix) fs::remove(entry.path(), ec);
    }

    fs::path SavedSource() const { return request_.restoreFrom.empty() ? state_.sPotPath : request_.restoreFrom; }

    // Hide or Randomize on a league whose potentials are still hidden would
    // save the hidden ones over the true ones: ask first.
    bool AskIfStillHidden() {
        std::error_code ec;
        if (!fs::exists(state_.sPotPath, ec) || !fs::exists(state_.sPyrPath, ec)) return true;
        const auto note = ReadSavedNote(state_.sPotPath);
        if (!note || !IsStillHidden(*note, state_.sPyrPath)) return true;
        return host_.GoOnWhileStillHidden(
            {state_.sPyrPath, state_.sPotPath, note->operation, LocalTimeText(note->savedAt), request_.operation});
    }

    // The players as loaded go beside the league as the saved potentials; the
    // file they replace into the history. Then the file is opened as Restore
    // will open it: one that cannot be read stops the run before any
    // potential changes.
    void KeepTruePotentials(Outcome& outcome) {
        step_ = "Keeping the true potentials";
        std::error_code ec;
        const fs::path kept = fs::exists(state_.sPotPath, ec) ? history_.KeepAs("pot") : fs::path();
        CopyWorkingDatabase(state_, state_.sPotPath, kept);
        if (!kept.empty()) outcome.kept.push_back(kept);
        if (const auto problem = ProblemWithSavedPotentials(state_.sPotPath))
            throw Refusal("The potentials were kept in " + PathText(state_.sPotPath) + ", but " + *problem +
                          ", so a later Restore could not read them. The run stopped before any potential changed." +
                          (kept.empty() ? "" : " The file it replaced is in " + PathText(kept) + "."));
    }

    // Runs the chosen operation on the working database.
    void RunOperation() {
        inOperation_ = true;
        switch (request_.operation) {
            case Operation::Hide:
                step_ = "Hiding the potentials";
                HidePots(state_, *request_.yearsLimit);
                break;
            case Operation::Randomize:
                step_ = "Randomizing the potentials";
                RandomizePots(state_, random_);
                break;
            case Operation::Restore:
                step_ = "Restoring the potentials";
                RestorePots(state_, SavedSource());
                break;
        }
        inOperation_ = false;
    }

    std::string Summary(const Outcome& o) const {
        const std::string of = std::to_string(o.changed) + " of " + std::to_string(o.players) + " players in " +
                               FileName(state_.sPyrPath);
        const bool dry = request_.dryRun;
        std::string line;
        switch (request_.operation) {
            case Operation::Hide: line = (dry ? "Would hide the potentials of " : "Hid the potentials of ") + of; break;
            case Operation::Randomize:
                line = (dry ? "Would randomize the potentials of " : "Randomized the potentials of ") + of;
                break;
            case Operation::Restore:
                line = (dry ? "Would restore the potentials of " : "Restored the potentials of ") + of + " from " +
                       FileName(SavedSource());
                break;
        }
        if (dry) return line + " (dry run: no file was changed)";
        if (request_.operation != Operation::Restore) line += "; true potentials saved in " + FileName(state_.sPotPath);
        return line;
    }

    // The note in the .pot (the fingerprint of the player file just saved),
    // and the history's pruning. The league is saved by now: what fails here
    // is told, but does not undo the run.
    void AfterSave(Outcome& outcome) {
        try {
            if (request_.operation != Operation::Restore) {
                WriteSavedNote(state_.sPotPath, {std::string(OperationName(request_.operation)), NowUtc(),
                                                 Sha256Hex(state_.sPyrPath), {}});
            } else if (std::error_code ec; fs::exists(state_.sPotPath, ec) && HasWritePermission(state_.sPotPath)) {
                if (auto note = ReadSavedNote(state_.sPotPath); note && note->restoredAt.empty()) {
                    note->restoredAt = NowUtc();
                    WriteSavedNote(state_.sPotPath, *note);
                }
            }
        } catch (const std::exception& e) {
            outcome.message += " (but the note of what was saved could not be written: " + std::string(e.what()) + ")";
        }
        history_.Prune(request_.historyRuns);
    }

    const Request& request_;
    ProgramState& state_;
    Host& host_;
    RandomSource& random_;
    History history_;
    std::string step_;
    bool inOperation_ = false;
};

}  // namespace

Outcome RunLeague(const Request& request, ProgramState& state, Host& host, RandomSource& random) {
    return LeagueRun(request, state, host, random).Run();
}

}  // namespace tavrin::run
