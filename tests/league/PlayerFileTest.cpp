// The league's files: the format tag, player records becoming Players rows,
// and the save that writes them back.

#include <gtest/gtest.h>

#include <SQLiteCpp/SQLiteCpp.h>

#include <algorithm>

#include "Cp1252.h"
#include "Error.h"
#include "Fixture.h"
#include "mLeagueVersion.h"
#include "mPots.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;
using test::RunFolder;

constexpr auto kWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

db::Value Num(int v) { return db::Value{std::int64_t{v}}; }

// The bytes of record slot k of an L02 player file (the header is slot 0).
Bytes Slot(const Bytes& file, std::size_t k) { return {file.begin() + 51 * k, file.begin() + 51 * (k + 1)}; }

TEST(LeagueVersion, TheTagAloneDecidesTheFormat) {
    using namespace std::string_literals;
    const std::vector<std::pair<std::string, std::int16_t>> cases{
        {"L02:", kLeagueL02},  {"L02:\0\xFF rest of the header"s, kLeagueL02}, {"L03:", kLeagueL03},
        {"L03:L02:", kLeagueL03}, {"l02:", kLeagueOther}, {"L03;", kLeagueOther}, {"L02 ", kLeagueOther},
        {" L02:", kLeagueOther}, {"L04:", kLeagueOther},  {"L02", kLeagueOther},  {"", kLeagueOther},
        {"\0\0\0\0"s, kLeagueOther}};
    test::TempDir dir;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [contents, code] = cases[i];
        const auto path = dir / ("lg" + std::to_string(i) + ".lge");
        test::WriteFileBytes(path, Bytes(contents.begin(), contents.end()));
        fs::permissions(path, kWrite, fs::perm_options::remove);  // as on a CD: read all the same
        ProgramState state;
        state.iLeagueVersion = code == kLeagueOther ? kLeagueL03 : kLeagueOther;  // each call sets it afresh
        ReadLeagueVersion(state, path);
        EXPECT_EQ(state.iLeagueVersion, code) << "\"" << contents << "\"";
        EXPECT_EQ(test::ReadFileBytes(path), Bytes(contents.begin(), contents.end()));
    }
    // A missing league file is made, empty, and so has no known tag.
    ProgramState state;
    state.iLeagueVersion = kLeagueL02;
    ReadLeagueVersion(state, dir / "missing.lge");
    EXPECT_EQ(state.iLeagueVersion, kLeagueOther);
    EXPECT_EQ(test::ReadFileBytes(dir / "missing.lge"), Bytes{});
}

TEST(RecordDecode, EachByteReachesItsOwnColumn) {
    // One record with a different value in every byte, so that a byte read
    // from the wrong offset, or a plain byte taken as substituted (or the
    // other way round), shows in its column.
    constexpr std::array<const char*, 23> kAt28{
        "Pot_AC", "Pot_AG", "Pot_DI", "Pot_EN", "Pot_HA", "Pot_IN", "Pot_SP", "Pot_ST",
        "INJ_Sev_a", "INJ_Sev_b", "INJ_Type", "INJ_Week", "PositionGen", "Position", "Act_AC", "Act_AG",
        "Act_DI", "Act_EN", "Act_HA", "Act_IN", "Act_SP", "Act_ST", "Years"};
    constexpr std::array<const char*, 9> kAt51{"Height", "Weight", "SkinColor", "OrgTeam", "OrgJerseyNum",
                                               "fBWPicture", "fColorPicture", "fPlayerCard", "fAudioPBP"};
    CodeTables tables;
    BuildKeyTable(tables, 173, 37);
    for (const auto kind : {gen::Kind::L02, gen::Kind::L03}) {
        const std::size_t len = kind == gen::Kind::L02 ? 51 : 60;
        SCOPED_TRACE(len);
        Bytes value(len), file(len, 0);
        file[0] = 173;
        file[1] = 37;
        for (std::size_t o = 0; o < len; ++o) {
            value[o] = static_cast<unsigned char>(o == 36 ? 255 : (o * 5 + 3) % 256);  // a plain 255 stays 255
            const bool plain = o <= 1 || (o >= 36 && o <= 39) || o >= 51;
            file.push_back(plain ? value[o] : static_cast<unsigned char>(tables.iEncTable[value[o]]));
        }
        RunFolder r;
        test::WriteFileBytes(r.dir / "lg.pyr", file);
        r.Import(kind, r.dir / "lg.pyr");
        const auto rows = r.Working();
        ASSERT_EQ(rows.size(), 1u);

        const auto name = [&](std::size_t at) { return cp1252::BytesToUtf8({reinterpret_cast<char*>(&value[at]), 13}); };
        test::Row expected{{"Team", {}}, {"JNum", {}}, {"INJStatus", {}}, {"PID_a", Num(value[0])},
                           {"PID_b", Num(value[1])}, {"FirstName", name(2)}, {"LastName", name(15)}};
        for (std::size_t i = 0; i < kAt28.size(); ++i) expected[kAt28[i]] = Num(value[28 + i]);
        for (std::size_t i = 0; i < kAt51.size(); ++i) expected[kAt51[i]] = len == 60 ? Num(value[51 + i]) : db::Value{};
        ASSERT_EQ(rows[0].size(), expected.size());
        for (const auto& [column, v] : expected) EXPECT_EQ(rows[0].at(column), v) << column;
    }
}

TEST(Import, EveryWholeRecordBecomesARowAndAStepOfProgress) {
    for (const auto kind : {gen::Kind::L02, gen::Kind::L03}) {
        for (const std::size_t count : {0, 7}) {
            for (const std::size_t trailing : {0, 1, 50}) {
                SCOPED_TRACE(std::to_string(count) + " records, " + std::to_string(trailing) + " bytes after them");
                auto league = test::MakeLeague(201, 14, count, 5, kind);
                league.trailing.assign(trailing, 0xEE);
                RunFolder r;
                r.Load(league);
                ASSERT_EQ(r.Working().size(), count);
                // n records: n steps of 100 / (n + 1), the header counting as one.
                EXPECT_EQ(r.progress.texts, std::vector<std::string>(count, "Loading League"));
                EXPECT_EQ(r.progress.steps, std::vector<double>(count, 100.0 / static_cast<double>(count + 1)));
                EXPECT_EQ(r.progress.shows, 1);
                EXPECT_EQ(r.progress.unloads, 1);
            }
        }
    }
}

TEST(Import, AMissingOrShortPlayerFileIsRefusedAndNothingChanges) {
    for (const auto kind : {gen::Kind::L02, gen::Kind::L03}) {
        const std::size_t len = kind == gen::Kind::L02 ? 51 : 60;
        RunFolder r;
        const auto refused = [&] {
            for (const Bytes& bytes : {Bytes{}, Bytes{50, 3}, Bytes(len - 1, 7)}) {
                test::WriteFileBytes(r.dir / "short.pyr", bytes);
                EXPECT_THROW(r.Import(kind, r.dir / "short.pyr"), Refusal) << bytes.size() << " bytes";
                EXPECT_EQ(test::ReadFileBytes(r.dir / "short.pyr"), bytes);
            }
            EXPECT_THROW(r.Import(kind, r.dir / "missing.pyr"), Refusal);
        };
        refused();  // no working database is made
        EXPECT_EQ(test::FileNames(r.dir.path()), std::set<std::string>{"short.pyr"});
        r.Load(test::MakeLeague(50, 3, 4, 21, kind));  // one of an earlier run stays as it was
        const auto working = test::ReadFileBytes(r.state.WorkingDatabasePath());
        refused();
        EXPECT_EQ(test::ReadFileBytes(r.state.WorkingDatabasePath()), working);
        EXPECT_EQ(test::FileNames(r.dir.path()), (std::set<std::string>{"lg.lge", "lg.pyr", "short.pyr", "Temp.mdb"}));
    }
}

TEST(Save, LoadAndSaveWithNothingChangedIsByteIdentical) {
    for (const auto& [start, step] : {std::pair<std::uint8_t, std::uint8_t>{0, 1}, {173, 37}, {255, 128}, {7, 0}}) {
        SCOPED_TRACE("start " + std::to_string(start) + ", step " + std::to_string(step));
        auto league = test::MakeLeague(start, step, 60, start + step, gen::Kind::L02, true);
        // Records of Position 15 or more at the end, and a partial record behind them.
        const auto saved = static_cast<std::size_t>(
            std::stable_partition(league.players.begin(), league.players.end(), [](const gen::Player& p) { return p.position < 15; }) -
            league.players.begin());
        ASSERT_LT(saved, 60u) << "no record of Position 15 or more";
        league.trailing.assign(37, 0xC5);
        // Names that hold every byte from 0 to 255 between them.
        for (std::size_t i = 0; i < 20; ++i) {
            std::string& name = i % 2 ? league.players[i / 2].lastName : league.players[i / 2].firstName;
            name.clear();
            for (std::size_t k = 0; k < 13; ++k) name.push_back(static_cast<char>((13 * i + k) % 256));
        }
        RunFolder r;
        r.Load(league);
        r.progress = {};
        SaveLeagueL02(r.state, r.pyr);
        EXPECT_EQ(test::ReadFileBytes(r.pyr), gen::PlayerFileBytes(league));
        EXPECT_EQ(test::FileNames(r.dir.path()), (std::set<std::string>{"lg.lge", "lg.pyr", "Temp.mdb"}));
        EXPECT_EQ(r.progress.texts, std::vector<std::string>(saved, "Saving"));
        EXPECT_EQ(r.progress.steps, std::vector<double>(saved, 100.0 / static_cast<double>(saved)));
    }
}

TEST(Save, EachRowGoesBackToItsOwnSlotAndOnlyItsPotentialsChange) {
    auto league = test::MakeLeague(40, 6, 7, 3);
    league.players[2].position = 15;  // records 3 and 5 are not written back
    league.players[4].position = 200;
    RunFolder r;
    r.Load(league, "Lig\xC3\xA4 \xE2\x82\xAC");  // "Ligä €"
    HidePots(r.state, 50);
    // Saved through a link: the link stays one, the file keeps its permissions.
    const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(r.pyr, perms);
    fs::create_symlink(r.pyr, r.dir / "link.pyr");
    SaveLeagueL02(r.state, r.dir / "link.pyr");
    EXPECT_TRUE(fs::is_symlink(r.dir / "link.pyr"));
    EXPECT_EQ(fs::status(r.pyr).permissions(), perms);
    const auto before = gen::PlayerFileBytes(league), after = test::ReadFileBytes(r.pyr);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(Slot(after, 0), Slot(before, 0));
    for (std::size_t k = 1; k <= 7; ++k) {
        auto expected = Slot(before, k);
        if (k != 3 && k != 5)
            std::fill(expected.begin() + 28, expected.begin() + 36, static_cast<unsigned char>(r.state.tables.iEncTable[0]));
        EXPECT_EQ(Slot(after, k), expected) << "record " << k;
    }
}

TEST(Save, AFailureLeavesTheOldFileAsItWas) {
    // Each case spoils one thing after the import, late in the file where
    // many records have already been encoded; no statement: the file is read-only.
    for (const auto& [what, sql] : {std::pair<const char*, const char*>{"a read-only player file", nullptr},
                                    {"a character without a byte", "UPDATE Players SET LastName = 'Ma\xC4\x80ller' WHERE rowid = 35"},
                                    {"an empty number", "UPDATE Players SET Pot_ST = NULL WHERE rowid = 35"},
                                    {"no player to write", "UPDATE Players SET Position = 15"}}) {
        SCOPED_TRACE(what);
        const auto league = test::MakeLeague(99, 10, 40, 6);
        RunFolder r;
        r.Load(league);
        HidePots(r.state, 50);
        if (sql) db::Database::OpenDatabase(r.state.WorkingDatabasePath())->Connection().exec(sql);
        else fs::permissions(r.pyr, kWrite, fs::perm_options::remove);
        const auto perms = fs::status(r.pyr).permissions();
        EXPECT_THROW(SaveLeagueL02(r.state, r.pyr), std::runtime_error);
        EXPECT_EQ(test::ReadFileBytes(r.pyr), gen::PlayerFileBytes(league));
        EXPECT_EQ(fs::status(r.pyr).permissions(), perms);
        EXPECT_EQ(test::FileNames(r.dir.path()), (std::set<std::string>{"lg.lge", "lg.pyr", "Temp.mdb"}));
    }
}

}  // namespace
}  // namespace tavrin
