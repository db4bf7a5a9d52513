#include "LeagueTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <string_view>

#include "Cp1252.h"

namespace tavrin::test {

std::vector<Row> ReadPlayers(const std::filesystem::path& database) {
    auto db = db::Database::OpenDatabase(database, db::Database::Mode::ReadOnly);
    auto& rs = db->OpenRecordset("Players");
    std::vector<Row> rows;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        Row row;
        for (std::size_t i = 0; i < rs.Fields().size(); ++i)
            row[rs.Fields()[i].name] = rs.Field(static_cast<int>(i));
        rows.push_back(std::move(row));
    }
    db->Close();
    return rows;
}

gen::League MakeLeague(gen::Kind kind, std::uint8_t start, std::uint8_t step, std::size_t count,
                       std::uint64_t seed, bool withBench) {
    gen::League league;
    league.kind = kind;
    league.start = start;
    league.step = step;
    for (int i = 0; i < 20; ++i) league.headerRest.push_back(static_cast<std::uint8_t>(251 - 13 * i));
    league.players = gen::MakePlayers(count, seed, withBench);
    return league;
}

std::string NameText(const std::string& bytes) {
    std::string padded = bytes.substr(0, 13);
    padded.resize(13, '\0');
    return cp1252::BytesToUtf8(padded);
}

namespace {
db::Value Num(std::uint8_t v) { return db::Value{std::int64_t{v}}; }
}  // namespace

void ExpectRowIsPlayer(const Row& row, const gen::Player& p, gen::Kind kind) {
    auto expect = [&](const char* column, const db::Value& value) {
        const auto it = row.find(column);
        ASSERT_NE(it, row.end()) << "no column " << column;
        EXPECT_EQ(it->second, value) << "column " << column << " of player (" << int(p.pidA) << ", "
                                     << int(p.pidB) << ")";
    };
    expect("PID_a", Num(p.pidA));
    expect("PID_b", Num(p.pidB));
    expect("FirstName", db::Value{NameText(p.firstName)});
    expect("LastName", db::Value{NameText(p.lastName)});
    expect("Years", Num(p.years));
    expect("Position", Num(p.position));
    expect("PositionGen", Num(p.positionGen));
    expect("INJ_Sev_a", Num(p.injSevA));
    expect("INJ_Sev_b", Num(p.injSevB));
    expect("INJ_Type", Num(p.injType));
    expect("INJ_Week", Num(p.injWeek));
    static constexpr std::array<const char*, 8> kPot{"Pot_SP", "Pot_AC", "Pot_AG", "Pot_ST",
                                                     "Pot_HA", "Pot_EN", "Pot_IN", "Pot_DI"};
    static constexpr std::array<const char*, 8> kAct{"Act_SP", "Act_AC", "Act_AG", "Act_ST",
                                                     "Act_HA", "Act_EN", "Act_IN", "Act_DI"};
    for (std::size_t a = 0; a < 8; ++a) {
        expect(kPot[a], Num(p.pot[a]));
        expect(kAct[a], Num(p.act[a]));
    }
    static constexpr std::array<const char*, 9> kExtra{"Height", "Weight", "SkinColor",
                                                       "OrgTeam", "OrgJerseyNum", "fBWPicture",
                                                       "fColorPicture", "fPlayerCard", "fAudioPBP"};
    for (std::size_t i = 0; i < 9; ++i)
        expect(kExtra[i], kind == gen::Kind::L03 ? Num(p.l03Extra[i]) : db::Value{});
    for (const char* never : {"Team", "JNum", "INJStatus"}) expect(never, db::Value{});
}

}  // namespace tavrin::test
