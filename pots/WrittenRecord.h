#pragma once

// The .pot's record of a run (SavedPotentials.h), written into the new .pot
// itself: the copy of the working database the run made where the .pot will
// be put in place, so that its bytes are written once.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "pots/SavedPotentials.h"

namespace tavrin {

namespace db {
class Database;
class OpenedFile;
class RowAppender;
}  // namespace db

// One player of the record.
struct WrittenPlayer {
    std::int64_t slot{};
    std::uint8_t pidA{}, pidB{};
    std::uint64_t names{};  // NamesKey of his names as written
    Potentials written{}, read{}, truth{};
};

// The record of a run, written into the new .pot (a file made beside the
// league, holding a copy of the working database), a blob of entries at a
// time, through the database engine working on that open file alone.
class WrittenRecord {
public:
    explicit WrittenRecord(platform::File& newPot);
    ~WrittenRecord();
    WrittenRecord(const WrittenRecord&) = delete;
    WrittenRecord& operator=(const WrittenRecord&) = delete;

    // Players are added in slot order.
    void Add(const WrittenPlayer& player);
    // Writes what is held and the run's row, and closes the file.
    void Finish(const SavedRun& run);

    // What keeps the new .pot from serving a later run ("it has no Players
    // table"), read back from the file itself once Finish() has written it;
    // nothing where it can.
    static std::optional<std::string> ProblemWith(platform::File& newPot);

private:
    void Store();

    std::unique_ptr<db::OpenedFile> file_;
    std::unique_ptr<db::Database> database_;
    db::RowAppender* chunks_ = nullptr;
    std::vector<std::uint8_t> held_;  // entries not yet stored
    std::int64_t added_ = 0, stored_ = 0;
};

}  // namespace tavrin
