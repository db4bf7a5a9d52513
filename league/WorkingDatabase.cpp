#include "league/WorkingDatabase.h"

#include "base/Error.h"
#include "league/PlayersTable.h"
#include "db/Database.h"
#include "league/ProgramState.h"
#include "platform/Platform.h"

namespace tavrin {

std::vector<db::FieldDef> PlayersFieldDefs() {
    std::vector<db::FieldDef> fields;
    for (const ColumnDef& c : kPlayersColumns) fields.push_back({std::string(c.name), c.type});
    return fields;
}

PlayersColumns::PlayersColumns(const std::vector<db::FieldDef>& fields) {
    for (const ColumnDef& c : kPlayersColumns)
        index_[static_cast<std::size_t>(c.column)] = db::FindField(fields, c.name);
}

int PlayersColumns::At(Col c) const {
    const int i = index_[static_cast<std::size_t>(c)];
    if (i < 0) throw Error("There is no column " + std::string(Name(c)) + " in Players");
    return i;
}

std::unique_ptr<db::Database> CreateWorkingDatabase(const ProgramState& state) {
    std::unique_ptr<db::Database> database;
    if (state.workingDatabaseFile) {
        database = db::Database::CreateDatabase(*state.workingDatabaseFile);
    } else {
        const std::filesystem::path path = state.WorkingDatabasePath();
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
            std::filesystem::remove(path, ec);
            if (ec) throw Error("Cannot delete " + PathText(path) + ": " + ec.message());
        }
        // A journal left by a step that died part-way belongs to the old file.
        std::filesystem::remove(std::filesystem::path(path) += "-journal", ec);
        database = db::Database::CreateDatabase(path);
    }
    database->CreateTable("Players", PlayersFieldDefs());
    return database;
}

std::unique_ptr<db::Database> OpenWorkingDatabase(const ProgramState& state, db::Database::Mode mode) {
    if (state.workingDatabaseFile) return db::Database::OpenOnFile(*state.workingDatabaseFile, mode);
    return db::Database::OpenDatabase(state.WorkingDatabasePath(), mode);
}

void CopyWorkingDatabase(const ProgramState& state, platform::File& to) {
    if (state.workingDatabaseFile) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(state.workingDatabaseFile->Size()));
        bytes.resize(state.workingDatabaseFile->ReadAt(0, bytes));
        to.Write(bytes);
        return;
    }
    const std::filesystem::path working = state.WorkingDatabasePath();
    platform::File from = platform::Folder::Open(working.parent_path()).OpenToRead(working.filename());
    to.AppendCopyOf(from);
}

}  // namespace tavrin
