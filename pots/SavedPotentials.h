#pragma once

// The saved-potentials file (X.pot) beside a league: the true potentials of
// every player, and what Tavrin last put in the player file.
//
// It is an SQLite database of three tables:
//   Players            every player as the last run saw him, with his true
//                      potentials: the working database's own table, which
//                      Restore reads (by identity, PID_a and PID_b).
//   WrittenPotentials  one row for each player whose potentials in the
//                      player file were Tavrin's when the last run read it,
//                      or are now: his record slot and identity, the eight
//                      potentials the run wrote (Written_SP..Written_DI) and
//                      the eight it read (Read_SP..Read_DI).
//   SavedRun           one row: the run's operation, its time (UTC), and the
//                      fingerprints of the player file it read and the one
//                      it saved.
//
// A player whose potentials in the player file are still exactly those the
// last run wrote, or still those it read (its save may have been cut short
// before the player file was replaced), has the potentials of his Players
// row as his true ones: they are Tavrin's hidden or randomized ones. Any
// other player's potentials, as the file holds them, are his true ones (a
// new player, or one the game or the owner changed since).

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "league/PlayerFile.h"

namespace tavrin {

namespace db {
class Cursor;
class Database;
class RowAppender;
}  // namespace db

// Eight potentials in Tavrin's attribute order: SP AC AG ST HA EN IN DI.
using Potentials = std::array<std::uint8_t, 8>;

// A record's potentials, and the same set into a record (plain bytes).
Potentials PotentialsOf(std::span<const std::uint8_t> plain);
void SetPotentials(std::span<std::uint8_t> plain, const Potentials& pots);

// The problem that keeps the file from serving a Restore, in words ("it is
// not an SQLite database", "it has no Players table"), or nothing.
std::optional<std::string> ProblemWithSavedPotentials(const std::filesystem::path& pot);

struct SavedRun {
    std::string operation;        // "Hide", "Randomize", "Restore"
    std::string savedAt;          // ISO 8601, UTC
    std::string readFingerprint;  // of the player file the run read
    std::string fingerprint;      // of the player file it saved
};

// One player of WrittenPotentials.
struct WrittenPlayer {
    std::int64_t slot{};
    int pidA{}, pidB{};
    Potentials written{}, read{};
};

// A .pot read slot by slot alongside the player file: for each player with a
// row in WrittenPotentials, that row and his true potentials. A file without
// that record (none at all, an older or a hand-made one) has no rows.
class SavedTruth {
public:
    struct Player {
        WrittenPlayer written;
        Potentials truth{};
    };

    // Nothing to read where `pot` names no file. `pyr` is the player file:
    // a .pot of an earlier Tavrin holds only a fingerprint of the player file
    // it saved, and while the file is still that one, every player in it is
    // Tavrin's.
    SavedTruth(const std::filesystem::path& pot, const std::filesystem::path& pyr);
    ~SavedTruth();
    SavedTruth(const SavedTruth&) = delete;
    SavedTruth& operator=(const SavedTruth&) = delete;

    // The run that wrote the record, where there is one.
    const std::optional<SavedRun>& Run() const { return run_; }
    // The row of this slot, if any; asked with slots that only grow.
    const Player* At(std::int64_t slot);
    // Whether a player of this record, as the player file now holds him, is
    // the one the row describes: the same identity, and the potentials the
    // run wrote or read.
    bool IsTavrins(const Player& row, std::span<const std::uint8_t> plain) const;

private:
    void ReadEarlierNote(const std::filesystem::path& pyr);

    std::unique_ptr<db::Database> database_;
    std::unique_ptr<db::Cursor> rows_;
    std::optional<SavedRun> run_;
    std::optional<Player> current_;
    bool more_ = false;
    bool everyPlayer_ = false;  // the earlier Tavrin's note still holds
};

// Every player's true potentials, found as the import reads him: where his
// potentials in the player file are still the ones Tavrin wrote (or read)
// last, those the .pot saved for him; anyone else's own.
class TruthFirst {
public:
    // `bringBack`: whether the import takes the saved ones (Hide, Randomize),
    // or only counts (Restore, which overwrites every player's anyway).
    TruthFirst(const std::filesystem::path& pot, const std::filesystem::path& pyr, bool bringBack)
        : saved_(pot, pyr), bringBack_(bringBack) {}

    // For the import (PlayerFile.h): sees each record and gives a player
    // whose potentials are Tavrin's his true ones back.
    RecordHook Hook();
    // Whether the player of this slot had Tavrin's potentials in the file.
    bool Tavrins(std::int64_t slot) const;
    // The run that saved the truth, where the .pot says.
    const std::optional<SavedRun>& Saved() const { return saved_.Run(); }
    // Players whose true potentials came back (they differed from the file's).
    std::int64_t BroughtBack() const { return broughtBack_; }
    // Players the record names whose potentials the game or the owner has
    // changed since Tavrin wrote them.
    std::int64_t ChangedSince() const { return changedSince_; }

private:
    SavedTruth saved_;
    bool bringBack_;
    std::vector<bool> tavrins_;  // by slot
    std::int64_t broughtBack_ = 0, changedSince_ = 0;
};

// The record of a run, written into the copy of the working database that
// becomes the league's new .pot (a file of the working folder).
class WrittenRecord {
public:
    explicit WrittenRecord(const std::filesystem::path& newPot);
    ~WrittenRecord();
    WrittenRecord(const WrittenRecord&) = delete;
    WrittenRecord& operator=(const WrittenRecord&) = delete;

    void Add(const WrittenPlayer& player);
    // Writes the run's row and closes the file.
    void Finish(const SavedRun& run);

private:
    std::unique_ptr<db::Database> database_;
    db::RowAppender* rows_ = nullptr;
};

}  // namespace tavrin
