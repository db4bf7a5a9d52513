#pragma once

// The .pot read alongside one pass over the player file: each player of the
// file matched to the row the .pot saved for him, and each of his potentials
// judged on its own (SavedPotentials.h says how).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "pots/SavedPotentials.h"

namespace tavrin {

namespace db {
class Cursor;
class Database;
}  // namespace db

// A player's two names as the player file holds them (26 bytes), in a
// number: what tells apart two players who share an identity.
std::uint64_t NamesKey(std::span<const std::uint8_t> plain);
// The same of two names as a database holds them (UTF-8 text); 0 where they
// are not names the player file can hold.
std::uint64_t NamesKeyOf(std::optional<std::string_view> first, std::optional<std::string_view> last);

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
    // Lets go of the .pot once its rows are read: a run replaces it later,
    // and Windows replaces no file that is open. Nothing is matched after.
    void Close();

private:
    std::optional<SavedRow> NextSaved();
    std::optional<SavedRow> NextRecorded();
    std::optional<SavedRow> NextEntry();
    std::optional<SavedRow> NextRow();
    void SetAside(const SavedRow& row);

    std::filesystem::path path_;
    Rows rows_;
    std::unique_ptr<db::Database> database_;
    std::unique_ptr<db::Cursor> record_, players_;
    std::optional<SavedRun> run_;
    bool hasRecord_ = false;
    bool packed_ = false;                       // the record as this Tavrin writes it
    std::span<const std::uint8_t> entries_;     // of the packed record's part being read
    std::size_t entryAt_ = 0;
    std::int64_t chunksRead_ = 0;
    std::optional<std::int64_t> recordRows_;  // as SavedRun says, where it does
    std::int64_t recordRead_ = 0, lastRecordSlot_ = 0, lastPlayerSlot_ = 0;
    std::optional<SavedRow> ahead_, aheadRecorded_, matched_;
    bool names_ = false;  // whether the .pot holds the players' names
    // Saved rows passed over, and their identities.
    std::vector<SavedRow> setAside_;
    std::vector<bool> leftIdentities_;
};

}  // namespace tavrin
