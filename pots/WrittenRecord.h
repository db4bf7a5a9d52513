#pragma once

// The .pot's record of a run (SavedPotentials.h), written into the copy of
// the working database that becomes the league's new .pot.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "pots/SavedPotentials.h"

namespace tavrin {

namespace db {
class Database;
class RowAppender;
}  // namespace db

// One player of the record.
struct WrittenPlayer {
    std::int64_t slot{};
    std::uint8_t pidA{}, pidB{};
    std::uint64_t names{};  // NamesKey of his names as written
    Potentials written{}, read{}, truth{};
};

// The record of a run, written into the copy of the working database that
// becomes the league's new .pot (a file of the working folder), a blob of
// entries at a time.
class WrittenRecord {
public:
    explicit WrittenRecord(const std::filesystem::path& newPot);
    ~WrittenRecord();
    WrittenRecord(const WrittenRecord&) = delete;
    WrittenRecord& operator=(const WrittenRecord&) = delete;

    // Players are added in slot order.
    void Add(const WrittenPlayer& player);
    // Writes what is held and the run's row, and closes the file.
    void Finish(const SavedRun& run);

private:
    void Store();

    std::unique_ptr<db::Database> database_;
    db::RowAppender* chunks_ = nullptr;
    std::vector<std::uint8_t> held_;  // entries not yet stored
    std::int64_t added_ = 0, stored_ = 0;
};

}  // namespace tavrin
