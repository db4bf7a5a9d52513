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

void CreateDatabaseFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
        std::filesystem::remove(path, ec);
        if (ec) throw Error("Cannot delete " + PathText(path) + ": " + ec.message());
    }
    // A journal left by a step that died part-way belongs to the old file.
    std::filesystem::remove(std::filesystem::path(path) += "-journal", ec);
    db::Database::CreateDatabase(path);
}

void CreatePlayersTable(const std::filesystem::path& path, std::string_view table) {
    auto database = db::Database::OpenDatabase(path);
    database->CreateTable(table, PlayersFieldDefs());
    database->Close();
}

void CopyWorkingDatabase(const ProgramState& state, platform::File& to) {
    const std::filesystem::path working = state.WorkingDatabasePath();
    platform::File from = platform::Folder::Open(working.parent_path()).OpenToRead(working.filename());
    to.AppendCopyOf(from);
}

}  // namespace tavrin
