#pragma once

// The saved-potentials file (X.pot) beside a league: the true potentials of
// every player, and what Tavrin last put in the player file.
//
// It is an SQLite database of three tables:
//   Players        every player as the last run saw him, with his true
//                  potentials: the working database's own table (rowid k is
//                  the player of record slot k then), which Restore reads.
//   WrittenRecord  the record: an entry for each player whose potentials in
//                  the player file were Tavrin's when the last run read it,
//                  or are now, in slot order, packed into blobs of up to 4096
//                  entries (column Players), numbered from 1 (column Chunk).
//                  An entry is 38 bytes: his record slot (4 bytes, little
//                  endian), his identity (PID_a, PID_b), a key of his two
//                  names (8 bytes, NamesKey), the eight potentials the run
//                  wrote, the eight it read and his eight true ones, in
//                  Tavrin's attribute order. (An earlier Tavrin kept a row a
//                  player instead, in WrittenPotentials: Slot, PID_a, PID_b,
//                  Written_SP..Written_DI, Read_SP..Read_DI; it is still read.)
//   SavedRun       one row: the run's operation, its time (UTC), the
//                  fingerprints of the player file it read and the one it
//                  saved, and how many entries the record holds.
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
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/Error.h"

namespace tavrin {

namespace db {
class Database;
}  // namespace db

// Eight potentials in Tavrin's attribute order: SP AC AG ST HA EN IN DI.
using Potentials = std::array<std::uint8_t, 8>;

// What a Restore puts back, by slot (slot k at k - 1): a player's true
// potentials where they go back, nothing where he keeps what the file holds.
// A view over the truths kept a player and one flag each (a million players'
// targets are the truths' 8 MB and 125 KB of flags, not another 9 MB).
class RestoreTargets {
public:
    RestoreTargets(const std::vector<bool>& restoring, const std::vector<Potentials>& potentials)
        : restoring_(&restoring), potentials_(&potentials) {}
    std::size_t size() const { return restoring_->size(); }
    const Potentials* At(std::size_t i) const {
        return i < restoring_->size() && (*restoring_)[i] ? &(*potentials_)[i] : nullptr;
    }
    std::optional<Potentials> operator[](std::size_t i) const {
        const Potentials* p = At(i);
        return p ? std::optional<Potentials>(*p) : std::nullopt;
    }

private:
    const std::vector<bool>* restoring_;
    const std::vector<Potentials>* potentials_;
};

// A record's potentials, and the same set into a record (plain bytes).
Potentials PotentialsOf(std::span<const std::uint8_t> plain);
void SetPotentials(std::span<std::uint8_t> plain, const Potentials& pots);

// The problem that keeps the file from serving a Restore, in words ("it is
// not an SQLite database", "it has no Players table"), or nothing.
std::optional<std::string> ProblemWithSavedPotentials(const std::filesystem::path& pot);
// The same of a database open already (the engine's errors go on as they are).
std::optional<std::string> ProblemWithSavedPotentials(db::Database& database);

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

// The record's tables and columns, as its readers and its writer name them:
// the slot and identity, then the eight potentials written (Written_SP ..)
// and the eight read (Read_SP ..), in Tavrin's attribute order.
namespace saved {
inline constexpr std::string_view kPackedTable = "WrittenRecord";
inline constexpr std::size_t kEntryBytes = 38, kEntriesPerChunk = 4096;
// One entry of the packed record.
struct Entry {
    std::uint32_t slot{};
    std::uint8_t pidA{}, pidB{};
    std::uint64_t names{};
    Potentials written{}, read{}, truth{};
};
void Pack(const Entry& entry, std::span<std::uint8_t, kEntryBytes> out);
Entry Unpack(std::span<const std::uint8_t, kEntryBytes> in);
// The record as an earlier Tavrin kept it, a row a player.
inline constexpr std::string_view kRecordTable = "WrittenPotentials";
inline constexpr std::string_view kRunTable = "SavedRun";
const std::vector<std::string>& RunColumns();     // Operation, SavedAt, ReadFingerprint, Fingerprint, Recorded
const std::vector<std::string>& RecordColumns();  // Slot, PID_a, PID_b, Written_SP .. Written_DI, Read_SP .. Read_DI
inline constexpr int kWrittenAt = 3, kReadAt = 11, kRecordColumnCount = 19;
}  // namespace saved

}  // namespace tavrin
