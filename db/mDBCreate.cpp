#include "db/mDBCreate.h"

#include "db/Error.h"
#include "db/PlayersTable.h"
#include "db/mDbEngine.h"

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

void CreateDatabaseFile(const std::filesystem::path& sPath) {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(sPath, ec))) {
        if (!std::filesystem::remove(sPath, ec) || ec)
            throw Error("Cannot delete " + PathText(sPath) + ": " +
                                            (ec ? ec.message() : std::string("it is in the way")));
    }
    // A journal left by a step that died part-way belongs to the old file.
    std::filesystem::remove(std::filesystem::path(sPath) += "-journal", ec);
    db::Database::CreateDatabase(sPath);
}

void CreatePlayersTable(const std::filesystem::path& sPath, std::string_view sTable) {
    auto database = db::Database::OpenDatabase(sPath);
    database->CreateTable(sTable, PlayersFieldDefs());
    database->Close();
}

}  // namespace tavrin
