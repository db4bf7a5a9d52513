// The working database as the import makes it: CreateDatabaseFile and
// CreatePlayersTable.

#include <gtest/gtest.h>

#include <SQLiteCpp/SQLiteCpp.h>

#include <string>
#include <utility>
#include <vector>

#include "Error.h"
#include "TempDir.h"
#include "mDBCreate.h"
#include "mDbEngine.h"

namespace tavrin {
namespace {

using db::Database;
using db::FieldType;
using test::TempDir;

// The Players columns as the game's tools lay them out, in creation order.
const std::vector<std::pair<std::string, FieldType>> kExpectedColumns = {
    {"Team", FieldType::Text},         {"PID_a", FieldType::Byte},
    {"PID_b", FieldType::Byte},        {"JNum", FieldType::Integer},
    {"FirstName", FieldType::Text},    {"LastName", FieldType::Text},
    {"Years", FieldType::Byte},        {"Position", FieldType::Byte},
    {"PositionGen", FieldType::Byte},  {"INJ_Sev_a", FieldType::Byte},
    {"INJ_Sev_b", FieldType::Byte},    {"INJ_Type", FieldType::Byte},
    {"INJ_Week", FieldType::Byte},     {"INJStatus", FieldType::Byte},
    {"Pot_SP", FieldType::Byte},       {"Pot_AC", FieldType::Byte},
    {"Pot_AG", FieldType::Byte},       {"Pot_ST", FieldType::Byte},
    {"Pot_HA", FieldType::Byte},       {"Pot_EN", FieldType::Byte},
    {"Pot_IN", FieldType::Byte},       {"Pot_DI", FieldType::Byte},
    {"Act_SP", FieldType::Byte},       {"Act_AC", FieldType::Byte},
    {"Act_AG", FieldType::Byte},       {"Act_ST", FieldType::Byte},
    {"Act_HA", FieldType::Byte},       {"Act_EN", FieldType::Byte},
    {"Act_IN", FieldType::Byte},       {"Act_DI", FieldType::Byte},
    {"Height", FieldType::Byte},       {"Weight", FieldType::Byte},
    {"SkinColor", FieldType::Byte},    {"OrgTeam", FieldType::Byte},
    {"OrgJerseyNum", FieldType::Byte}, {"fBWPicture", FieldType::Byte},
    {"fColorPicture", FieldType::Byte}, {"fPlayerCard", FieldType::Byte},
    {"fAudioPBP", FieldType::Byte},
};

void MakeWorkingDatabase(const std::filesystem::path& path) {
    CreateDatabaseFile(path);
    CreatePlayersTable(path, "Players");
}

std::vector<std::string> UserTables(Database& database) {
    std::vector<std::string> names;
    SQLite::Statement q(database.Connection(),
                        "SELECT name FROM sqlite_master WHERE type = 'table' "
                        "AND name NOT LIKE 'sqlite_%' ORDER BY name");
    while (q.executeStep()) names.push_back(q.getColumn(0).getString());
    return names;
}

void ExpectFreshPlayersTable(const std::filesystem::path& path) {
    auto database = Database::OpenDatabase(path);
    EXPECT_EQ(UserTables(*database), std::vector<std::string>{"Players"});
    auto& rs = database->OpenRecordset("Players");
    const auto& fields = rs.Fields();
    ASSERT_EQ(fields.size(), kExpectedColumns.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(fields[i].name, kExpectedColumns[i].first) << "column " << i + 1;
        EXPECT_EQ(fields[i].type, kExpectedColumns[i].second) << fields[i].name;
    }
    EXPECT_TRUE(rs.IsEOF());
    database->Close();
}

TEST(PlayersTable, FreshTableHasTheThirtyNineColumnsInOrderAndNoRows) {
    TempDir dir;
    MakeWorkingDatabase(dir / "Temp.mdb");
    ExpectFreshPlayersTable(dir / "Temp.mdb");
    // The engine layer's own list agrees with what the table reports.
    ASSERT_EQ(kPlayersColumns.size(), kExpectedColumns.size());
    for (std::size_t i = 0; i < kPlayersColumns.size(); ++i)
        EXPECT_EQ(kPlayersColumns[i].name, kExpectedColumns[i].first);
}

TEST(PlayersTable, ExistingFileIsReplacedWhateverItHolds) {
    TempDir dir;
    const auto path = dir / "Temp.mdb";

    // Garbage bytes, not a database at all.
    test::WriteFileBytes(path, std::vector<unsigned char>(5000, 0xAB));
    MakeWorkingDatabase(path);
    ExpectFreshPlayersTable(path);

    // A working database of an earlier run, with a player and another table.
    {
        auto database = Database::OpenDatabase(path);
        auto& rs = database->OpenRecordset("Players");
        rs.AddNew();
        rs.SetField("PID_a", std::int64_t{7});
        rs.Update();
        database->CreateTable("Leftover", {{"X", FieldType::Byte}});
        database->Close();
    }
    MakeWorkingDatabase(path);
    ExpectFreshPlayersTable(path);

    // An empty file.
    test::WriteFileBytes(path, {});
    MakeWorkingDatabase(path);
    ExpectFreshPlayersTable(path);
}

TEST(PlayersTable, UnwrittenColumnsReadAsNull) {
    TempDir dir;
    const auto path = dir / "Temp.mdb";
    MakeWorkingDatabase(path);
    {
        auto database = Database::OpenDatabase(path);
        auto& rs = database->OpenRecordset("Players");
        rs.AddNew();
        rs.SetField("PID_a", std::int64_t{1});
        rs.Update();
        database->Close();
    }
    auto database = Database::OpenDatabase(path);
    auto& rs = database->OpenRecordset("Players");
    ASSERT_FALSE(rs.IsEOF());
    for (const char* column : {"Team", "JNum", "INJStatus", "FirstName", "Years", "fAudioPBP"})
        EXPECT_TRUE(db::IsNull(rs.Field(column))) << column;
    try {
        rs.Int("Years");
        ADD_FAILURE() << "reading an empty number as a number must fail";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrInvalidUseOfNull);
    }
}

}  // namespace
}  // namespace tavrin
