// The engine layer over SQLite and the working database's Players table: what
// the import, the operations and the save rely on when they open the working
// database by path and walk its rows. Proved elsewhere: text with NULs and
// every code page character (the import and the save), and a step that keeps
// its changes when an error ends it (Restore).

#include <gtest/gtest.h>

#include <functional>

#include "Fixture.h"
#include "db/DatabaseDetail.h"
#include "league/WorkingDatabase.h"

namespace tavrin {
namespace {

using db::Database;
using test::TempDir;
using Ints = std::vector<std::int64_t>;

// An appender of rows to Players that sets any of its columns, and a
// column's place in it by name (without regard to case).
db::RowAppender& Adder(Database& database) {
    std::vector<std::string> names;
    for (const auto& f : PlayersFieldDefs()) names.push_back(f.name);
    return database.OpenAppender("Players", names);
}
int At(const db::RowAppender& rows, std::string_view column) { return db::FindField(rows.Fields(), column); }

// A fresh working database in the folder, with a row for each PID_a given.
fs::path MakeDb(const TempDir& dir, std::initializer_list<int> pids = {}) {
    ProgramState state;
    state.workingFolder = dir.path();
    CreateWorkingDatabase(state)->Close();
    const fs::path path = state.WorkingDatabasePath();
    auto database = Database::OpenDatabase(path);
    auto& rows = Adder(*database);
    for (const int pid : pids) {
        rows.AddNew();
        rows.SetField(At(rows, "PID_a"), std::int64_t{pid});
        rows.Update();
    }
    database->Close();
    return path;
}

// One column of every row that meets the conditions, in rowid order.
Ints Column(const fs::path& path, std::vector<db::Condition> where, std::string_view column) {
    auto database = Database::OpenDatabase(path, Database::Mode::ReadOnly);
    Ints values;
    for (auto rows = database->OpenCursor({"Players", std::move(where), {std::string(column)}}); rows->Next();)
        values.push_back(rows->Int(0));
    return values;
}

TEST(PlayersTable, ReplacesWhateverFileWasThereWithTheThirtyNineColumnsInOrder) {
    TempDir dir;
    // Garbage, an empty file, and a working database of an earlier run with a
    // row and another table.
    for (int before = 0; before < 3; ++before) {
        if (before < 2) test::WriteFileBytes(dir / "Temp.mdb", test::Bytes(before ? 0 : 5000, 0xAB));
        else Database::OpenDatabase(MakeDb(dir, {7}))->CreateTable("Leftover", {{"X", db::FieldType::Byte}});
        MakeDb(dir);
        EXPECT_EQ(test::SqlText(dir / "Temp.mdb", "SELECT group_concat(name) FROM sqlite_master"), "Players");
        auto database = Database::OpenDatabase(dir / "Temp.mdb");
        std::string columns;  // texts marked $, 16-bit integers %, the rest bytes
        for (const auto& f : database->TableFields("Players"))
            columns += f.name + (f.type == db::FieldType::Text ? "$ " : f.type == db::FieldType::Integer ? "% " : " ");
        EXPECT_EQ(columns, "Team$ PID_a PID_b JNum% FirstName$ LastName$ Years Position PositionGen INJ_Sev_a INJ_Sev_b "
                           "INJ_Type INJ_Week INJStatus Pot_SP Pot_AC Pot_AG Pot_ST Pot_HA Pot_EN Pot_IN Pot_DI Act_SP "
                           "Act_AC Act_AG Act_ST Act_HA Act_EN Act_IN Act_DI Height Weight SkinColor OrgTeam "
                           "OrgJerseyNum fBWPicture fColorPicture fPlayerCard fAudioPBP ");
        EXPECT_FALSE(database->OpenCursor({"Players", {}, {}})->Next());
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
        auto& rows = Adder(*database);
        try {
            rows.AddNew();
            rows.SetField(At(rows, c.column), c.value);  // names match without regard to case
            EXPECT_THROW(rows.SetField(static_cast<int>(rows.Fields().size()), c.value), Error);  // no such column
            rows.Update();
            EXPECT_TRUE(c.fits) << c.column << " = " << c.value;
        } catch (const Error& e) {
            const std::string what = e.what();
            const std::string type = c.column == "JNum" ? "integer" : "byte";
            EXPECT_TRUE(!c.fits && what.find("fit the " + type + " column " + c.column) != std::string::npos &&
                        what.find(std::to_string(c.value)) != std::string::npos) << what;
        }
        database->Close();
    }
    // A record's slot in the .pot is a 32-bit integer.
    EXPECT_NO_THROW(db::detail::CheckFits({"Slot", db::FieldType::Long}, INT32_MIN));
    try {
        db::detail::CheckFits({"Slot", db::FieldType::Long}, std::int64_t{INT32_MAX} + 1);
        ADD_FAILURE() << "fits";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("does not fit the long integer column Slot"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Column(path, {{"years", db::Condition::Op::Less, 256}}, "yEaRs"), (Ints{255, 0}));
    EXPECT_EQ(Column(path, {{"JNum", db::Condition::Op::Less, 40000}}, "JNUM"), (Ints{-32768, 32767}));
}

TEST(DbEngine, AWalkThatChangesEachRowItReadsSeesEveryRowOnce) {
    // Randomize and Restore read a row and write it back while their walk
    // goes on: no change may make the walk skip, repeat or reorder a row.
    TempDir dir;
    const auto path = MakeDb(dir);
    auto database = Database::OpenDatabase(path);
    auto& adder = Adder(*database);
    for (int i = 0; i < 600; ++i) {
        adder.AddNew();
        adder.SetField(At(adder, "PID_a"), i % 256);
        adder.SetField(At(adder, "PID_b"), i / 256);
        adder.SetField(At(adder, "Years"), i % 3 == 0 ? 9 : 1);
        adder.SetField(At(adder, "Pot_SP"), 0);
        adder.SetField(At(adder, "Pot_AC"), 1);
        adder.Update();
    }
    adder.Flush();
    auto rows = database->OpenCursor({"Players", {{"Years", db::Condition::Op::Less, 5}}, {"PID_a", "PID_b"}});
    auto& update = database->OpenUpdater("Players", {"pot_sp", "Pot_AC"});
    Ints seen, expected;
    while (rows->Next()) {
        seen.push_back(rows->Int(1) * 256 + rows->Int(0));
        const std::array<std::optional<std::int64_t>, 2> values{8, std::nullopt};
        update.Update(rows->RowId(), values);
    }
    for (int i = 0; i < 600; ++i)
        if (i % 3 != 0) expected.push_back(i);
    EXPECT_EQ(seen, expected);
    const std::array<std::optional<std::int64_t>, 2> tooBig{256, 0};
    EXPECT_THROW(update.Update(1, tooBig), Error);
    // Any column by its name, the table's first too; none that is not there.
    EXPECT_NO_THROW(database->OpenUpdater("Players", {"Team"}));
    EXPECT_THROW(database->OpenUpdater("Players", {"Nowhere"}), Error);
    rows.reset();
    database->Close();
    const Ints pots = Column(path, {}, "Pot_SP");
    for (int i = 0; i < 600; ++i) ASSERT_EQ(pots[static_cast<std::size_t>(i)], i % 3 == 0 ? 0 : 8) << "row " << i;
    EXPECT_EQ(test::SqlText(path, "SELECT count(*) FROM Players WHERE Pot_AC IS NULL"), "400");
}

TEST(DbEngine, OnlyAWholeNumberReadsAsANumberAndAnythingElseIsRefusedAsStored) {
    // A file Tavrin did not write (a .pot made by hand or by another tool) may
    // hold anything in a column without a type: a real that is a whole number
    // in the 64-bit range reads as that number; any other real (converting it
    // would be undefined), a text or a blob is an error naming the column
    // and the value as stored, never a number made up from it.
    TempDir dir;
    const auto path = dir / "hand-made.pot";
    struct Case { std::string stored; std::optional<std::int64_t> number; std::string shown; };
    std::vector<Case> cases{
        {"77", 77, ""}, {"77.0", 77, ""}, {"-0.0", 0, ""}, {"-9223372036854775808.0", INT64_MIN, ""},
        {"9223372036854775808.0", {}, "9.2233720368547758e+18"}, {"1e300", {}, "1e+300"}, {"-1e300", {}, "-1e+300"},
        {"9e999", {}, "inf"}, {"77.9", {}, "77.9"}, {"-0.5", {}, "-0.5"}, {"'77'", {}, "'77'"},
        {"x'3737'", {}, "x'3737'"}};
    // Of a long text its first 40 bytes are shown, of a blob its first 20.
    for (const std::size_t more : {0, 1}) {
        const std::string text(40 + more, 'a'), blob(40 + 2 * more, '7');
        cases.push_back({"'" + text + "'", {}, "'" + text.substr(0, 40) + (more ? "…'" : "'")});
        cases.push_back({"x'" + blob + "'", {}, "x'" + blob.substr(0, 40) + (more ? "…'" : "'")});
    }
    test::SqlExec(path, "CREATE TABLE Players (Pot_SP)");
    for (const Case& c : cases) test::SqlExec(path, "INSERT INTO Players VALUES (" + c.stored + ")");

    auto database = Database::OpenDatabase(path, Database::Mode::ReadOnly);
    auto cursor = database->OpenCursor({"Players", {}, {"Pot_SP"}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        ASSERT_TRUE(cursor->Next());
        // One value or many at once (the save), or one that must be a
        // number (the operations, Restore's saved table).
        EXPECT_EQ(cursor->IntIf(0), c.number);
        const int column = 0;
        std::int64_t n = -1;
        EXPECT_EQ(cursor->IntsIf({&column, 1}, {&n, 1}), c.number.has_value());
        EXPECT_EQ(n, c.number.value_or(n));
        try {
            EXPECT_EQ(cursor->Int(0), c.number);
        } catch (const Error& e) {
            EXPECT_FALSE(c.number);
            EXPECT_NE(std::string(e.what()).find("Pot_SP holds " + c.shown + ","), std::string::npos) << e.what();
        }
    }
}

// Only an explicit Close() commits: a step that ends early stores nothing
// more, so a COMMIT that fails can never pass unseen.
TEST(DbEngine, OnlyCloseCommits) {
    TempDir dir;
    const fs::path path = MakeDb(dir, {1});
    {
        auto database = Database::OpenDatabase(path);
        database->UpdateWhere("Players", {{"PID_a", 2}}, {});
        auto& rows = Adder(*database);
        rows.AddNew();
        rows.SetField(At(rows, "PID_a"), std::int64_t{3});
        rows.Update();
    }
    EXPECT_EQ(Column(path, {}, "PID_a"), Ints{1});
    auto database = Database::OpenDatabase(path);
    database->UpdateWhere("Players", {{"PID_a", 2}}, {});
    database->Close();
    EXPECT_EQ(Column(path, {}, "PID_a"), Ints{2});
}

TEST(DbEngine, AMissingPathIsNeitherOpenedNorCreated) {
    TempDir dir;
    for (const auto& path : {dir / "Temp.mdb", dir / "no-such-folder" / "Temp.mdb"}) {
        EXPECT_THROW(Database::OpenDatabase(path), Error);
        EXPECT_THROW(Database::OpenDatabase(path, Database::Mode::ReadOnly), Error);
    }
    EXPECT_TRUE(test::Snapshot(dir.path()).empty());
}

}  // namespace
// A file made by hand cannot keep a read busy for ever: past its budget a
// statement stops, and says why.
TEST(DbEngine, AStatementPastItsBudgetOfWorkStops) {
    test::TempDir dir;
    const fs::path file = dir / "endless.db";
    test::SqlExec(file, "CREATE VIEW Endless AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) "
                        "SELECT x FROM n");
    auto database = db::Database::OpenDatabase(file, db::Database::Mode::ReadOnly);
    database->LimitWork(1'000'000);
    auto rows = database->OpenCursor("SELECT count(*) FROM Endless", {"count"});
    try {
        rows->Next();
        ADD_FAILURE() << "the statement ran to an end";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot use the database " + PathText(file) +
                                             ": reading it took far more work than the data of any league needs, so "
                                             "Tavrin stopped");
    }
}

}  // namespace tavrin
