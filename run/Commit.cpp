#include "run/Commit.h"

#include "base/Error.h"
#include "platform/Fingerprint.h"
#include "league/PlayerFile.h"

namespace tavrin::run {

namespace fs = std::filesystem;

namespace {

// Tries of a run's number whose names someone else took meanwhile.
constexpr int kNamingTries = 16;

[[noreturn]] void ChangedDuringTheSave(const fs::path& pyr) {
    throw Refusal("Cannot save the league to " + PathText(pyr) +
                  ": the file changed while Tavrin saved it (did the game save it meanwhile?).\n\n"
                  "The player file keeps the game's contents and the .pot its own; nothing of this run was "
                  "applied. Run Tavrin on it again.");
}

}  // namespace

Commit::Commit(const platform::Folder& folder, fs::path pyr, fs::path pot)
    : folder_(folder), pyr_(std::move(pyr)), pot_(std::move(pot)) {}

Commit::~Commit() {
    // Whatever was not put in place goes; the league's own files stay.
    for (auto* file : {&newPyr_, &newPot_})
        if (file->has_value()) {
            const fs::path name = (*file)->Path().filename();
            *file = std::nullopt;
            try {
                folder_.Remove(name);
            } catch (const Error&) {
                // Left for the next run, which removes it before it starts.
            }
        }
}

fs::path Commit::NewName(const fs::path& name) {
    fs::path p = name;
    p += platform::kNewSuffix;
    return p;
}

platform::File& Commit::Made(std::optional<platform::File>& file, const fs::path& name) {
    if (file) return *file;
    file = folder_.CreateNew(NewName(name));
    // The run removed what a killed run left; someone made it since.
    if (!file) throw Error("Cannot write " + PathText(folder_.PathOf(NewName(name))) + ": the name is taken");
    return *file;
}

platform::File& Commit::NewPlayerFile() { return Made(newPyr_, pyr_); }

platform::File& Commit::NewPot() { return Made(newPot_, pot_); }

void Commit::RemovePot() { removePot_ = true; }

void Commit::Apply(HistoryWriter& history, HistoryRun& run, const platform::FileInfo& pyrAsRead) {
    // 1. Whole and on the disk, with the owner and permissions the files
    // they replace have now.
    const platform::FileInfo pyrBefore = folder_.Info(pyr_), potBefore = folder_.Info(pot_);
    for (auto [file, old] : {std::pair{&newPyr_, &pyrBefore}, std::pair{&newPot_, &potBefore}}) {
        if (!*file) continue;
        if (old->Exists()) (*file)->TakeOwnerAndPermissionsOf(*old);
        (*file)->Sync();
    }

    // 2. What they replace, kept; the run, written down.
    Keep(history, run, potBefore.Exists());

    try {
        // 3. The last look before the player file is replaced.
        if (!folder_.Info(pyr_).Unchanged(pyrAsRead)) RefuseChangedSinceLoaded(folder_.PathOf(pyr_));

        // 4. The .pot first, whose record still names what the old player
        // file holds, should the player file then fail; or, for an undo, the
        // player file first (see SetPlayerFileFirst).
        if (playerFileFirst_) {
            PutPlayerFileInPlace(history, run, pyrAsRead);
            try {
                PutPotInPlace(potBefore.Exists());
            } catch (...) {
                history.Folder().Rename(run.keptPyr, folder_, pyr_);
                throw;
            }
        } else {
            const bool potChanged = PutPotInPlace(potBefore.Exists());
            try {
                PutPlayerFileInPlace(history, run, pyrAsRead);
            } catch (...) {
                if (potChanged) PutPotBack(history, run, potBefore.Exists());
                throw;
            }
        }
    } catch (...) {
        history.Forget(run);
        throw;
    }
    SyncFolderInPlace();
}

bool Commit::PutPotInPlace(bool potExists) {
    if (newPot_) {
        newPot_->Close();
        folder_.Rename(NewName(pot_), folder_, pot_);
        newPot_ = std::nullopt;
        return true;
    }
    if (removePot_ && potExists) {
        folder_.Remove(pot_);
        return true;
    }
    return false;
}

void Commit::Keep(HistoryWriter& history, HistoryRun& run, bool potExists) {
    const bool replacesPot = potExists && (newPot_ || removePot_);
    for (int tries = 0;; ++tries) {
        if (tries == kNamingTries)
            throw Error("Cannot keep the replaced files in " + PathText(history.Folder().Path()) +
                                            ": the names Tavrin picks are taken");
        history.Name(run);
        if (!replacesPot) run.keptPot.clear();
        run.potWasMissing = !potExists;
        // A name someone else took is left to him: the run takes the next
        // number, and removes only what it made itself.
        HistoryRun made = run;
        made.keptPyr.clear();
        made.keptPot.clear();
        if (history.Keep(folder_, pyr_, run.keptPyr)) {
            made.keptPyr = run.keptPyr;
            if (!replacesPot || history.Keep(folder_, pot_, run.keptPot)) {
                made.keptPot = run.keptPot;
                // What each kept file holds, so that an undo can tell that
                // it is still that file; the .pot a run leaves, likewise.
                run.keptPyrHeld = FingerprintOf(history.Folder(), run.keptPyr);
                run.keptPotHeld = replacesPot ? FingerprintOf(history.Folder(), run.keptPot) : FileFingerprint{};
                run.leftPot = potExists && !replacesPot ? FingerprintOf(folder_, pot_).text : std::string();
                if (history.Write(run)) break;
            }
        }
        history.Forget(made, /*record=*/false);
    }
    // On the disk before anything they keep is replaced.
    history.Sync();
}

void Commit::PutPlayerFileInPlace(HistoryWriter& history, const HistoryRun& run, const platform::FileInfo& pyrAsRead) {
    newPyr_->Close();
    const fs::path newName = NewName(pyr_);
    if (folder_.Exchange(newName, pyr_)) {
        // 5. The new name now holds the file replaced: the one the run read,
        // unless the game wrote or replaced it in between.
        newPyr_ = std::nullopt;
        if (!folder_.Info(newName).Unchanged(pyrAsRead)) {
            // The game's file back under its name; the run's own goes.
            if (folder_.Exchange(newName, pyr_)) folder_.Remove(newName);
            else folder_.Rename(newName, folder_, pyr_);
            ChangedDuringTheSave(folder_.PathOf(pyr_));
        }
        folder_.Remove(newName);  // kept in the history
        return;
    }
    if (!platform::kReplacesOpenFiles) {
        // Windows replaces no file that is open: the file replaced is looked
        // at once it has lost its name through its second name in the
        // history. (Where the history had to copy it instead, a write of the
        // game's between this last look and the rename cannot be seen.)
        const platform::FileInfo replaced = folder_.Info(pyr_);
        if (!replaced.Unchanged(pyrAsRead)) RefuseChangedSinceLoaded(folder_.PathOf(pyr_));
        folder_.Rename(newName, folder_, pyr_);
        newPyr_ = std::nullopt;
        const platform::FileInfo kept = history.Folder().Info(run.keptPyr);
        if (!kept.SameFile(replaced) || kept.Unchanged(pyrAsRead)) return;
        history.Folder().Rename(run.keptPyr, folder_, pyr_);
        ChangedDuringTheSave(folder_.PathOf(pyr_));
    }
    // Where names cannot be swapped: held open, the replaced file can still
    // be looked at once it has lost its name.
    platform::File replaced = folder_.OpenToRead(pyr_);
    if (!replaced.Info().Unchanged(pyrAsRead)) RefuseChangedSinceLoaded(folder_.PathOf(pyr_));
    folder_.Rename(newName, folder_, pyr_);
    newPyr_ = std::nullopt;
    if (replaced.Info().Unchanged(pyrAsRead)) return;
    // 5. Back: the history's second name of it, or a copy of it.
    if (history.Folder().Info(run.keptPyr).SameFile(replaced.Info())) {
        history.Folder().Rename(run.keptPyr, folder_, pyr_);
    } else {
        platform::File& back = NewPlayerFile();
        back.AppendCopyOf(replaced);
        back.Sync();
        back.Close();
        folder_.Rename(newName, folder_, pyr_);
        newPyr_ = std::nullopt;
    }
    ChangedDuringTheSave(folder_.PathOf(pyr_));
}

void Commit::PutPotBack(HistoryWriter& history, const HistoryRun& run, bool potExisted) {
    // The old .pot's second name in the history takes its place again.
    if (potExisted) history.Folder().Rename(run.keptPot, folder_, pot_);
    else folder_.Remove(pot_);
}

void Commit::SyncFolderInPlace() {
    // The folder's new entries on the disk. The new files are in place by
    // now, and the message must not let the user think otherwise.
    try {
        folder_.Sync();
    } catch (const Error& e) {
        throw Error(std::string(e.what()) + ". The new files are in place, but the system could not confirm that they "
                                            "are on the disk");
    }
}

}  // namespace tavrin::run
