#pragma once

// Putting a run's new files in place, together.
//
// The new player file and the new .pot are written beside the league's
// under names of their own ("Demo.pyr.tavrin-new", "Demo.pot.tavrin-new"),
// made anew, never through a link. Then, in this order:
//   1. both are flushed to the disk, with the owner and permissions of the
//      files they replace;
//   2. the files they replace are kept in the league's history and the run is
//      written down there, and the history's folder flushed;
//   3. the player file is looked at once more: it must still be the very file
//      the run read (the game may have saved the league meanwhile);
//   4. the .pot is renamed into place, then the player file (for an undo the
//      other way round), and the league's folder flushed;
//   5. the player file that was replaced is looked at again: had the game
//      written it during the commit, its file is put back, with the old .pot,
//      and the run is refused: nothing of it applies.
// A kill at any moment leaves the old pair, or the old player file with the
// new .pot (whose record names what the old one holds too, so the next run
// still finds the true potentials), or the new pair. Whatever fails, the
// league is left as it was and nothing of the run stays in its history.

#include <filesystem>
#include <optional>

#include "platform/Platform.h"
#include "run/History.h"

namespace tavrin::run {

class Commit {
public:
    // A commit of new files for the player file `pyr` and the .pot `pot`,
    // names in the league's `folder`.
    Commit(const platform::Folder& folder, std::filesystem::path pyr, std::filesystem::path pot);
    // New files not put in place are removed.
    ~Commit();
    Commit(const Commit&) = delete;
    Commit& operator=(const Commit&) = delete;

    // The new player file, made empty on the first call.
    platform::File& NewPlayerFile();
    // The new .pot, made empty on the first call.
    platform::File& NewPot();
    // Instead of a new .pot: the league's goes (kept in the history).
    void RemovePot();
    // The player file is put in place before the .pot, not after: for an
    // undo, whose old player file is the one the .pot it replaces was saved
    // with (a run cut short between the two is finished by the next run,
    // Undo.h).
    void SetPlayerFileFirst() { playerFileFirst_ = true; }

    // Puts the new files in place as above, keeping what they replace for
    // `run` (whose number, time and kept names it sets) in `history`.
    // `pyrAsRead` is the player file as the run read it.
    void Apply(HistoryWriter& history, HistoryRun& run, const platform::FileInfo& pyrAsRead);

    // The name a new file is written under, beside the file it replaces.
    static std::filesystem::path NewName(const std::filesystem::path& name);

private:
    platform::File& Made(std::optional<platform::File>& file, const std::filesystem::path& name);
    void Keep(HistoryWriter& history, HistoryRun& run, bool potExists);
    void PutPlayerFileInPlace(HistoryWriter& history, const HistoryRun& run, const platform::FileInfo& pyrAsRead);
    void PutPotBack(HistoryWriter& history, const HistoryRun& run, bool potExisted);
    // The new .pot renamed into place, or the league's removed; whether
    // anything changed.
    bool PutPotInPlace(bool potExists);
    void SyncFolderInPlace();

    const platform::Folder& folder_;
    std::filesystem::path pyr_, pot_;
    std::optional<platform::File> newPyr_, newPot_;
    bool removePot_ = false;
    bool playerFileFirst_ = false;
};

}  // namespace tavrin::run
