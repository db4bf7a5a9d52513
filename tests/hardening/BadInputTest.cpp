// What a hostile user or an unlucky machine hands a run, through the run core
// in this process: values in a saved-potentials file that are not whole
// numbers, files that are not regular files, names too long for the file
// system, and a league that belongs to someone else. Each is refused before
// the first change, or handled, with every file of the league as it was.

#include "LeagueFolder.h"
#include "run/LeagueReport.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tavrin {
namespace {

using test::LeagueFolder;

// A saved-potentials file made by hand: a Players table without column
// types, each player's potentials one less than in the league, one value
// replaced by the SQL given, and as many other columns as there is room for
// (a table holds 64 columns at most).
void WriteHandMadePot(const fs::path& path, const gen::League& league, const std::string& column = "",
                      const std::string& value = "") {
    std::string sql = "BEGIN; CREATE TABLE Players (PID_a, PID_b";
    for (const std::string& c : test::kPot) sql += ", " + c;
    for (int extra = 10; extra < 64; ++extra) sql += ", Other" + std::to_string(extra);
    sql += ");";
    for (std::size_t i = 0; i < league.players.size(); ++i) {
        const gen::Player& p = league.players[i];
        const auto cell = [&](const std::string& name, int v) {
            return i == 17 && name == column ? value : std::to_string(v) + ".0";  // whole reals
        };
        sql += " INSERT INTO Players (PID_a, PID_b";
        for (const std::string& c : test::kPot) sql += ", " + c;
        sql += ") VALUES (" + cell("PID_a", p.pidA) + ", " + cell("PID_b", p.pidB);
        for (std::size_t a = 0; a < 8; ++a) sql += ", " + cell(test::kPot[a], p.pot[a] - 1);
        sql += ");";
    }
    test::SqlExec(path, sql + " COMMIT;");
}

TEST(BadInput, SavedValuesThatAreNotBytesAreRefusedBeforeAnyPlayerChanges) {
    struct Case { std::string column, value, shown; };
    // (Which values the engine refuses, its own test shows.)
    for (const Case& c : {Case{"Pot_AC", "1e300", "1e+300,"}, Case{"PID_b", "x'3737'", "x'3737',"},
                          Case{"Pot_SP", "256", "256"}, Case{"Pot_DI", "-1", "-1"}}) {
        SCOPED_TRACE(c.column + " = " + c.value);
        LeagueFolder f;
        WriteHandMadePot(f.pot, f.league, c.column, c.value);
        const auto files = f.Files();
        const run::Outcome o = f.Run(Operation::Restore);
        EXPECT_EQ(o.kind, Kind::Refused) << o.message;
        EXPECT_NE(o.message.find("Cannot restore the potentials from " + PathText(f.pot)), std::string::npos) << o.message;
        EXPECT_NE(o.message.find(c.column + " holds " + c.shown), std::string::npos) << o.message;
        EXPECT_EQ(f.Files(), files);
    }
    // Whole numbers stored as reals are numbers: restored as such.
    LeagueFolder f;
    WriteHandMadePot(f.pot, f.league);
    const run::Outcome o = f.Run(Operation::Restore);
    EXPECT_EQ(o.kind, Kind::Done) << o.message;
    gen::League restored = f.league;
    for (gen::Player& p : restored.players)
        for (auto& v : p.pot) --v;
    EXPECT_EQ(test::ReadFileBytes(f.pyr), gen::PlayerFileBytes(restored));
}

// A .pot Tavrin cannot read completely is never believed: taking what the
// player file holds for the truth would lose every hidden potential. Hide is
// refused, saying what to do; a Restore from one whose record is at fault
// takes every saved player's potentials; `show` says it cannot tell.
TEST(BadInput, APotTavrinCannotReadCompletelyIsRefusedNotBelieved) {
    struct Case { std::string name, sql, says; };
    // Players as a view over a query that never ends.
    std::string view = "ALTER TABLE Players RENAME TO Saved; CREATE VIEW Players AS WITH RECURSIVE n(x) AS "
                       "(SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT x % 256 AS PID_a, 0 AS PID_b";
    for (const std::string& c : test::kPot) view += ", 50 AS " + c;
    view += " FROM n";
    // The record as an earlier Tavrin kept it, a row a player: the same
    // entries for the players the Hide below hid.
    std::string rows = "CREATE TABLE WrittenPotentials (Slot, PID_a, PID_b";
    for (const char* kind : {"Written_", "Read_"})
        for (const std::string_view code : kAttributeCodes) rows += ", " + std::string(kind) + std::string(code);
    rows += "); INSERT INTO WrittenPotentials SELECT rowid, PID_a, PID_b, 0, 0, 0, 0, 0, 0, 0, 0";
    for (const std::string& c : test::kPot) rows += ", " + c;
    rows += " FROM Players WHERE Years < 2; DROP TABLE WrittenRecord; ";
    for (const Case& c : std::vector<Case>{
             {"record dropped", "DROP TABLE WrittenRecord", "its record of what Tavrin wrote is missing"},
             {"record emptied", "DELETE FROM WrittenRecord", "holds 0 of its "},
             {"its run dropped", "DROP TABLE SavedRun", "its record of what Tavrin wrote is missing"},
             {"an entry cut short", "UPDATE WrittenRecord SET Players = substr(Players, 1, length(Players) - 1)",
              "which is no whole number of entries"},
             {"a part that is no blob", "UPDATE WrittenRecord SET Players = 'x'", "holds 'x' in its part 1"},
             {"a part out of order", "UPDATE WrittenRecord SET Chunk = 5", "holds its part 5 out of order"},
             {"the record a view", "ALTER TABLE WrittenRecord RENAME TO W; CREATE VIEW WrittenRecord AS SELECT * FROM W",
              "its record of what Tavrin wrote is missing"},
             {"an earlier record's value emptied", rows + "UPDATE WrittenPotentials SET Written_SP = NULL WHERE rowid = 1",
              "Written_SP holds nothing"},
             {"a text", rows + "UPDATE WrittenPotentials SET Written_AC = 'x' WHERE rowid = 2", "Written_AC holds 'x'"},
             {"a blob", rows + "UPDATE WrittenPotentials SET Read_DI = x'00' WHERE rowid = 1", "Read_DI holds x'00'"},
             {"out of range", rows + "UPDATE WrittenPotentials SET Written_HA = 300 WHERE rowid = 1", "Written_HA holds 300"},
             {"a fraction", rows + "UPDATE WrittenPotentials SET Written_EN = 0.5 WHERE rowid = 1", "Written_EN holds 0.5"},
             {"another player's slot", rows + "UPDATE WrittenPotentials SET Slot = Slot + 1 WHERE rowid = 1",
              "another player"},
             {"one slot twice",
              rows + "UPDATE WrittenPotentials SET Slot = (SELECT Slot FROM WrittenPotentials WHERE rowid = 1) "
                     "WHERE rowid = 2",
              "out of order"},
             {"Players a view that never ends", view, "it has no Players table"},
             {"an empty file", "", "it has no Players table"},
         }) {
        SCOPED_TRACE(c.name);
        LeagueFolder f;
        ASSERT_EQ(f.Run(Operation::Hide, 2).kind, Kind::Done);
        if (c.sql.empty()) test::WriteFileBytes(f.pot, {});
        else test::SqlExec(f.pot, c.sql);
        const auto files = f.Files();
        const run::Outcome o = f.Run(Operation::Hide, 3);
        EXPECT_EQ(o.kind, Kind::Refused) << o.message;
        EXPECT_TRUE(o.message.starts_with("Cannot hide the potentials: Demo.pot, which keeps the true potentials, "
                                          "cannot be read completely: "))
            << o.message;
        EXPECT_NE(o.message.find(c.says), std::string::npos) << o.message;
        EXPECT_NE(o.message.find("Undo the last run from the league's history"), std::string::npos) << o.message;
        EXPECT_EQ(f.Files(), files);
        // What `show` reads cannot be told either; it says so, and ends.
        std::vector<run::Whose> whose;
        const run::LeagueReport report = run::ReportLeague(f.lge, [&](const run::ReportedPlayer& p) { whose.push_back(p.potentials); });
        EXPECT_TRUE(report.potProblem && std::count(whose.begin(), whose.end(), run::Whose::Unknown) == 40);
    }
    // The record as an earlier Tavrin kept it is read all the same.
    {
        LeagueFolder f;
        ASSERT_EQ(f.Run(Operation::Hide, 2).kind, Kind::Done);
        test::SqlExec(f.pot, rows);
        EXPECT_EQ(f.Run(Operation::Hide, 3).kind, Kind::Done);
        EXPECT_EQ(f.Run(Operation::Restore).kind, Kind::Done);
        EXPECT_EQ(test::ReadFileBytes(f.pyr), gen::PlayerFileBytes(f.league));
    }
    // A Restore from a .pot without its record takes every saved player's
    // potentials, and says so.
    LeagueFolder f;
    ASSERT_EQ(f.Run(Operation::Hide, 2).kind, Kind::Done);
    test::SqlExec(f.pot, "DROP TABLE WrittenRecord");
    const run::Outcome o = f.Run(Operation::Restore);
    EXPECT_EQ(o.kind, Kind::Done) << o.message;
    EXPECT_NE(o.message.find("every saved player's potentials were taken"), std::string::npos) << o.message;
    EXPECT_EQ(test::ReadFileBytes(f.pyr), gen::PlayerFileBytes(f.league));
}

// A player file larger than any league is refused at once, before a byte of
// it is loaded; one of the most records Tavrin reads is not.
TEST(BadInput, APlayerFileLargerThanAnyLeagueIsRefusedAtOnce) {
    LeagueFolder f;
    constexpr std::uintmax_t kLargest = (std::uintmax_t{1} << 20) * 51 + 51;
    for (const std::uintmax_t size : {std::uintmax_t{4} << 30, kLargest + 1}) {
        fs::resize_file(f.pyr, size);  // sparse: no disk is filled
        run::Request request;
        request.operation = Operation::Hide;
        request.yearsLimit = 50;
        request.league = f.lge;
        SeededRandomSource random(1);
        const run::Outcome o = run::RunLeague(request, f.state, random);
        EXPECT_EQ(o.kind, Kind::Refused) << o.message;
        EXPECT_NE(o.message.find(PathText(f.pyr) + " holds " + std::to_string(size) +
                                 " bytes, more than any league: Tavrin reads at most 1048576 player records"),
                  std::string::npos)
            << o.message;
        EXPECT_FALSE(fs::exists(f.state.WorkingDatabasePath()));
    }
    fs::resize_file(f.pyr, kLargest);
    std::int64_t players = 0;
    EXPECT_NO_THROW(run::ReportLeague(f.lge, [&](const run::ReportedPlayer&) { ++players; }));
    EXPECT_EQ(players, std::int64_t{1} << 20);
}

#if !defined(_WIN32)
TEST(BadInput, AnythingButARegularFileIsRefusedBeforeItIsOpened) {
    // A pipe would make a read wait for ever, a device (here through a link,
    // which is refused as a link) never end.
    struct Case { std::string name; Operation op; std::string file; bool pipe; };
    for (const Case& c : {Case{".pot a pipe, Hide", Operation::Hide, "Demo.pot", true},
                          Case{".pot a pipe, Restore", Operation::Restore, "Demo.pot", true},
                          Case{"restored from a pipe", Operation::Restore, "kept.pot", true},
                          Case{"league file a device", Operation::Hide, "Demo.lge", false},
                          Case{"player file a device", Operation::Hide, "Demo.pyr", false},
                          Case{"lock file a pipe", Operation::Hide, "Demo.lge.lock", true}}) {
        SCOPED_TRACE(c.name);
        LeagueFolder f;
        const fs::path p = f.dir / c.file;
        fs::remove(p);
        if (c.pipe) ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0);
        else fs::create_symlink("/dev/zero", p);
        const auto files = f.Files();
        const run::Outcome o = f.Run(c.op, 50, c.file == "kept.pot" ? p : fs::path());
        EXPECT_EQ(o.kind, Kind::Refused) << o.message;
        EXPECT_NE(o.message.find(c.pipe ? "not a regular file" : "is a symbolic link to /dev/zero"), std::string::npos)
            << o.message;
        EXPECT_EQ(f.Files(), files);
    }
}
#endif

#if !defined(_WIN32)
// POSIX only: Windows counts a name's length in UTF-16 units and stops whole
// paths at 260 of them, long before these limits; its reasons are worded
// otherwise.
TEST(BadInput, NamesAreCheckedBeforeTheFirstChangeAndFileErrorsGiveTheSystemsReason) {
    // The longest base name whose files all fit: "<240>.pyr.tavrin-new" is
    // 255 bytes. One more, in bytes of UTF-8 (121 two-byte letters), is
    // refused before anything is written.
    {
        LeagueFolder f(std::string(240, 'n'));
        EXPECT_EQ(f.Run(Operation::Hide).kind, Kind::Done);
        EXPECT_EQ(f.Run(Operation::Restore).kind, Kind::Done);
        EXPECT_EQ(test::ReadFileBytes(f.pyr), gen::PlayerFileBytes(f.league));
    }
    {
        std::string base;
        for (int i = 0; i < 121; ++i) base += "\xC3\xA9";  // é
        LeagueFolder f(base);
        const auto files = f.Files();
        const run::Outcome o = f.Run(Operation::Hide);
        EXPECT_EQ(o.kind, Kind::Refused) << o.message;
        EXPECT_NE(o.message.find("longer than 255"), std::string::npos) << o.message;
        EXPECT_EQ(f.Files(), files);
    }
    // A .pot whose path is as long as the database engine takes (511 bytes),
    // and one a byte longer, which is refused.
    for (const std::size_t bytes : {511u, 512u}) {
        LeagueFolder g;
        fs::path folder = g.dir.path();
        while (bytes - folder.u8string().size() - 10 > 200) folder /= std::string(200, 'd');
        folder /= std::string(bytes - folder.u8string().size() - 10, 'd');  // and "/Demo.pot"
        fs::create_directories(folder);
        g.lge = gen::WriteLeague(folder, "Demo", g.league);
        const run::Outcome o = g.Run(Operation::Hide);
        EXPECT_EQ(o.kind, bytes == 511 ? Kind::Done : Kind::Refused) << o.message;
    }
    // A league named longer than any file system allows, and files written
    // under such names or into a folder that is not there: each message
    // names the file and gives the system's own reason.
    LeagueFolder f;
    const fs::path tooLong = f.dir / (std::string(300, 'n') + ".lge");
    f.lge = tooLong;
    const run::Outcome o = f.Run(Operation::Hide);
    EXPECT_EQ(o.kind, Kind::Refused);
    EXPECT_NE(o.message.find(PathText(tooLong) + ": File name too long"), std::string::npos) << o.message;
    const fs::path longName = std::string(256, 'n');
    const fs::path missing = f.dir / "no such folder";
    try {
        (void)platform::Folder::Open(f.dir.path()).CreateNew(longName);
        ADD_FAILURE() << "made " << longName;
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot write " + PathText(f.dir / longName) + ": File name too long");
    }
    try {
        (void)platform::Folder::Open(missing);
        ADD_FAILURE() << "opened " << missing;
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open the folder " + PathText(missing) + ": No such file or directory");
    }
}


TEST(BadInput, AnotherUsersLeagueStaysHisAndAFolderHeCanChangeIsRefusedToTheAdministrator) {
    if (::geteuid() != 0) GTEST_SKIP() << "only an administrator can save another user's files";
    // Run by the administrator on a folder another user owns, or one that
    // anyone may write without the sticky bit (where he could slip a link in
    // at any moment): refused, naming the folder.
    for (const bool othersOwnIt : {true, false}) {
        SCOPED_TRACE(othersOwnIt ? "owned by nobody" : "writable by all");
        LeagueFolder f;
        if (othersOwnIt) {
            ASSERT_EQ(::chown(f.dir.path().c_str(), 65534, 65534), 0);
        }
        fs::permissions(f.dir.path(), othersOwnIt ? fs::perms::owner_all : fs::perms::all);
        const auto files = f.Files();
        const run::Outcome o = f.Run(Operation::Hide);
        EXPECT_EQ(o.kind, Kind::Refused) << o.message;
        EXPECT_NE(o.message.find("its folder " + PathText(f.dir.path())), std::string::npos) << o.message;
        EXPECT_EQ(f.Files(), files);
        ASSERT_EQ(::chown(f.dir.path().c_str(), 0, 0), 0);
    }
    // Another user's files in a folder of the administrator: the .pot and the
    // player file keep their owner, group and mode through every run.
    LeagueFolder f;
    ASSERT_EQ(f.Run(Operation::Hide).kind, Kind::Done);
    for (const fs::path& p : {f.pyr, f.pot}) {
        ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0);
        fs::permissions(p, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    }
    for (const Operation op : {Operation::Restore, Operation::Hide}) {
        ASSERT_EQ(f.Run(op).kind, Kind::Done);
        for (const fs::path& p : {f.pyr, f.pot}) {
            struct stat st {};
            ASSERT_EQ(::stat(p.c_str(), &st), 0);
            EXPECT_TRUE(st.st_uid == 65534 && st.st_gid == 65534 && (st.st_mode & 0777) == 0640) << p;
        }
    }
}
#endif

}  // namespace
}  // namespace tavrin
