// Player records of both kinds becoming Players rows, through the import.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Cp1252.h"
#include "LeagueGenerator.h"
#include "LeagueTestSupport.h"
#include "TempDir.h"
#include "mDbase.h"
#include "mEncrypt97.h"
#include "mGlobal.h"

namespace tavrin {
namespace {

using test::ReadPlayers;
using test::Row;
using test::TempDir;

// Writes the league, imports it by its kind and returns the rows.
std::vector<Row> ImportRows(const TempDir& dir, const gen::League& league, const std::string& base = "lg") {
    gen::WriteLeague(dir.path(), base, league);
    ProgramState state;
    state.appDir = dir.path();
    const auto pyr = dir / (base + ".pyr");
    if (league.kind == gen::Kind::L02) ImportLeagueL02(state, pyr);
    else ImportLeagueL03(state, pyr);
    return ReadPlayers(state.WorkingDatabasePath());
}

db::Value Num(int v) { return db::Value{std::int64_t{v}}; }

// One record written byte by byte, every byte a different value, so that a
// byte read from the wrong offset, or a plain byte taken as substituted (or
// the other way round), shows in its column.
struct ColumnAt {
    const char* column;
    int offset;
    bool substituted;
};
constexpr std::array<ColumnAt, 25> kSingleByteColumns{{
    {"PID_a", 0, false},     {"PID_b", 1, false},      {"Pot_AC", 28, true},
    {"Pot_AG", 29, true},    {"Pot_DI", 30, true},     {"Pot_EN", 31, true},
    {"Pot_HA", 32, true},    {"Pot_IN", 33, true},     {"Pot_SP", 34, true},
    {"Pot_ST", 35, true},    {"INJ_Sev_a", 36, false}, {"INJ_Sev_b", 37, false},
    {"INJ_Type", 38, false}, {"INJ_Week", 39, false},  {"PositionGen", 40, true},
    {"Position", 41, true},  {"Act_AC", 42, true},     {"Act_AG", 43, true},
    {"Act_DI", 44, true},    {"Act_EN", 45, true},     {"Act_HA", 46, true},
    {"Act_IN", 47, true},    {"Act_SP", 48, true},     {"Act_ST", 49, true},
    {"Years", 50, true},
}};
constexpr std::array<const char*, 9> kL03Columns{"Height", "Weight", "SkinColor",
                                                  "OrgTeam", "OrgJerseyNum", "fBWPicture",
                                                  "fColorPicture", "fPlayerCard", "fAudioPBP"};

TEST(RecordDecode, EachByteReachesItsOwnColumn) {
    for (const bool l03 : {false, true}) {
        for (const auto& [start, step] : {std::pair<int, int>{0, 1}, {173, 37}}) {
            SCOPED_TRACE(std::string(l03 ? "L03" : "L02") + " start " + std::to_string(start) +
                         " step " + std::to_string(step));
            TempDir dir;
            CodeTables tables;
            BuildKeyTable(tables, static_cast<std::uint8_t>(start), static_cast<std::uint8_t>(step));
            const std::size_t len = l03 ? 60 : 51;

            std::vector<int> value(len);
            for (std::size_t o = 0; o < len; ++o) value[o] = static_cast<int>((o * 5 + 3) % 256);
            value[36] = 255;  // a plain 255 stays 255
            value[37] = 0;

            std::vector<unsigned char> file(len, 0);
            file[0] = static_cast<unsigned char>(start);
            file[1] = static_cast<unsigned char>(step);
            for (std::size_t o = 0; o < len; ++o) {
                const bool plain = o <= 1 || (o >= 36 && o <= 39) || o >= 51;
                file.push_back(static_cast<unsigned char>(plain ? value[o] : tables.iEncTable[value[o]]));
            }
            test::WriteFileBytes(dir / "lg.pyr", file);

            ProgramState state;
            state.appDir = dir.path();
            if (l03) ImportLeagueL03(state, dir / "lg.pyr");
            else ImportLeagueL02(state, dir / "lg.pyr");
            const auto rows = ReadPlayers(state.WorkingDatabasePath());
            ASSERT_EQ(rows.size(), 1u);
            const Row& row = rows[0];

            for (const auto& c : kSingleByteColumns)
                EXPECT_EQ(row.at(c.column), Num(value[c.offset])) << c.column;
            std::string first, last;
            for (int i = 0; i < 13; ++i) {
                first.push_back(static_cast<char>(value[2 + i]));
                last.push_back(static_cast<char>(value[15 + i]));
            }
            EXPECT_EQ(row.at("FirstName"), db::Value{cp1252::BytesToUtf8(first)});
            EXPECT_EQ(row.at("LastName"), db::Value{cp1252::BytesToUtf8(last)});
            for (std::size_t i = 0; i < kL03Columns.size(); ++i)
                EXPECT_EQ(row.at(kL03Columns[i]), l03 ? Num(value[51 + i]) : db::Value{}) << kL03Columns[i];
            for (const char* never : {"Team", "JNum", "INJStatus"}) EXPECT_EQ(row.at(never), db::Value{}) << never;
        }
    }
}

TEST(RecordDecode, GeneratedLeaguesDecodeToTheValuesTheyWereMadeFrom) {
    const std::vector<std::pair<int, int>> pairs{{0, 1}, {173, 37}, {255, 128}, {7, 0}, {90, 200}, {1, 255}};
    for (const auto kind : {gen::Kind::L02, gen::Kind::L03}) {
        for (const auto& [start, step] : pairs) {
            SCOPED_TRACE(std::string(kind == gen::Kind::L02 ? "L02" : "L03") + " start " +
                         std::to_string(start) + " step " + std::to_string(step));
            TempDir dir;
            auto league = test::MakeLeague(kind, static_cast<std::uint8_t>(start),
                                           static_cast<std::uint8_t>(step), 40,
                                           static_cast<std::uint64_t>(start * 256 + step), true);
            // Values at the ends of the byte range, plain and substituted alike.
            auto& edge = league.players[3];
            edge.injSevA = 255; edge.injSevB = 0; edge.injType = 255; edge.injWeek = 1;
            edge.years = 255; edge.position = 255; edge.positionGen = 0;
            edge.pot = {0, 255, 1, 254, 99, 100, 128, 127};
            edge.l03Extra = {255, 0, 255, 0, 255, 0, 255, 0, 255};

            const auto rows = ImportRows(dir, league);
            ASSERT_EQ(rows.size(), league.players.size());
            for (std::size_t i = 0; i < rows.size(); ++i) test::ExpectRowIsPlayer(rows[i], league.players[i], kind);
        }
    }
}

TEST(RecordDecode, BothKindsAgreeOnTheColumnsTheyShare) {
    TempDir dir;
    auto l03 = test::MakeLeague(gen::Kind::L03, 61, 12, 25, 99);
    auto l02 = l03;
    l02.kind = gen::Kind::L02;
    const auto rows03 = ImportRows(dir, l03, "three");
    const auto rows02 = ImportRows(dir, l02, "two");
    ASSERT_EQ(rows02.size(), 25u);
    ASSERT_EQ(rows03.size(), 25u);
    for (std::size_t i = 0; i < rows02.size(); ++i) {
        for (const auto& [column, value] : rows02[i]) {
            const bool l03Only = std::find(kL03Columns.begin(), kL03Columns.end(), column) != kL03Columns.end();
            if (l03Only) EXPECT_TRUE(db::IsNull(value)) << column;
            else EXPECT_EQ(rows03[i].at(column), value) << "row " << i << ", column " << column;
        }
        test::ExpectRowIsPlayer(rows03[i], l03.players[i], gen::Kind::L03);
    }
}

TEST(RecordDecode, NamesKeepTheirNulPadding) {
    TempDir dir;
    auto league = test::MakeLeague(gen::Kind::L02, 173, 37, 3);
    league.players[0].firstName = "";                          // 13 NULs
    league.players[0].lastName = std::string("Ab\0cd", 5);     // a NUL inside
    league.players[1].firstName = "Maximilianoxy";             // 13, no NUL at all
    const auto rows = ImportRows(dir, league);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].at("FirstName"), db::Value{std::string(13, '\0')});
    EXPECT_EQ(rows[0].at("LastName"), db::Value{std::string("Ab\0cd\0\0\0\0\0\0\0\0", 13)});
    EXPECT_EQ(rows[1].at("FirstName"), db::Value{std::string("Maximilianoxy")});
}

TEST(RecordDecode, EveryByteRoundTripsThroughAName) {
    TempDir dir;
    auto league = test::MakeLeague(gen::Kind::L02, 222, 96, 10);
    for (int i = 0; i < 10; ++i) {
        std::string first, last;
        for (int k = 0; k < 13; ++k) {
            first.push_back(static_cast<char>((26 * i + k) % 256));
            last.push_back(static_cast<char>((26 * i + 13 + k) % 256));
        }
        league.players[i].firstName = first;
        league.players[i].lastName = last;
    }
    gen::WriteLeague(dir.path(), "lg", league);
    const auto before = test::ReadFileBytes(dir / "lg.pyr");

    ProgramState state;
    state.appDir = dir.path();
    ImportLeagueL02(state, dir / "lg.pyr");
    const auto rows = ReadPlayers(state.WorkingDatabasePath());
    ASSERT_EQ(rows.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(rows[i].at("FirstName"), db::Value{cp1252::BytesToUtf8(league.players[i].firstName)});
        EXPECT_EQ(rows[i].at("LastName"), db::Value{cp1252::BytesToUtf8(league.players[i].lastName)});
    }

    SaveLeagueL02(state, dir / "lg.pyr");
    EXPECT_EQ(test::ReadFileBytes(dir / "lg.pyr"), before);
}

}  // namespace
}  // namespace tavrin
