// Writing the players back into the player file, and the saved-potentials copy.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "Error.h"
#include "LeagueGenerator.h"
#include "LeagueTestSupport.h"
#include "TempDir.h"
#include "mDbEngine.h"
#include "mDbase.h"
#include "mEncrypt97.h"
#include "mGlobal.h"
#include "mPots.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

constexpr std::size_t kLen = 51;

// A league written by our generator and imported, ready to be saved.
class Loaded {
public:
    explicit Loaded(gen::League l) : league(std::move(l)) {
        gen::WriteLeague(dir.path(), "lg", league);
        pyr = dir / "lg.pyr";
        before = test::ReadFileBytes(pyr);
        state.appDir = dir.path();
        ImportLeagueL02(state, pyr);
    }
    std::vector<unsigned char> Bytes() const { return test::ReadFileBytes(pyr); }
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path())) names.insert(e.path().filename().string());
        return names;
    }
    // Edits the k-th row (0-based, table order) of the working database.
    void EditRow(std::size_t k, const std::function<void(db::Recordset&)>& change) {
        auto database = db::Database::OpenDatabase(state.WorkingDatabasePath());
        auto& rs = database->OpenRecordset("Players");
        for (std::size_t i = 0; i < k; ++i) rs.MoveNext();
        rs.Edit();
        change(rs);
        rs.Update();
        database->Close();
    }

    TempDir dir;
    gen::League league;
    fs::path pyr;
    std::vector<unsigned char> before;
    ProgramState state;
};

// The bytes of record slot k (the header is slot 0).
std::vector<unsigned char> Slot(const std::vector<unsigned char>& file, std::size_t k) {
    return {file.begin() + static_cast<std::ptrdiff_t>(kLen * k),
            file.begin() + static_cast<std::ptrdiff_t>(kLen * (k + 1))};
}

TEST(Save, LoadAndSaveWithNothingChangedIsByteIdentical) {
    const std::vector<std::pair<int, int>> pairs{{0, 1}, {173, 37}, {255, 128}, {7, 0}, {90, 200}};
    for (const auto& [start, step] : pairs) {
        for (const bool bench : {false, true}) {
            for (const std::size_t trailing : {std::size_t{0}, std::size_t{37}}) {
                SCOPED_TRACE("start " + std::to_string(start) + " step " + std::to_string(step) +
                             (bench ? ", bench records at the end" : "") + ", " +
                             std::to_string(trailing) + " trailing bytes");
                auto league = test::MakeLeague(gen::Kind::L02, static_cast<std::uint8_t>(start),
                                               static_cast<std::uint8_t>(step), 60,
                                               static_cast<std::uint64_t>(start + step), bench);
                // Records of Position 15 or more go to the end of the file.
                std::stable_partition(league.players.begin(), league.players.end(),
                                      [](const gen::Player& p) { return p.position < 15; });
                const auto saved = static_cast<std::size_t>(std::count_if(
                    league.players.begin(), league.players.end(), [](const gen::Player& p) { return p.position < 15; }));
                if (bench) {
                    ASSERT_LT(saved, league.players.size()) << "the generator made no bench records";
                }
                for (std::size_t i = 0; i < trailing; ++i) league.trailing.push_back(static_cast<std::uint8_t>(i * 7));

                Loaded l(league);
                test::RecordingProgress progress;
                l.state.progress = &progress;
                SaveLeagueL02(l.state, l.pyr);
                EXPECT_EQ(l.Bytes(), l.before);
                EXPECT_EQ(l.Files(), (std::set<std::string>{"lg.lge", "lg.pyr", "Temp.mdb"}));

                ASSERT_EQ(progress.updates.size(), saved);
                for (const auto& u : progress.updates) {
                    EXPECT_EQ(u.text, "Saving");
                    EXPECT_EQ(u.increment, 100.0 / static_cast<double>(saved));
                }
                EXPECT_EQ(progress.shows, 1);
                EXPECT_EQ(progress.unloads, 1);
            }
        }
    }
}

TEST(Save, HidingChangesOnlyThePotentialBytesOfTheChosenPlayers) {
    Loaded l(test::MakeLeague(gen::Kind::L02, 173, 37, 120, 8));
    HidePots(l.state, 2);  // Years 0 and 1
    SaveLeagueL02(l.state, l.pyr);

    CodeTables tables;
    BuildKeyTable(tables, 173, 37);
    const auto after = l.Bytes();
    ASSERT_EQ(after.size(), l.before.size());
    EXPECT_EQ(Slot(after, 0), Slot(l.before, 0));
    int hidden = 0;
    for (std::size_t k = 1; k <= l.league.players.size(); ++k) {
        const auto& player = l.league.players[k - 1];
        auto expected = Slot(l.before, k);
        if (player.years < 2) {
            ++hidden;
            std::fill(expected.begin() + 28, expected.begin() + 36, static_cast<unsigned char>(tables.iEncTable[0]));
        }
        EXPECT_EQ(Slot(after, k), expected) << "record " << k << ", years " << int(player.years);
    }
    EXPECT_GT(hidden, 0);
    EXPECT_LT(hidden, 120);
}

TEST(Save, ARecordNotSavedKeepsItsSlotAndNoRecordMoves) {
    auto league = test::MakeLeague(gen::Kind::L02, 40, 6, 7, 3);
    league.players[2].position = 15;
    league.players[4].position = 200;
    Loaded l(league);
    HidePots(l.state, 50);
    SaveLeagueL02(l.state, l.pyr);

    CodeTables tables;
    BuildKeyTable(tables, 40, 6);
    const auto after = l.Bytes();
    ASSERT_EQ(after.size(), l.before.size());
    for (std::size_t k = 1; k <= 7; ++k) {
        auto expected = Slot(l.before, k);
        if (k != 3 && k != 5)
            std::fill(expected.begin() + 28, expected.begin() + 36, static_cast<unsigned char>(tables.iEncTable[0]));
        EXPECT_EQ(Slot(after, k), expected) << "record " << k;
    }
}

TEST(Save, AReadOnlyPlayerFileIsLeftAsItWas) {
    Loaded l(test::MakeLeague(gen::Kind::L02, 173, 37, 30, 4));
    HidePots(l.state, 50);
    const auto readOnly = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(l.pyr, readOnly, fs::perm_options::remove);
    const auto perms = fs::status(l.pyr).permissions();

    EXPECT_THROW(SaveLeagueL02(l.state, l.pyr), std::runtime_error);
    EXPECT_EQ(l.Bytes(), l.before);
    EXPECT_EQ(fs::status(l.pyr).permissions(), perms);
    EXPECT_EQ(l.Files(), (std::set<std::string>{"lg.lge", "lg.pyr", "Temp.mdb"}));
}

TEST(Save, AFailurePartWayLeavesTheOldFileAsItWas) {
    // Rows the import never makes, late in the file, after many records have
    // already been turned into bytes.
    const std::vector<std::pair<std::string, std::function<void(db::Recordset&)>>> faults{
        {"a name character without a byte", [](db::Recordset& rs) {
             rs.SetField("LastName", std::string_view("Ma\xC4\x80" "ller"));  // U+0100
         }},
        {"an empty number", [](db::Recordset& rs) { rs.SetNull(rs.FieldIndex("Pot_ST")); }},
    };
    for (const auto& [what, fault] : faults) {
        SCOPED_TRACE(what);
        Loaded l(test::MakeLeague(gen::Kind::L02, 99, 10, 40, 6));
        HidePots(l.state, 50);
        l.EditRow(35, fault);
        EXPECT_THROW(SaveLeagueL02(l.state, l.pyr), std::runtime_error);
        EXPECT_EQ(l.Bytes(), l.before);
        EXPECT_EQ(l.Files(), (std::set<std::string>{"lg.lge", "lg.pyr", "Temp.mdb"}));
    }
}

TEST(Save, NothingToSaveIsRefusedWithoutTouchingTheFile) {
    auto benchOnly = test::MakeLeague(gen::Kind::L02, 17, 71, 5, 7);
    for (auto& p : benchOnly.players) p.position = 15;
    for (const auto& league : {benchOnly, test::MakeLeague(gen::Kind::L02, 17, 71, 0)}) {
        SCOPED_TRACE(std::to_string(league.players.size()) + " players");
        Loaded l(league);
        EXPECT_THROW(SaveLeagueL02(l.state, l.pyr), Refusal);
        EXPECT_EQ(l.Bytes(), l.before);
    }
}

TEST(Save, NamesAreWrittenAsThirteenCharacters) {
    Loaded l(test::MakeLeague(gen::Kind::L02, 173, 37, 4, 9));
    l.EditRow(0, [](db::Recordset& rs) { rs.SetField("FirstName", std::string_view("Abcdefghijklm")); });
    l.EditRow(1, [](db::Recordset& rs) { rs.SetField("FirstName", std::string_view("Al")); });
    l.EditRow(2, [](db::Recordset& rs) { rs.SetField("LastName", std::string_view("Abcdefghijklmnop")); });
    l.EditRow(3, [](db::Recordset& rs) { rs.SetField("LastName", std::string_view("\xC3\xA9t\xE2\x82\xAC")); });  // "ét€"
    SaveLeagueL02(l.state, l.pyr);

    CodeTables tables;
    BuildKeyTable(tables, 173, 37);
    const auto after = l.Bytes();
    auto name = [&](std::size_t k, std::size_t offset) {
        std::string s;
        for (std::size_t i = 0; i < 13; ++i) s.push_back(static_cast<char>(tables.iDecTable[after[kLen * k + offset + i]]));
        return s;
    };
    EXPECT_EQ(name(1, 2), "Abcdefghijklm");
    EXPECT_EQ(name(2, 2), std::string("Al\0\0\0\0\0\0\0\0\0\0\0", 13));
    EXPECT_EQ(name(3, 15), "Abcdefghijklm");
    EXPECT_EQ(name(4, 15), std::string("\xE9t\x80\0\0\0\0\0\0\0\0\0\0", 13));
    // The other name of each player is as it was.
    EXPECT_EQ(Slot(after, 1).at(20), Slot(l.before, 1).at(20));
    EXPECT_EQ(std::vector<unsigned char>(after.begin() + kLen * 2 + 15, after.begin() + kLen * 3),
              std::vector<unsigned char>(l.before.begin() + kLen * 2 + 15, l.before.begin() + kLen * 3));
}

TEST(Save, TheFileKeepsItsPermissionsAndASymlinkKeepsPointingToIt) {
    Loaded l(test::MakeLeague(gen::Kind::L02, 173, 37, 20, 12));
    const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(l.pyr, perms);
    HidePots(l.state, 50);
    SaveLeagueL02(l.state, l.pyr);
    EXPECT_EQ(fs::status(l.pyr).permissions(), perms);
    const auto hidden = l.Bytes();
    EXPECT_NE(hidden, l.before);

    // The league's player file reached through a link: the target changes,
    // the link stays a link.
    const auto link = l.dir / "link.pyr";
    test::WriteFileBytes(l.pyr, l.before);
    fs::create_symlink(l.pyr, link);
    ImportLeagueL02(l.state, link);
    HidePots(l.state, 50);
    SaveLeagueL02(l.state, link);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(l.Bytes(), hidden);
}

TEST(Save, AFolderWithNonAsciiCharactersWorks) {
    TempDir dir;
    const auto folder = dir.path() / fs::path(u8"Lig\u00e4 \u20ac");
    fs::create_directory(folder);
    gen::League league = test::MakeLeague(gen::Kind::L02, 5, 250, 12, 13);
    gen::WriteLeague(folder, "M\xC3\xBCnchen", league);  // UTF-8
    const auto pyr = folder / fs::path(u8"M\u00fcnchen.pyr");
    const auto before = test::ReadFileBytes(pyr);
    ProgramState state;
    state.appDir = folder;
    ImportLeagueL02(state, pyr);
    EXPECT_EQ(test::ReadPlayers(state.WorkingDatabasePath()).size(), 12u);
    SaveLeagueL02(state, pyr);
    EXPECT_EQ(test::ReadFileBytes(pyr), before);
}

TEST(Save, PadNameFillsUpToThirteenAndNeverShortens) {
    EXPECT_EQ(PadName(U""), std::u32string(13, U'\0'));
    EXPECT_EQ(PadName(U"Bo"), std::u32string(U"Bo") + std::u32string(11, U'\0'));
    EXPECT_EQ(PadName(std::u32string(U"a\0b", 3)), std::u32string(U"a\0b", 3) + std::u32string(10, U'\0'));
    EXPECT_EQ(PadName(U"Abcdefghijklm"), U"Abcdefghijklm");
    EXPECT_EQ(PadName(U"Abcdefghijklmnop"), U"Abcdefghijklmnop");
    EXPECT_EQ(PadName(U"\u00E9\u20AC"), std::u32string(U"\u00E9\u20AC") + std::u32string(11, U'\0'));
}

TEST(Save, TheWorkingDatabaseIsCopiedByteForByte) {
    Loaded l(test::MakeLeague(gen::Kind::L02, 173, 37, 25, 10));
    const auto pot = l.dir / "lg.pot";
    test::WriteFileBytes(pot, std::vector<unsigned char>(100000, 0x5A));  // an older, larger file
    CopyWorkingDatabase(l.state, pot);
    EXPECT_EQ(test::ReadFileBytes(pot), test::ReadFileBytes(l.state.WorkingDatabasePath()));
    EXPECT_EQ(test::ReadPlayers(pot).size(), 25u);
    EXPECT_EQ(l.Files(), (std::set<std::string>{"lg.lge", "lg.pot", "lg.pyr", "Temp.mdb"}));

    fs::remove(pot);
    CopyWorkingDatabase(l.state, pot);
    EXPECT_EQ(test::ReadFileBytes(pot), test::ReadFileBytes(l.state.WorkingDatabasePath()));
}

}  // namespace
}  // namespace tavrin
