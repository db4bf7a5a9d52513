#pragma once

// Every player's true potentials, found as the import reads him: the run's
// use of the .pot (SavedTruth.h).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "league/PlayerFile.h"
#include "league/ProgramState.h"
#include "pots/SavedTruth.h"

namespace tavrin {

// Every player's true potentials, found as the import (PlayerFile.h) reads him.
class TruthFirst {
public:
    enum class Use {
        StartFrom,  // Hide, Randomize: the import takes each player's true potentials
        Restore,    // Restore: what the import reads stays; Targets() says what goes back
    };
    // A .pot that cannot be read completely is an UnreadableSavedPotentials
    // naming it (from here, the hook or Finish). For a Restore, `everySaved`
    // reads it as one without a record: each saved player's potentials go
    // back, whatever the file holds.
    TruthFirst(const std::filesystem::path& pot, Use use, bool everySaved = false);

    // For the import: sees each record, and with StartFrom gives a player
    // whose potentials are Tavrin's his true ones back. `players`, where
    // known, is how many records the file holds: what is kept of each is
    // set aside once, never grown and copied (a million players' truths are
    // 8 MB).
    RecordHook Hook(std::int64_t players = 0);
    // After the import: the players the game moved, found by identity; with
    // StartFrom their true potentials set in the working database.
    void Finish(const ProgramState& state);

    // Whether the player of this slot had potentials of Tavrin's in the file.
    bool Tavrins(std::int64_t slot) const;
    // The true potentials of the player of this slot, as the league loaded.
    Potentials TruthOf(std::int64_t slot) const;
    // The run that saved the truth, where the .pot says.
    const std::optional<SavedRun>& Saved() const { return saved_.Run(); }
    bool HasRecord() const { return saved_.HasRecord(); }
    // Players whose true potentials differ from the file's.
    std::int64_t BroughtBack() const { return broughtBack_; }
    // Potentials someone else changed since they were saved, kept.
    std::int64_t GameChanged() const { return gameChanged_; }
    // Players with no saved row (with Rows::Every: new since).
    std::int64_t Unsaved() const { return unsaved_; }

    // Restore: each player's potentials to put back, by slot (slot k at k-1);
    // none where they stay as the file holds them.
    RestoreTargets Targets() const { return {restoring_, truth_}; }

private:
    // His true potentials, counted and kept for the save and a Restore.
    Potentials Judged(std::int64_t slot, const SavedRow& row, const Potentials& now);

    // Runs `step`, naming the .pot in what it throws.
    template <typename Step>
    auto Naming(Step&& step) -> decltype(step());
    static SavedTruth Open(const std::filesystem::path& pot, Use use, bool everySaved);

    std::filesystem::path pot_;
    SavedTruth saved_;
    Use use_;
    bool everySaved_;
    std::vector<bool> tavrins_, matched_;            // by slot
    std::vector<Potentials> truth_;                  // by slot
    std::vector<bool> restoring_;                    // Restore: whose truth goes back
    std::int64_t broughtBack_ = 0, gameChanged_ = 0, unsaved_ = 0;
};

}  // namespace tavrin
