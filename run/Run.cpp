#include "run/Run.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <vector>

#include "base/Error.h"
#include "league/Clock.h"
#include "league/Fingerprint.h"
#include "league/Platform.h"
#include "league/PlayerFile.h"
#include "league/FormatTag.h"
#include "pots/SavedPotentials.h"
#include "pots/Hide.h"
#include "pots/Randomize.h"
#include "pots/Restore.h"
#include "run/Commit.h"
#include "run/History.h"
#include "run/Messages.h"
#include "run/RunLocks.h"

namespace tavrin::run {

namespace fs = std::filesystem;

namespace {

std::string FileName(const fs::path& p) { return PathText(p.filename()); }


// The league's folder, opened, and the names of the league's files in it.
struct LeagueFiles {
    platform::Folder folder;
    fs::path lge, pyr, pot, history;
};

// "X is a symbolic link to Y": a link is never followed, and the user can
// open the league where it really is.
std::string LinkText(const platform::Folder& folder, const fs::path& name) {
    return PathText(folder.PathOf(name)) + " is a symbolic link to " + PathText(folder.LinkTarget(name)) +
           "; Tavrin never writes through a link: open the league where it really is";
}

// What the save of the new player file hands the new .pot: a row for each
// player whose potentials in the file are, or were when the run read it,
// Tavrin's.
WrittenPlayer WrittenOf(const SavedPlayer& p) {
    return {p.slot, p.after[OffsetOf(Col::PID_a)], p.after[OffsetOf(Col::PID_b)], PotentialsOf(p.after),
            PotentialsOf(p.before)};
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

// Every player's true potentials, found as the import reads him: where his
// potentials in the player file are still the ones Tavrin wrote (or read)
// last, those the .pot saved for him; anyone else's own.
class TrueStart {
public:
    // `bringBack`: whether the import takes the saved ones (Hide, Randomize),
    // or only counts (Restore, which overwrites every player's anyway).
    TrueStart(const fs::path& pot, const fs::path& pyr, bool bringBack) : saved_(pot, pyr), bringBack_(bringBack) {}

    RecordHook Hook() {
        return [this](std::int64_t slot, std::span<std::uint8_t> plain) {
            const SavedTruth::Player* row = saved_.At(slot);
            const bool tavrins = row && saved_.IsTavrins(*row, plain);
            tavrins_.push_back(tavrins);
            if (!tavrins) {
                changedSince_ += row != nullptr;
                return;
            }
            if (PotentialsOf(plain) == row->truth) return;
            ++broughtBack_;
            if (bringBack_) SetPotentials(plain, row->truth);
        };
    }
    // Whether the player of this slot had Tavrin's potentials in the file.
    bool Tavrins(std::int64_t slot) const {
        const auto i = static_cast<std::size_t>(slot - 1);
        return i < tavrins_.size() && tavrins_[i];
    }
    const std::optional<SavedRun>& Saved() const { return saved_.Run(); }
    std::int64_t BroughtBack() const { return broughtBack_; }
    std::int64_t ChangedSince() const { return changedSince_; }

private:
    SavedTruth saved_;
    bool bringBack_;
    std::vector<bool> tavrins_;  // by slot
    std::int64_t broughtBack_ = 0, changedSince_ = 0;
};

class LeagueRun {
public:
    LeagueRun(const Request& request, ProgramState& state, RandomSource& random)
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
        if (request_.operation == Operation::Hide && !request_.yearsLimit) {
            noYearsChosen_ = true;
            throw Refusal(std::string(kSelectYears));
        }
        step_ = "Reading the league file";
        OpenLeague();
        CheckForLinks();
        if (Writes()) CheckNamesAndFolder();

        // A dry run writes nothing of the league's, so it locks only the
        // working database it rebuilds.
        const platform::Folder working = WorkingFolder();
        const RunLocks locks(working, state_.WorkingDatabasePath().filename(), Writes() ? &files_.folder : nullptr,
                             files_.lge);

        if (request_.operation == Operation::Undo) {
            CheckBeforeAnyChange();
            if (Writes()) RemoveLeftOvers();
            return Undo();
        }
        std::string tag;
        const LeagueFormat format = ReadFormatTag(request_.league, &tag);
        if (format == LeagueFormat::Unknown) return UnknownTag(tag);
        step_ = "Loading the league";
        if (format == LeagueFormat::L03) {
            const ImportedLeague league = ImportLeague(state_, paths_.playerFile, RecordKind::L03);
            Outcome o;
            o.loadedOnly = true;
            o.players = league.players;
            o.message = "Loaded the " + std::to_string(league.players) + " players of " + FileName(paths_.playerFile) +
                        " (a league of the L03 format: loaded only, nothing was changed)";
            return o;
        }
        CheckBeforeAnyChange();
        if (Writes()) RemoveLeftOvers();
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

    // The league file itself: chosen in a dialog it exists, but a path from
    // the command line or a drop may name anything.
    void OpenLeague() {
        const fs::path& league = request_.league;
        CheckLeagueFile(league);
        files_.folder = platform::Folder::Open(league.parent_path());
        files_.lge = league.filename();
        paths_ = LeaguePaths::Of(league);
        files_.pyr = paths_.playerFile.filename();
        files_.pot = paths_.potFile.filename();
        files_.history = paths_.history.filename();
    }

    // The names the run will write under must fit the file system, and the
    // .pot's path SQLite's limit, or the run would stop after its first
    // change. Run by the administrator, the league's folder must be one no
    // other user can change under it (the rule logrotate keeps): someone who
    // can could otherwise point the run at any file of the system.
    void CheckNamesAndFolder() {
        constexpr std::size_t kSqlitePathLimit = 511;  // bytes of UTF-8, the terminator aside
        const auto cannot = [&](const std::string& why) {
            throw Refusal("Cannot work on " + PathText(request_.league) + ": " + why + ".");
        };
        for (const fs::path& name : {Commit::NewName(files_.pyr), Commit::NewName(files_.pot), files_.history})
            if (platform::NameLength(name) > platform::kMaxNameLength)
                cannot("the name " + PathText(name) + " that Tavrin must write beside the league is longer than " +
                       std::to_string(platform::kMaxNameLength) + " characters; give the league a shorter name");
        if (History::LongestEntryName() > platform::kMaxNameLength) cannot("its history's names are too long");
        std::error_code ec;
        const fs::path pot = fs::absolute(paths_.potFile, ec);
        if (pot.u8string().size() > kSqlitePathLimit)
            cannot("the path " + PathText(pot) + " is longer than the database engine accepts (" +
                   std::to_string(kSqlitePathLimit) + " bytes); move the league to a shorter folder");

        if (!platform::RunningAsAdministrator()) return;
        const platform::FileInfo folder = files_.folder.Info();
        const std::string where = "its folder " + PathText(files_.folder.Path());
        if (folder.owner != 0)
            cannot(where + " belongs to another user, who could make a run of the administrator change files "
                           "elsewhere; run Tavrin as that user");
        if ((folder.permissions & 022) != 0 && (folder.permissions & 01000) == 0)
            cannot(where + " can be written by other users, who could make a run of the administrator change files "
                           "elsewhere; make it writable by its owner only");
    }

    // A link where a league's file or its history should be is refused
    // first, before the run makes so much as a lock file beside it.
    void CheckForLinks() const {
        const platform::Folder& folder = files_.folder;
        for (const fs::path& name : {files_.pyr, files_.pot, files_.history})
            if (folder.Info(name).kind == platform::Kind::Link)
                throw Refusal("Cannot change the league: " + LinkText(folder, name) + ".");
    }

    // Everything else that can be checked before the first change.
    void CheckBeforeAnyChange() {
        step_ = "Checking the league's files";
        const auto refuse = [](const std::string& why) { throw Refusal("Cannot change the league: " + why + "."); };
        const platform::Folder& folder = files_.folder;
        if (request_.operation == Operation::Restore) {
            const fs::path from = SavedSource();
            if (const auto problem = ProblemWithSavedPotentials(from))
                throw Refusal("Cannot restore the potentials from " + PathText(from) + ": " + *problem + ".");
        }
        if (!Writes()) return;
        CheckForLinks();  // again, under the league's lock
        const auto replaceable = [&](const fs::path& name, bool required) {
            const platform::FileInfo info = folder.Info(name);
            const std::string path = PathText(folder.PathOf(name));
            if (!info.Exists()) {
                if (required) throw Refusal("Cannot load the league: its player file " + path + " does not exist.");
                return true;
            }
            if (info.kind != platform::Kind::Regular) refuse(path + ": it is not a regular file");
            return info.WritableByItsBits();
        };
        if (!replaceable(files_.pyr, true)) refuse(PathText(folder.PathOf(files_.pyr)) + ": the file is read-only");
        // A Restore leaves a read-only .pot as it is; every other run replaces it.
        potWritable_ = replaceable(files_.pot, false);
        if (!potWritable_ && request_.operation != Operation::Restore)
            refuse(PathText(folder.PathOf(files_.pot)) + ": the file is read-only");

        const platform::FileInfo history = folder.Info(files_.history);
        const std::string path = PathText(folder.PathOf(files_.history));
        if (history.Exists()) {
            if (history.kind != platform::Kind::Folder) refuse("its history " + path + " is not a folder");
            // Made by this user, or by the folder's owner: nobody else's.
            if (history.owner != folder.Info().owner && history.owner != platform::CurrentUser())
                refuse("its history " + path + " belongs to another user than the league's folder");
            if (!folder.OpenFolder(files_.history)->CanWrite()) refuse("Tavrin cannot write in its history " + path);
        }
        if (!folder.CanWrite()) refuse("Tavrin cannot write in the league's folder " + PathText(folder.Path()));
    }

    // New files a run that was killed part-way left beside the league's files
    // and in its history: up to the size of the league each, and no other run
    // can be writing them while this one holds the league's lock. (A run
    // replaces a file only through such a name, so the file itself is whole.)
    void RemoveLeftOvers() {
        for (const fs::path& name : {files_.pyr, files_.pot}) files_.folder.Remove(Commit::NewName(name));
        if (const auto history = files_.folder.OpenFolder(files_.history)) HistoryWriter::RemoveLeftOvers(*history);
    }

    fs::path SavedSource() const { return request_.restoreFrom.empty() ? paths_.potFile : request_.restoreFrom; }

    // --- Hide, Randomize, Restore ---

    Outcome Operate() {
        const bool restore = request_.operation == Operation::Restore;
        step_ = "Loading the league";
        TrueStart start(SavedSource(), paths_.playerFile, !restore);
        const ImportedLeague league = ImportLeague(state_, paths_.playerFile, RecordKind::L02, start.Hook());

        // The new .pot is made in the working folder (the database engine
        // writes nothing in the league's), and goes with the run.
        const bool newPot = Writes() && potWritable_;
        const struct RemovedAtTheEnd {
            fs::path file;
            ~RemovedAtTheEnd() {
                std::error_code ec;
                fs::remove(file, ec);
            }
        } workingPot{WorkingPot()};
        if (newPot && !facts_.resultIsTheTruth) KeepTruePotentials();
        const std::int64_t operated = RunOperation();
        if (newPot && facts_.resultIsTheTruth) KeepTruePotentials();

        step_ = "Saving the league";
        Outcome outcome;
        std::optional<Commit> commit;
        if (Writes()) commit.emplace(files_.folder, files_.pyr, files_.pot);
        std::optional<WrittenRecord> record;
        if (newPot) record.emplace(WorkingPot());
        SaveOptions save;
        save.report = [&](std::int64_t slot) { return start.Tavrins(slot); };
        save.onPlayer = [&](const SavedPlayer& p) {
            if (record) record->Add(WrittenOf(p));
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
        run.changed = outcome.changed;
        run.summary = outcome.message;
        run.savedFingerprint = saved.fingerprint;
        if (record) {
            record->Finish({std::string(facts_.name), NowUtc(), league.fingerprint, saved.fingerprint});
            record.reset();
            platform::File pot = platform::Folder::Open(state_.workingFolder).OpenToRead(WorkingPot().filename());
            commit->NewPot().AppendCopyOf(pot);
        }
        Finish(*commit, run, league.read, outcome);
        return outcome;
    }

    fs::path WorkingPot() const { return state_.workingFolder / "Temp.pot"; }

    // The players as they are now, with their true potentials, become the new
    // .pot: a copy of the working database, in the working folder, opened as
    // a Restore will open it, so that one that cannot be read stops the run
    // before the league changes.
    void KeepTruePotentials() {
        step_ = "Keeping the true potentials";
        const platform::Folder working = platform::Folder::Open(state_.workingFolder);
        working.Remove(WorkingPot().filename());
        std::optional<platform::File> copy = working.CreateNew(WorkingPot().filename());
        if (!copy) throw Error("Cannot write " + PathText(WorkingPot()) + ": the name is taken");
        CopyWorkingDatabase(state_, *copy);
        copy->Close();
        if (const auto problem = ProblemWithSavedPotentials(WorkingPot()))
            throw Error("The true potentials were kept in " + PathText(WorkingPot()) + ", but " +
                                            *problem + ", so a later Restore could not read them");
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
            case Operation::Restore: RestorePots(state_, SavedSource()); break;
            case Operation::Undo: break;
        }
        inOperation_ = false;
        return players;
    }

    std::string Summary(const Outcome& o, const TrueStart& start) const {
        std::string line = std::string(request_.dryRun ? facts_.wouldDo : facts_.did) + " the potentials of " +
                           std::to_string(o.changed) + " of " + std::to_string(o.players) + " players in " +
                           FileName(paths_.playerFile);
        if (request_.operation == Operation::Restore) {
            line += " from " + FileName(SavedSource());
            if (start.ChangedSince() > 0 && request_.restoreFrom.empty())
                line += "; " + std::to_string(start.ChangedSince()) +
                        " of them had potentials the game or the owner changed since Tavrin wrote them (restored "
                        "anyway)";
        } else {
            if (start.BroughtBack() > 0 && start.Saved())
                line += ", starting from the true potentials of " + std::to_string(start.BroughtBack()) +
                        " players saved by " + start.Saved()->operation + " on " +
                        LocalTimeText(start.Saved()->savedAt);
            if (!request_.dryRun) line += "; true potentials saved in " + FileName(paths_.potFile);
        }
        if (request_.dryRun) line += " (dry run: no file was changed)";
        return line;
    }

    // --- Undo ---

    // Brings back the player file and the .pot as they were before a run of
    // the history: itself a run, kept as any other, so it can be undone.
    Outcome Undo() {
        step_ = "Reading the league's history";
        const History history(request_.league);
        const std::vector<HistoryRun> runs = history.Runs();
        const auto target = std::find_if(runs.rbegin(), runs.rend(), [&](const HistoryRun& r) {
            return request_.undoTo == 0 || r.number == request_.undoTo;
        });
        if (target == runs.rend())
            throw Refusal(runs.empty() ? "There is nothing to undo: the history " + PathText(history.Folder()) +
                                             " holds no run of Tavrin's."
                                       : "The history " + PathText(history.Folder()) + " holds no run number " +
                                             std::to_string(request_.undoTo) + ".");
        if (target->keptPyr.empty())
            throw Refusal("Run " + std::to_string(target->number) + " of the history kept no player file to bring back.");

        const platform::Folder kept = *files_.folder.OpenFolder(files_.history);
        const platform::FileInfo pyrAsRead = files_.folder.Info(files_.pyr);
        step_ = std::string(facts_.step);
        std::optional<Commit> commit;
        if (Writes()) commit.emplace(files_.folder, files_.pyr, files_.pot);
        Outcome outcome;
        HistoryRun run;
        {
            platform::File from = kept.OpenToRead(target->keptPyr);
            platform::File now = files_.folder.OpenToRead(files_.pyr);
            run.savedFingerprint = CopyCounting(from, now, commit ? &commit->NewPlayerFile() : nullptr, outcome);
        }
        const bool removesPot = target->keptPot.empty() && target->potWasMissing && files_.folder.Info(files_.pot).Exists();
        if (commit && !target->keptPot.empty()) {
            platform::File from = kept.OpenToRead(target->keptPot);
            commit->NewPot().AppendCopyOf(from);
        } else if (commit && removesPot) {
            commit->RemovePot();
        }
        const std::string pyr = FileName(paths_.playerFile), pot = FileName(paths_.potFile);
        const std::string before = " before run " + std::to_string(target->number) + " (" + target->operation + " on " +
                                   LocalTimeText(target->time) + ")";
        outcome.message = std::string(request_.dryRun ? facts_.wouldDo : facts_.did) + " " +
                          (!target->keptPot.empty() ? pyr + " and " + pot + " as they were" + before
                           : removesPot ? pyr + " as it was" + before + ", and " +
                                              (request_.dryRun ? "remove " : "removed ") + pot + ", which that run made"
                                        : pyr + " as it was" + before) +
                          ": " + std::to_string(outcome.changed) + " of " + std::to_string(outcome.players) +
                          " players changed";
        if (request_.dryRun) {
            outcome.message += " (dry run: no file was changed)";
            return outcome;
        }
        run.operation = facts_.name;
        run.undid = target->number;
        run.players = outcome.players;
        run.changed = outcome.changed;
        run.summary = outcome.message;
        Finish(*commit, run, pyrAsRead, outcome);
        return outcome;
    }

    // Copies `from` into `to`, its fingerprint taken on the way, and counts
    // the player records in which it differs from `now`.
    static std::string CopyCounting(platform::File& from, platform::File& now, platform::File* to, Outcome& counts) {
        constexpr std::size_t R = kRecordLenL02;
        std::vector<std::uint8_t> chunk(4096 * R), old(4096 * R);
        Fingerprint fingerprint;
        std::int64_t offset = 0;
        for (;;) {
            const std::size_t n = from.Read(chunk);
            if (n == 0) break;
            const std::size_t m = now.Read(std::span(old).first(n));
            for (std::size_t at = 0; at + R <= n; at += R) {
                if (offset + static_cast<std::int64_t>(at) < static_cast<std::int64_t>(R)) continue;  // the header
                ++counts.players;
                counts.changed += at + R > m || std::memcmp(&chunk[at], &old[at], R) != 0;
            }
            fingerprint.Add(std::span(chunk).first(n));
            if (to) to->Write(std::span(chunk).first(n));
            offset += static_cast<std::int64_t>(n);
        }
        return fingerprint.Text();
    }

    // --- The end of a run that writes ---

    void Finish(Commit& commit, HistoryRun& run, const platform::FileInfo& pyrAsRead, Outcome& outcome) {
        step_ = "Saving the league";
        HistoryWriter history(files_.folder, files_.history);
        commit.Apply(history, run, pyrAsRead);
        outcome.historyRun = run.number;
        for (const fs::path& name : {run.keptPyr, run.keptPot})
            if (!name.empty()) outcome.kept.push_back(history.Folder().PathOf(name));
        history.Prune(request_.historyRuns);
    }

    Outcome UnknownTag(const std::string& tag) const {
        Outcome o;
        o.kind = Outcome::Kind::NothingToDo;
        o.message = NotALeagueText(request_.league, tag) + " " + std::string(kNothingChanged);
        return o;
    }

    const Request& request_;
    const OperationFacts& facts_;
    ProgramState& state_;
    RandomSource& random_;
    LeaguePaths paths_;
    LeagueFiles files_;
    std::string step_;
    bool inOperation_ = false;
    bool noYearsChosen_ = false;
    bool potWritable_ = true;
};

}  // namespace

Outcome RunLeague(const Request& request, ProgramState& state, RandomSource& random) {
    return LeagueRun(request, state, random).Run();
}

}  // namespace tavrin::run
