// The engine layer over SQLite: what the import, the operations and the save
// rely on when they open the working database by path and walk its rows.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Cp1252.h"
#include "Error.h"
#include "TempDir.h"
#include "mDBCreate.h"
#include "mDbEngine.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using db::Database;
using db::Recordset;
using test::TempDir;

fs::path MakeWorkingDatabase(const TempDir& dir) {
    const auto path = dir / "Temp.mdb";
    CreateDatabaseFile(path);
    CreatePlayersTable(path, "Players");
    return path;
}

// Adds one player per (PID_a, Years) pair, in the given order.
void AddPlayers(const fs::path& path, const std::vector<std::pair<int, int>>& pidAndYears) {
    auto database = Database::OpenDatabase(path);
    auto& rs = database->OpenRecordset("Players");
    for (const auto& [pid, years] : pidAndYears) {
        rs.AddNew();
        rs.SetField("PID_a", std::int64_t{pid});
        rs.SetField("Years", std::int64_t{years});
        rs.SetField("Pot_SP", std::int64_t{10});
        rs.Update();
    }
    database->Close();
}

// Reads one column of every row a source yields, in recordset order.
std::vector<std::int64_t> ReadColumn(const fs::path& path, std::string_view source,
                                     std::string_view column) {
    auto database = Database::OpenDatabase(path, Database::Mode::ReadOnly);
    auto& rs = database->OpenRecordset(source);
    std::vector<std::int64_t> values;
    for (; !rs.IsEOF(); rs.MoveNext()) values.push_back(rs.Int(column));
    database->Close();
    return values;
}

std::set<std::string> FileNames(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

// Runs AddNew, one SetField and Update on a fresh connection; returns the
// engine's error, if any.
std::optional<Error> TryStore(const fs::path& path, std::string_view column, std::int64_t value) {
    auto database = Database::OpenDatabase(path);
    auto& rs = database->OpenRecordset("Players");
    try {
        rs.AddNew();
        rs.SetField(column, value);
        rs.Update();
    } catch (const Error& e) {
        return e;
    }
    return std::nullopt;
}

TEST(DbEngine, NumbersOutsideTheColumnTypeAreRefusedNamingColumnAndValue) {
    TempDir dir;
    const auto path = MakeWorkingDatabase(dir);

    struct Case { std::string_view column; std::int64_t value; };
    for (const Case c : {Case{"Years", 256}, Case{"Pot_DI", -1}, Case{"PID_a", 1000},
                         Case{"JNum", 32768}, Case{"JNum", -32769}}) {
        const auto error = TryStore(path, c.column, c.value);
        ASSERT_TRUE(error.has_value()) << c.column << " = " << c.value << " was accepted";
        EXPECT_EQ(error->number(), kErrDataType);
        const std::string message = error->what();
        EXPECT_NE(message.find(std::string(c.column)), std::string::npos) << message;
        EXPECT_NE(message.find(std::to_string(c.value)), std::string::npos) << message;
    }
    EXPECT_TRUE(ReadColumn(path, "Players", "PID_a").empty()) << "a refused row was stored";

    // The limits themselves are values like any other.
    for (const Case c : {Case{"Years", 0}, Case{"Years", 255}, Case{"JNum", 32767}, Case{"JNum", -32768}})
        EXPECT_FALSE(TryStore(path, c.column, c.value).has_value()) << c.column << " = " << c.value;
    EXPECT_EQ(ReadColumn(path, "SELECT * FROM Players WHERE JNum < 0", "JNum"),
              std::vector<std::int64_t>{-32768});
}

TEST(DbEngine, NamesKeepEveryCharacterNulsIncluded) {
    TempDir dir;
    const auto path = MakeWorkingDatabase(dir);

    // All 256 code page 1252 characters in names of 13, and names that are
    // partly or wholly NUL padding.
    std::vector<std::string> names;
    for (int first = 0; first < 256; first += 13) {
        std::string bytes;
        for (int i = 0; i < 13; ++i) bytes.push_back(static_cast<char>((first + i) % 256));
        names.push_back(cp1252::BytesToUtf8(bytes));
    }
    names.push_back(cp1252::BytesToUtf8(std::string("Al\0\0\0\0\0\0\0\0\0\0\0", 13)));
    names.push_back(cp1252::BytesToUtf8(std::string(13, '\0')));
    names.push_back(cp1252::BytesToUtf8(std::string("\0x\0y\0z\0\x80\0\xFF\0\x81\0", 13)));

    {
        auto database = Database::OpenDatabase(path);
        auto& rs = database->OpenRecordset("Players");
        for (const auto& name : names) {
            rs.AddNew();
            rs.SetField("FirstName", std::string_view(name));
            rs.SetField("LastName", std::string_view(name));
            rs.Update();
        }
        database->Close();
    }

    auto database = Database::OpenDatabase(path);
    auto& rs = database->OpenRecordset("Players");
    for (const auto& name : names) {
        ASSERT_FALSE(rs.IsEOF());
        for (const char* column : {"FirstName", "LastName"}) {
            const auto value = rs.Field(column);
            ASSERT_TRUE(std::holds_alternative<std::string>(value)) << column;
            const auto& text = std::get<std::string>(value);
            EXPECT_EQ(text, name);
            const auto codePoints = cp1252::Utf8ToCodePoints(text);
            ASSERT_TRUE(codePoints.has_value());
            EXPECT_EQ(codePoints->size(), 13u);
        }
        rs.MoveNext();
    }
    EXPECT_TRUE(rs.IsEOF());
}

TEST(DbEngine, RowsComeBackInTheOrderTheyWereAdded) {
    TempDir dir;
    const auto path = MakeWorkingDatabase(dir);
    // Identities in no sorted order, with a duplicate; Years alternates.
    const std::vector<int> pids{200, 3, 150, 3, 0, 255, 17, 99, 1, 128};
    std::vector<std::pair<int, int>> rows;
    for (std::size_t i = 0; i < pids.size(); ++i) rows.emplace_back(pids[i], i % 2 ? 9 : 0);
    AddPlayers(path, rows);

    std::vector<std::int64_t> all(pids.begin(), pids.end());
    EXPECT_EQ(ReadColumn(path, "Players", "PID_a"), all);
    EXPECT_EQ(ReadColumn(path, "SELECT * FROM Players", "PID_a"), all);

    std::vector<std::int64_t> young;
    for (std::size_t i = 0; i < pids.size(); i += 2) young.push_back(pids[i]);
    EXPECT_EQ(ReadColumn(path, "SELECT * FROM Players WHERE Years < 1", "PID_a"), young);

    // RowId is the row's position among the rows added.
    auto database = Database::OpenDatabase(path);
    auto& rs = database->OpenRecordset("SELECT * FROM Players WHERE Years < 15");
    for (std::int64_t k = 1; !rs.IsEOF(); rs.MoveNext(), ++k) EXPECT_EQ(rs.RowId(), k);
}

TEST(DbEngine, AMissingPathCannotBeOpenedAndIsNotCreated) {
    TempDir dir;
    for (const auto& path : {dir / "Temp.mdb", dir / "no-such-folder" / "Temp.mdb"}) {
        EXPECT_THROW(Database::OpenDatabase(path), Error) << path;
        EXPECT_THROW(Database::OpenDatabase(path, Database::Mode::ReadOnly), Error) << path;
        EXPECT_FALSE(fs::exists(path)) << path;
    }
    EXPECT_TRUE(FileNames(dir.path()).empty());
}

TEST(DbEngine, AClosedDatabaseIsCompleteInItsOneFile) {
    TempDir dir;
    const auto path = MakeWorkingDatabase(dir);
    AddPlayers(path, {{1, 0}, {2, 5}, {3, 9}});
    EXPECT_EQ(FileNames(dir.path()), std::set<std::string>{"Temp.mdb"});

    // Edits too: the step commits when it closes, and leaves nothing beside.
    {
        auto database = Database::OpenDatabase(path);
        auto& rs = database->OpenRecordset("Players");
        rs.Edit();
        rs.SetField("Pot_SP", std::int64_t{55});
        rs.Update();
        // Closed by the destructor, not by Close().
    }
    EXPECT_EQ(FileNames(dir.path()), std::set<std::string>{"Temp.mdb"});

    // A byte copy of the file is the whole database, as the saved-potentials
    // copy of a run relies on.
    fs::copy_file(path, dir / "copy.pot");
    EXPECT_EQ(ReadColumn(dir / "copy.pot", "Players", "PID_a"), (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(ReadColumn(dir / "copy.pot", "Players", "Pot_SP"), (std::vector<std::int64_t>{55, 10, 10}));
    EXPECT_EQ(FileNames(dir.path()), (std::set<std::string>{"Temp.mdb", "copy.pot"}));
}

TEST(DbEngine, EditsThroughASelectReachTheTable) {
    TempDir dir;
    const auto path = MakeWorkingDatabase(dir);
    AddPlayers(path, {{0, 0}, {1, 3}, {2, 0}, {3, 7}, {4, 1}, {5, 0}});

    {
        auto database = Database::OpenDatabase(path);
        auto& one = database->OpenRecordset("SELECT * FROM Players WHERE PID_a = 3");
        ASSERT_FALSE(one.IsEOF());
        one.Edit();
        one.SetField("Pot_SP", std::int64_t{77});
        one.Update();
        EXPECT_EQ(one.Int("Pot_SP"), 77);
        database->Close();
    }
    EXPECT_EQ(ReadColumn(path, "Players", "Pot_SP"), (std::vector<std::int64_t>{10, 10, 10, 77, 10, 10}));

    // Editing every row of a filtered result while walking it, as the
    // operations do: each matching row is visited once and changed.
    {
        auto database = Database::OpenDatabase(path);
        auto& rs = database->OpenRecordset("SELECT * FROM Players WHERE Years < 2");
        int visited = 0;
        for (; !rs.IsEOF(); rs.MoveNext(), ++visited) {
            rs.Edit();
            rs.SetField("Pot_SP", std::int64_t{0});
            rs.SetField("Years", std::int64_t{0});
            rs.Update();
        }
        EXPECT_EQ(visited, 4);
        database->Close();
    }
    EXPECT_EQ(ReadColumn(path, "Players", "Pot_SP"), (std::vector<std::int64_t>{0, 10, 0, 77, 0, 0}));
    EXPECT_EQ(ReadColumn(path, "Players", "PID_a"), (std::vector<std::int64_t>{0, 1, 2, 3, 4, 5}));
}

TEST(DbEngine, MoveLastCountsTheRowsAndFailsOnAnEmptyResult) {
    TempDir dir;
    const auto path = MakeWorkingDatabase(dir);

    auto expectNoCurrentRecord = [&](std::string_view source) {
        auto database = Database::OpenDatabase(path);
        auto& rs = database->OpenRecordset(source);
        EXPECT_TRUE(rs.IsEOF());
        try {
            rs.MoveLast();
            ADD_FAILURE() << "MoveLast on an empty result of " << source << " succeeded";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), kErrNoCurrentRecord);
        }
    };
    expectNoCurrentRecord("Players");
    expectNoCurrentRecord("SELECT * FROM Players WHERE Position < 15");

    AddPlayers(path, {{9, 0}, {8, 20}, {7, 0}, {6, 0}});
    expectNoCurrentRecord("SELECT * FROM Players WHERE Years > 100");

    auto database = Database::OpenDatabase(path);
    auto& rs = database->OpenRecordset("SELECT * FROM Players WHERE Years < 1");
    rs.MoveLast();
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_EQ(rs.Int("PID_a"), 6);
    rs.MoveFirst();
    EXPECT_EQ(rs.Int("PID_a"), 9);
    int walked = 0;
    for (; !rs.IsEOF(); rs.MoveNext()) ++walked;
    EXPECT_EQ(walked, 3);
}

TEST(DbEngine, ColumnNamesMatchWithoutRegardToCase) {
    TempDir dir;
    const auto path = MakeWorkingDatabase(dir);
    {
        auto database = Database::OpenDatabase(path);
        auto& rs = database->OpenRecordset("Players");
        EXPECT_EQ(rs.FieldIndex("POT_SP"), rs.FieldIndex("Pot_SP"));
        EXPECT_EQ(rs.FieldIndex("pot_sp"), 14);
        EXPECT_EQ(rs.FieldIndex("pid_B"), 2);
        rs.AddNew();
        rs.SetField("ACT_DI", std::int64_t{42});
        rs.SetField("firstname", std::string_view("Ann"));
        rs.Update();
        try {
            rs.FieldIndex("Pot_XX");
            ADD_FAILURE() << "an unknown column was found";
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find("Pot_XX"), std::string::npos) << e.what();
        }
        database->Close();
    }
    EXPECT_EQ(ReadColumn(path, "SELECT * FROM Players WHERE act_di = 42", "Act_DI"),
              std::vector<std::int64_t>{42});
}

TEST(DbEngine, AnErrorPartWayKeepsTheRowsStoredBeforeIt) {
    TempDir dir;
    const auto path = MakeWorkingDatabase(dir);
    AddPlayers(path, {{1, 0}});

    // A step that fails on its fourth row: the database goes out of scope
    // while the error unwinds, without Close().
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

    EXPECT_EQ(ReadColumn(path, "Players", "PID_a"), (std::vector<std::int64_t>{1, 2, 3, 4}));
    EXPECT_EQ(ReadColumn(path, "Players", "Years"), (std::vector<std::int64_t>{4, 1, 1, 1}));
    EXPECT_EQ(FileNames(dir.path()), std::set<std::string>{"Temp.mdb"});
}

TEST(DbEngine, EveryIdentityTheFormatCanHoldGoesIn) {
    TempDir dir;
    const auto path = MakeWorkingDatabase(dir);
    {
        auto database = Database::OpenDatabase(path);
        auto& rs = database->OpenRecordset("Players");
        const std::string name = cp1252::BytesToUtf8(std::string("Player\0\0\0\0\0\0\0", 13));
        for (int id = 0; id < 65536; ++id) {
            rs.AddNew();
            rs.SetField("PID_a", std::int64_t{id >> 8});
            rs.SetField("PID_b", std::int64_t{id & 0xFF});
            rs.SetField("FirstName", std::string_view(name));
            rs.SetField("LastName", std::string_view(name));
            for (const char* column : {"Years", "Position", "Pot_SP", "Pot_DI", "Act_SP", "Act_DI"})
                rs.SetField(column, std::int64_t{id % 100});
            rs.Update();
        }
        database->Close();
    }

    auto database = Database::OpenDatabase(path);
    auto& rs = database->OpenRecordset("Players");
    rs.MoveLast();
    EXPECT_EQ(rs.RecordCount(), 65536);
    rs.MoveFirst();
    int id = 0;
    for (; !rs.IsEOF(); rs.MoveNext(), ++id) {
        if (rs.Int("PID_a") != (id >> 8) || rs.Int("PID_b") != (id & 0xFF)) {
            ADD_FAILURE() << "row " << id << " out of order";
            break;
        }
    }
    EXPECT_EQ(id, 65536);
}

}  // namespace
}  // namespace tavrin
