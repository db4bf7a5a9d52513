// The engine layer over SQLite and the working database's Players table: what
// the import, the operations and the save rely on when they open the working
// database by path and walk its rows.

#include <gtest/gtest.h>

#include <SQLiteCpp/SQLiteCpp.h>

#include <sstream>

#include "Cp1252.h"
#include "Error.h"
#include "Fixture.h"
#include "mDBCreate.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using db::Database;
using test::FileNames;
using test::TempDir;
using Ints = std::vector<std::int64_t>;

// A fresh working database in the folder, with a row for each PID_a given
// (Years 1 for odd ones, 0 for even ones).
fs::path MakeDb(const TempDir& dir, std::initializer_list<int> pids = {}) {
    const auto path = dir / "Temp.mdb";
    CreateDatabaseFile(path);
    CreatePlayersTable(path, "Players");
    auto database = Database::OpenDatabase(path);
    auto& rs = database->OpenRecordset("Players");
    for (const int pid : pids) {
        rs.AddNew();
        rs.SetField("PID_a", std::int64_t{pid});
        rs.SetField("Years", std::int64_t{pid % 2});
        rs.Update();
    }
    database->Close();
    return path;
}

// One column of every row the source yields, in recordset order.
Ints Column(const fs::path& path, std::string_view source, std::string_view column) {
    auto database = Database::OpenDatabase(path, Database::Mode::ReadOnly);
    Ints values;
    for (auto& rs = database->OpenRecordset(source); !rs.IsEOF(); rs.MoveNext()) values.push_back(rs.Int(column));
    return values;
}

TEST(PlayersTable, ReplacesWhateverFileWasThereWithTheThirtyNineColumnsInOrder) {
    std::istringstream names(
        "Team PID_a PID_b JNum FirstName LastName Years Position PositionGen INJ_Sev_a INJ_Sev_b INJ_Type "
        "INJ_Week INJStatus Pot_SP Pot_AC Pot_AG Pot_ST Pot_HA Pot_EN Pot_IN Pot_DI Act_SP Act_AC Act_AG "
        "Act_ST Act_HA Act_EN Act_IN Act_DI Height Weight SkinColor OrgTeam OrgJerseyNum fBWPicture "
        "fColorPicture fPlayerCard fAudioPBP");
    const std::vector<std::string> expected{std::istream_iterator<std::string>(names), {}};
    ASSERT_EQ(expected.size(), 39u);

    TempDir dir;
    const auto path = dir / "Temp.mdb";
    // Garbage, an empty file, and a working database of an earlier run with a
    // row and another table.
    for (int before = 0; before < 3; ++before) {
        SCOPED_TRACE(before);
        if (before == 0) test::WriteFileBytes(path, std::vector<unsigned char>(5000, 0xAB));
        if (before == 1) test::WriteFileBytes(path, {});
        if (before == 2) Database::OpenDatabase(MakeDb(dir, {7}))->CreateTable("Leftover", {{"X", db::FieldType::Byte}});
        MakeDb(dir);
        auto database = Database::OpenDatabase(path);
        EXPECT_EQ(database->Connection().execAndGet("SELECT group_concat(name) FROM sqlite_master").getString(), "Players");
        auto& rs = database->OpenRecordset("Players");
        ASSERT_EQ(rs.Fields().size(), 39u);
        for (std::size_t i = 0; i < 39; ++i) {
            EXPECT_EQ(rs.Fields()[i].name, expected[i]);
            using enum db::FieldType;  // texts: Team and the names; JNum a 16-bit integer; all else bytes
            EXPECT_EQ(rs.Fields()[i].type, i == 0 || i == 4 || i == 5 ? Text : i == 3 ? Integer : Byte) << expected[i];
        }
        EXPECT_TRUE(rs.IsEOF());
    }
}

TEST(DbEngine, NumbersOutsideTheColumnTypeAreRefusedNamingColumnAndValue) {
    TempDir dir;
    const auto path = MakeDb(dir);
    struct Case { std::string column; std::int64_t value; bool fits; };
    for (const Case& c : {Case{"Years", 256, false}, Case{"Pot_DI", -1, false}, Case{"PID_a", 1000, false},
                          Case{"JNum", 32768, false}, Case{"JNum", -32769, false}, Case{"YEARS", 255, true},
                          Case{"years", 0, true}, Case{"jnum", -32768, true}, Case{"JNUM", 32767, true}}) {
        auto database = Database::OpenDatabase(path);
        auto& rs = database->OpenRecordset("Players");
        try {
            rs.AddNew();
            rs.SetField(c.column, c.value);  // names match without regard to case
            rs.Update();
            EXPECT_TRUE(c.fits) << c.column << " = " << c.value << " was accepted";
        } catch (const Error& e) {
            EXPECT_FALSE(c.fits) << e.what();
            EXPECT_EQ(e.number(), kErrDataType);
            EXPECT_NE(std::string(e.what()).find(c.column), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(std::to_string(c.value)), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(Column(path, "SELECT * FROM Players WHERE years IS NOT NULL", "yEaRs"), (Ints{255, 0}));
    EXPECT_EQ(Column(path, "SELECT * FROM Players WHERE JNum IS NOT NULL", "JNUM"), (Ints{-32768, 32767}));
}

TEST(DbEngine, TextKeepsEveryCharacterNulsIncluded) {
    TempDir dir;
    const auto path = MakeDb(dir);
    std::vector<db::Value> names;  // all 256 code page 1252 characters, NUL first, in names of 13
    {
        auto database = Database::OpenDatabase(path);
        auto& rs = database->OpenRecordset("Players");
        for (int first = 0; first < 256; first += 13) {
            std::string bytes;
            for (int i = 0; i < 13; ++i) bytes.push_back(static_cast<char>((first + i) % 256));
            names.emplace_back(cp1252::BytesToUtf8(bytes));
            rs.AddNew();
            rs.SetField("FirstName", names.back());
            rs.Update();
        }
    }
    const auto rows = test::Rows(path);
    ASSERT_EQ(rows.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(rows[i].at("FirstName"), names[i]) << "name " << i;
}

TEST(DbEngine, RowsComeBackInTheOrderTheyWereAdded) {
    TempDir dir;
    const auto path = MakeDb(dir, {200, 3, 150, 3, 0, 255, 17, 98, 1, 128});
    EXPECT_EQ(Column(path, "Players", "PID_a"), (Ints{200, 3, 150, 3, 0, 255, 17, 98, 1, 128}));
    EXPECT_EQ(Column(path, "SELECT * FROM Players WHERE Years < 1", "PID_a"), (Ints{200, 150, 0, 98, 128}));
}

TEST(DbEngine, AWalkThatEditsRowsAndStartsReadingPartWaySeesEveryRowOnce) {
    // Edits move SQLite's cursor, rowids are read ahead in batches, and the
    // first read of a column changes what the cursor fetches: none of it may
    // skip, repeat or reorder a row. 600 rows cross several batches.
    TempDir dir;
    const auto path = MakeDb(dir);
    auto database = Database::OpenDatabase(path);
    auto& adder = database->OpenRecordset("Players");
    for (int i = 0; i < 600; ++i) {
        adder.AddNew();
        adder.SetField("PID_a", std::int64_t{i % 256});
        adder.SetField("PID_b", std::int64_t{i / 256});
        adder.SetField("Years", std::int64_t{i % 3 == 0 ? 9 : 1});
        adder.SetField("Pot_SP", std::int64_t{0});
        adder.Update();
    }
    Ints seen;
    auto& rs = database->OpenRecordset("SELECT * FROM Players WHERE Years < 5");
    for (std::int64_t n = 0; !rs.IsEOF(); rs.MoveNext(), ++n) {
        rs.Edit();
        rs.SetField("Pot_SP", std::int64_t{7});
        rs.Update();
        if (n < 150) continue;
        EXPECT_EQ(rs.Int("Pot_SP"), 7);  // the edit, read on the row it was made on
        seen.push_back(rs.Int("PID_b") * 256 + rs.Int("PID_a"));
    }
    database->Close();
    Ints expected;
    for (int i = 0, n = 0; i < 600; ++i) {
        if (i % 3 != 0 && n++ >= 150) expected.push_back(i);
    }
    EXPECT_EQ(seen, expected);
    const Ints pots = Column(path, "Players", "Pot_SP");
    for (int i = 0; i < 600; ++i) ASSERT_EQ(pots[static_cast<std::size_t>(i)], i % 3 == 0 ? 0 : 7) << "row " << i;
}

TEST(DbEngine, AMissingPathIsNeitherOpenedNorCreated) {
    TempDir dir;
    for (const auto& path : {dir / "Temp.mdb", dir / "no-such-folder" / "Temp.mdb"}) {
        EXPECT_THROW(Database::OpenDatabase(path), Error) << path;
        EXPECT_THROW(Database::OpenDatabase(path, Database::Mode::ReadOnly), Error) << path;
    }
    EXPECT_TRUE(FileNames(dir.path()).empty());
}

TEST(DbEngine, AStepCommitsWhenItEndsEvenByAnErrorAndLeavesNoJournal) {
    TempDir dir;
    const auto path = MakeDb(dir, {1});
    EXPECT_EQ(FileNames(dir.path()), std::set<std::string>{"Temp.mdb"});
    // A step that fails on its fourth new row: the database goes out of
    // scope while the error unwinds, without Close().
    EXPECT_THROW(
        {
            auto database = Database::OpenDatabase(path);
            auto& rs = database->OpenRecordset("Players");
            rs.Edit();
            rs.SetField("Years", std::int64_t{4});
            rs.Update();
            for (int pid = 2; pid <= 5; ++pid) {
                rs.AddNew();
                rs.SetField("PID_a", std::int64_t{pid});
                rs.SetField("Years", std::int64_t{pid == 5 ? 256 : 1});
                rs.Update();
            }
        },
        Error);
    EXPECT_EQ(Column(path, "Players", "PID_a"), (Ints{1, 2, 3, 4}));
    EXPECT_EQ(Column(path, "Players", "Years"), (Ints{4, 1, 1, 1}));
    EXPECT_EQ(FileNames(dir.path()), std::set<std::string>{"Temp.mdb"});
}

TEST(DbEngine, MoveLastCountsTheRowsAndFailsOnAnEmptyResult) {
    TempDir dir;
    auto database = Database::OpenDatabase(MakeDb(dir));
    for (const char* source : {"Players", "SELECT * FROM Players WHERE Years > 1"}) {
        try {
            database->OpenRecordset(source).MoveLast();
            ADD_FAILURE() << "MoveLast on an empty result of " << source << " succeeded";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), kErrNoCurrentRecord);
        }
        database->Close();
        database = Database::OpenDatabase(MakeDb(dir, {9, 8, 7, 6, 4}));  // rows, none of them matching
    }
    auto& rs = database->OpenRecordset("SELECT * FROM Players WHERE Years < 1");
    rs.MoveLast();
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_EQ(rs.Int("PID_a"), 4);
    rs.MoveFirst();
    EXPECT_EQ(rs.Int("PID_a"), 8);
}

}  // namespace
}  // namespace tavrin
