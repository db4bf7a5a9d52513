#pragma once

// The .pot's record of a run (SavedPotentials.h), written into the copy of
// the working database that becomes the league's new .pot.

#include <cstdint>
#include <filesystem>
#include <memory>

#include "pots/SavedPotentials.h"

namespace tavrin {

namespace db {
class Database;
class RowAppender;
}  // namespace db

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
