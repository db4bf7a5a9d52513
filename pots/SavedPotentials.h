#pragma once

// The saved-potentials file (X.pot) beside a league: the true potentials of
// every player, and what Tavrin last put in the player file.
//
// It is an SQLite database of three tables:
//   Players            every player as the last run saw him, with his true
//                      potentials: the working database's own table (rowid k
//                      is the player of record slot k then), which Restore
//                      reads.
//   WrittenPotentials  the record: one row for each player whose potentials
//                      in the player file were Tavrin's when the last run read
//                      it, or are now: his record slot and identity, the
//                      eight potentials the run wrote (Written_SP..Written_DI)
//                      and the eight it read (Read_SP..Read_DI), in slot order.
//   SavedRun           one row: the run's operation, its time (UTC), the
//                      fingerprints of the player file it read and the one
//                      it saved, and how many rows the record holds.
//
// A player of the file is found in the record by his identity (PID_a,
// PID_b), wherever the game moved his record; only between players who share
// an identity does the slot decide. Then each of his eight potentials on its
// own: where the file still holds what Tavrin wrote there (or what the run
// read: a run cut short may have left the old player file beside the new
// .pot), the true value is the saved one. Any other value is the game's or
// the owner's, and is the true one from now on.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/Error.h"
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

// A .pot that Tavrin cannot read completely, and so will not believe: why,
// in words ("its record of what Tavrin wrote is missing"), and whether it is
// the record that is at fault (the Players table may still serve a Restore).
class UnreadableSavedPotentials : public Refusal {
public:
    UnreadableSavedPotentials(const std::string& problem, bool inRecord)
        : Refusal(problem), inRecord_(inRecord) {}
    bool InRecord() const { return inRecord_; }
    // The .pot it is about (TruthFirst names it).
    const std::filesystem::path& Pot() const { return pot_; }
    void SetPot(const std::filesystem::path& pot) { pot_ = pot; }

private:
    bool inRecord_;
    std::filesystem::path pot_;
};

// A player's two names as the player file holds them (26 bytes), in a
// number: what tells apart two players who share an identity.
std::uint64_t NamesKey(std::span<const std::uint8_t> plain);

// One player as the .pot saved him.
struct SavedRow {
    std::int64_t slot{};  // his record slot then
    std::uint8_t pidA{}, pidB{};
    std::uint64_t names{};  // NamesKey of his names then; 0 where the .pot holds none
    Potentials truth{};
    // A row of the record: the potentials the last run wrote and read.
    bool recorded = false;
    Potentials written{}, read{};
};

// What a player's potentials in the file come to against his saved row.
struct Judgement {
    Potentials truth{};        // each potential's true value
    std::uint8_t tavrins = 0;  // bit a: potential a in the file is Tavrin's
    int gameChanged = 0;       // potentials someone else changed since they were saved, kept
};

// Each potential on its own, as above. `everySaved`: the .pot has no record,
// and every saved potential is taken (a Restore from such a file).
Judgement Judge(const SavedRow& row, const Potentials& now, bool everySaved);

// A .pot read in slot order alongside one pass over the player file, each
// player matched to his saved row. Nothing to read where `pot` names no file.
//
// A player is matched at once to the saved row of his slot where it has his
// identity and his names. The others are matched once the pass is over:
// first by identity and names (the game moved him), each where among those
// left he alone and one saved row alone have them; then by identity and slot
// (the game renamed him where he was). Players whose identity and names are
// the same and who all moved, or a player both moved and renamed, are told
// apart by nothing (from each other, from a new player who took a retired
// one's identity), and are matched to no row: no player is ever given
// another's potentials, at the cost of the saved ones of such a player,
// which only the league's history then keeps.
class SavedTruth {
public:
    enum class Rows {
        Recorded,  // the record's rows: whose potentials are Tavrin's
        Every,     // every saved player; without a record, every saved potential is his
    };
    // A .pot that cannot be read completely is an UnreadableSavedPotentials,
    // here or while its rows are read. With Rows::Every and `ignoreRecord`,
    // the record is not looked at.
    SavedTruth(const std::filesystem::path& pot, Rows rows, bool ignoreRecord = false);
    ~SavedTruth();
    SavedTruth(const SavedTruth&) = delete;
    SavedTruth& operator=(const SavedTruth&) = delete;

    // The run that wrote the record, where there is one.
    const std::optional<SavedRun>& Run() const { return run_; }
    // Whether the .pot has a record (else, with Rows::Every, every saved
    // potential is taken).
    bool HasRecord() const { return hasRecord_; }

    // The player of a slot, as the pass reads him: his identity, his names
    // and his potentials in the file.
    struct FilePlayer {
        std::int64_t slot{};
        std::uint8_t pidA{}, pidB{};
        std::uint64_t names{};
        Potentials now{};
    };
    // The saved row of this player where it is his at this point of the
    // pass (the row of his slot, with his identity and names); else nothing.
    // Asked with slots that only grow.
    const SavedRow* Match(const FilePlayer& player);
    // After the pass: whether a saved row is left unmatched with this
    // identity (PID_a × 256 + PID_b), so that a player Match() left without
    // a row may be his.
    bool LeftWith(std::size_t identity);
    bool AnyLeft();
    // Then the players Match() left without a row whose identity LeftWith()
    // names, in slot order: each that is found, with his row.
    void MatchMoved(const std::vector<FilePlayer>& left,
                    const std::function<void(const FilePlayer&, const SavedRow&)>& each);

private:
    std::optional<SavedRow> NextSaved();
    std::optional<SavedRow> NextRecorded();
    void SetAside(const SavedRow& row);

    std::filesystem::path path_;
    Rows rows_;
    std::unique_ptr<db::Database> database_;
    std::unique_ptr<db::Cursor> record_, players_;
    std::optional<SavedRun> run_;
    bool hasRecord_ = false;
    std::optional<std::int64_t> recordRows_;  // as SavedRun says, where it does
    std::int64_t recordRead_ = 0, lastRecordSlot_ = 0, lastPlayerSlot_ = 0;
    std::optional<SavedRow> ahead_, aheadRecorded_, matched_;
    bool names_ = false;  // whether the .pot holds the players' names
    // Saved rows passed over, and their identities.
    std::vector<SavedRow> setAside_;
    std::vector<bool> leftIdentities_;
};

// Every player's true potentials, found as the import reads him (PlayerFile.h).
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
    // whose potentials are Tavrin's his true ones back.
    RecordHook Hook();
    // After the import: the players the game moved, found by identity; with
    // StartFrom their true potentials set in the working database.
    void Finish(const ProgramState& state);

    // Whether the player of this slot had potentials of Tavrin's in the file.
    bool Tavrins(std::int64_t slot) const;
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
    const std::vector<std::optional<Potentials>>& Targets() const { return targets_; }

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
    std::vector<std::optional<Potentials>> targets_;  // Restore
    std::int64_t broughtBack_ = 0, gameChanged_ = 0, unsaved_ = 0;
};

// One player of WrittenPotentials.
struct WrittenPlayer {
    std::int64_t slot{};
    int pidA{}, pidB{};
    Potentials written{}, read{};
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
    std::int64_t added_ = 0;
};

}  // namespace tavrin
