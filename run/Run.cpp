#include "run/Run.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <vector>

#include "base/Error.h"
#include "league/Clock.h"
#include "platform/Fingerprint.h"
#include "platform/Platform.h"
#include "league/LeagueSave.h"
#include "league/WorkingDatabase.h"
#include "league/FormatTag.h"
#include "pots/TruthFirst.h"
#include "pots/WrittenRecord.h"
#include "pots/Hide.h"
#include "pots/Randomize.h"
#include "pots/Restore.h"
#include "run/Commit.h"
#include "run/History.h"
#include "run/LeagueFiles.h"
#include "run/Undo.h"
#include "run/Messages.h"
#include "run/RunLocks.h"

namespace tavrin::run {

namespace fs = std::filesystem;

namespace {

// "1 player", "3 players".
std::string Counted(std::int64_t n, std::string_view noun) {
    return std::to_string(n) + " " + std::string(noun) + (n == 1 ? "" : "s");
}

// What the save of the new player file hands the new .pot: an entry for each
// player whose potentials in the file are, or were when the run read it,
// Tavrin's, with his true ones (those the run started from, or those it
// wrote where they are the truth: Restore).
WrittenPlayer WrittenOf(const SavedPlayer& p, const Potentials& truth) {
    return {p.slot, p.after[OffsetOf(Col::PID_a)], p.after[OffsetOf(Col::PID_b)], NamesKey(p.after),
            PotentialsOf(p.after), PotentialsOf(p.before), truth};
}

PlayerChange ChangeOf(const SavedPlayer& p) {
    PlayerChange out;
    out.slot = p.slot;
    out.pidA = p.after[OffsetOf(Col::PID_a)];
    out.pidB = p.after[OffsetOf(Col::PID_b)];
    out.firstName = NameText(p.after, Col::FirstName);
    out.lastName = NameText(p.after, Col::LastName);
    out.years = p.after[OffsetOf(Col::Years)];
    const Potentials before = PotentialsOf(p.before), after = PotentialsOf(p.after);
    std::copy(before.begin(), before.end(), out.before.begin());
    std::copy(after.begin(), after.end(), out.after.begin());
    return out;
}

class LeagueRun {
public:
    LeagueRun(const Request& request, const ProgramState& state, RandomSource& random)
        : request_(request), facts_(FactsOf(request.operation)), state_(state), random_(random) {}

    Outcome Run() {
        try {
            return Steps();
        } catch (const Refusal& r) {
            Outcome o;
            o.kind = Outcome::Kind::Refused;
            o.noYearsChosen = noYearsChosen_;
            o.message = noYearsChosen_ ? r.what() : std::string(r.what()) + "\n\n" + std::string(kNothingChanged);
            return o;
        } catch (const std::exception& e) {
            Outcome o;
            o.kind = Outcome::Kind::Failed;
            o.message = e.what();
            o.step = step_;
            o.inOperation = inOperation_;
            return o;
        }
    }

private:
    bool Writes() const { return !request_.dryRun; }

    Outcome Steps() {
        if (const auto problem = ProblemWithRequest(request_)) {
            noYearsChosen_ = true;
            throw Refusal(*problem);
        }
        step_ = "Reading the league file";
        files_ = OpenLeagueFiles(request_.league);
        RefuseLinks(files_);
        if (Writes()) CheckNamesAndFolder(files_);

        // A dry run writes nothing of the league's, so it locks only the
        // working database it rebuilds.
        const platform::Folder working = WorkingFolder();
        const RunLocks locks(working, state_.WorkingDatabasePath().filename(), Writes() ? &files_.folder : nullptr,
                             files_.lge);

        if (request_.operation == Operation::Undo) {
            CheckBeforeAnyChange();
            return Undo(request_, files_, step_);
        }
        std::string tag;
        const LeagueFormat format = ReadFormatTag(request_.league, &tag);
        if (format == LeagueFormat::Unknown) return UnknownTag(tag);
        step_ = "Loading the league";
        if (format == LeagueFormat::L03) {
            const ImportedLeague league = ImportLeague(state_, files_.paths.playerFile, RecordKind::L03);
            Outcome o;
            o.loadedOnly = true;
            o.players = league.players;
            o.message = "Loaded the " + std::to_string(league.players) + " players of " + FileName(files_.paths.playerFile) +
                        " (a league of the L03 format: loaded only, nothing was changed)";
            return o;
        }
        CheckBeforeAnyChange();
        return Operate();
    }

    // --- The checks: each a refusal, before anything changes ---

    platform::Folder WorkingFolder() const {
        try {
            return platform::Folder::Open(state_.workingFolder);
        } catch (const Error& e) {
            throw Refusal("Cannot start: Tavrin cannot use the folder of its working database (" + std::string(e.what()) +
                          ").");
        }
    }

    // Everything else that can be checked before the first change; the new
    // files a killed run left removed.
    void CheckBeforeAnyChange() {
        step_ = "Checking the league's files";
        if (request_.operation == Operation::Restore) {
            const fs::path from = SavedSource();
            if (const auto problem = ProblemWithSavedPotentials(from))
                throw Refusal("Cannot restore the potentials from " + PathText(from) + ": " + *problem + ".");
        }
        if (!Writes()) return;
        potWritable_ = CheckReplaceable(files_, request_.operation);
        RemoveLeftOvers(files_);
        FinishInterruptedUndo(files_);
    }

    fs::path SavedSource() const { return request_.restoreFrom.empty() ? files_.paths.potFile : request_.restoreFrom; }

    // --- Hide, Randomize, Restore ---

    Outcome Operate() {
        const bool restore = request_.operation == Operation::Restore;
        step_ = "Loading the league";
        const ImportedLeague league = LoadFromTheTruth();
        const TruthFirst& start = *start_;

        // The new .pot is made where it will be put in place, beside the
        // league under a name of its own (Commit.h): a copy of the working
        // database with the true potentials, and then the record of what the
        // run wrote, written into that very file, so its bytes are written
        // once. (The database engine works on the open file alone, and makes
        // no file of its own in the league's folder.)
        const bool newPot = Writes() && potWritable_;
        std::optional<Commit> commit;
        if (Writes()) commit.emplace(files_.folder, files_.pyr, files_.pot);
        if (newPot && !facts_.resultIsTheTruth) KeepTruePotentials(*commit);
        const std::int64_t operated = RunOperation();
        if (newPot && facts_.resultIsTheTruth) KeepTruePotentials(*commit);

        step_ = "Saving the league";
        Outcome outcome;
        std::optional<WrittenRecord> record;
        if (newPot) record.emplace(commit->NewPot());
        SaveOptions save;
        save.report = [&](std::int64_t slot) { return start.Tavrins(slot); };
        save.onPlayer = [&](const SavedPlayer& p) {
            if (record)
                record->Add(WrittenOf(p, facts_.resultIsTheTruth ? PotentialsOf(p.after) : start.TruthOf(p.slot)));
            if (p.changed && request_.listChanges) outcome.changes.push_back(ChangeOf(p));
        };
        const SaveResult saved = SaveLeague(state_, league, commit ? &commit->NewPlayerFile() : nullptr, save);

        outcome.players = league.players;
        outcome.changed = restore ? saved.changed : operated;
        outcome.message = Summary(outcome, start);
        if (!Writes()) return outcome;

        HistoryRun run;
        run.operation = facts_.name;
        run.players = league.players;
        // The history tells how many players' records the run changed, which
        // its list of changes shows one by one (a Hide of players hidden
        // already changes none of theirs).
        run.changed = saved.changed;
        run.summary = outcome.message;
        run.savedFingerprint = saved.fingerprint;
        if (record) {
            record->Finish({std::string(facts_.name), NowUtc(), league.fingerprint, saved.fingerprint});
            record.reset();
            // Read back as the next run will read it: one that cannot be read
            // stops this run before the league changes.
            if (const auto problem = WrittenRecord::ProblemWith(commit->NewPot()))
                throw Error("The true potentials were kept in " + PathText(commit->NewPot().Path()) + ", but " +
                            *problem + ", so a later run could not read them");
        }
        outcome.historyRun = FinishRun(files_, *commit, run, league.read, request_.historyRuns);
        return outcome;
    }

    // The league loaded into the working database, every player with his
    // true potentials as the league's .pot knows them (Hide, Randomize, a
    // Restore from another file), or with what Restore puts back noted.
    // A .pot Tavrin cannot read completely is never believed: Hide and
    // Randomize are refused; a Restore from one whose record is at fault
    // takes every saved player's potentials, as from a .pot without a record;
    // a Restore from another file starts from the potentials the file holds.
    ImportedLeague LoadFromTheTruth() {
        const bool restore = request_.operation == Operation::Restore;
        const bool fromFile = restore && !request_.restoreFrom.empty();
        fs::path own = files_.paths.potFile;
        bool everySaved = false;
        std::error_code ec;
        const auto bytes = fs::file_size(files_.paths.playerFile, ec);
        const auto players = ec ? 0 : static_cast<std::int64_t>(bytes / kRecordLenL02);
        for (;;) {
            try {
                if (fromFile) from_.emplace(request_.restoreFrom, TruthFirst::Use::Restore, true);
                start_.emplace(own, restore && !fromFile ? TruthFirst::Use::Restore : TruthFirst::Use::StartFrom,
                               everySaved);
                const RecordHook first = start_->Hook(players);
                const RecordHook hook = !from_ ? first : [&, second = from_->Hook(players)](std::int64_t slot, std::span<std::uint8_t> plain) {
                    second(slot, plain);  // what the file holds, before the truth comes back
                    first(slot, plain);
                };
                ImportedLeague league = ImportLeague(state_, files_.paths.playerFile, RecordKind::L02, hook);
                if (from_) from_->Finish(state_);
                start_->Finish(state_);
                return league;
            } catch (const UnreadableSavedPotentials& e) {
                const bool ofOwn = e.Pot() == own && !own.empty();
                if (!ofOwn || (!restore))
                    throw Refusal(ofOwn ? CannotTrustText(e.what())
                                        : "Cannot restore the potentials from " + PathText(e.Pot()) + ": " + e.what() + ".");
                if (fromFile) own.clear();  // the file holds what it holds
                else if (e.InRecord() && !everySaved) everySaved = true;
                else throw Refusal("Cannot restore the potentials from " + PathText(own) + ": " + e.what() + ".");
            }
        }
    }

    std::string CannotTrustText(const std::string& problem) const {
        const std::string pot = FileName(files_.paths.potFile), pyr = FileName(files_.paths.playerFile);
        std::string verb(facts_.word);
        return "Cannot " + verb + " the potentials: " + pot + ", which keeps the true potentials, cannot be read " +
               "completely: " + problem + ". Tavrin will not take what " + pyr + " holds for the true potentials. " +
               "Undo the last run from the league's history to bring back a pair of files that belong together, or " +
               "move " + pot + " out of the league's folder to start from the potentials " + pyr + " holds now.";
    }

    // The players as they are now, with their true potentials, become the new
    // .pot: a copy of the working database.
    void KeepTruePotentials(Commit& commit) {
        step_ = "Keeping the true potentials";
        CopyWorkingDatabase(state_, commit.NewPot());
    }

    // Runs the chosen operation on the working database; how many players it
    // took.
    std::int64_t RunOperation() {
        inOperation_ = true;
        step_ = std::string(facts_.step);
        std::int64_t players = 0;
        switch (request_.operation) {
            case Operation::Hide: players = HidePots(state_, *request_.yearsLimit); break;
            case Operation::Randomize: players = RandomizePots(state_, random_); break;
            case Operation::Restore: players = RestorePots(state_, (from_ ? *from_ : *start_).Targets()); break;
            case Operation::Undo: break;
        }
        inOperation_ = false;
        return players;
    }

    std::string Summary(const Outcome& o, const TruthFirst& start) const {
        std::string line = std::string(request_.dryRun ? facts_.wouldDo : facts_.did) + " the potentials of " +
                           std::to_string(o.changed) + " of " + std::to_string(o.players) + " players in " +
                           FileName(files_.paths.playerFile);
        const TruthFirst& restored = from_ ? *from_ : start;
        if (request_.operation == Operation::Restore) {
            line += " from " + FileName(SavedSource());
            if (from_) line += StartedFrom(start);
            if (!restored.HasRecord() && !from_)
                line += " (it holds no record of what Tavrin wrote: every saved player's potentials were taken)";
            if (restored.GameChanged() > 0 && !from_)
                line += "; kept " + Counted(restored.GameChanged(), "potential") +
                        " the game or the owner changed since Tavrin saved them";
            if (restored.Unsaved() > 0)
                line += "; " + Counted(restored.Unsaved(), "player") + " with no saved potentials" +
                        (from_ ? " in " + FileName(SavedSource()) : std::string(" (new since)")) + " kept " +
                        (restored.Unsaved() == 1 ? "his" : "theirs");
        } else {
            line += StartedFrom(start);
            if (!request_.dryRun) line += "; true potentials saved in " + FileName(files_.paths.potFile);
        }
        if (request_.dryRun) line += kDryRunNote;
        return line;
    }

    // ", starting from the true potentials of 40 players saved by Hide on …",
    // where the league's .pot gave any back.
    static std::string StartedFrom(const TruthFirst& start) {
        if (start.BroughtBack() == 0 || !start.Saved()) return {};
        return ", starting from the true potentials of " + std::to_string(start.BroughtBack()) + " players saved by " +
               start.Saved()->operation + " on " + LocalTimeText(start.Saved()->savedAt);
    }

    Outcome UnknownTag(const std::string& tag) const {
        Outcome o;
        o.kind = Outcome::Kind::NothingToDo;
        o.message = NotALeagueText(request_.league, tag) + " " + std::string(kNothingChanged);
        return o;
    }

    const Request& request_;
    const OperationFacts& facts_;
    const ProgramState& state_;
    RandomSource& random_;
    LeagueFiles files_;
    std::string step_;
    bool inOperation_ = false;
    bool noYearsChosen_ = false;
    bool potWritable_ = true;
    // The truth of the league's .pot, and for a Restore from another file
    // what that file puts back.
    std::optional<TruthFirst> start_, from_;
};

}  // namespace

std::optional<std::string> ProblemWithRequest(const Request& request) {
    if (request.operation == Operation::Hide && !request.yearsLimit) return std::string(kSelectYears);
    return std::nullopt;
}

Outcome RunLeague(const Request& request, const ProgramState& state, RandomSource& random) {
    return LeagueRun(request, state, random).Run();
}

}  // namespace tavrin::run
