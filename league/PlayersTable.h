#pragma once

// The Players table of the working database: its 39 columns in the order
// they are created, Tavrin's attribute order, and where each column stands in
// a table that is read. This is the one place the schema is written down;
// the record layout (league/RecordLayout.h), the operations, the league
// generator and the tests name columns through it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "db/Database.h"

namespace tavrin {

// The columns, in the order they are created.
enum class Col : std::uint8_t {
    Team, PID_a, PID_b, JNum, FirstName, LastName, Years, Position, PositionGen,
    INJ_Sev_a, INJ_Sev_b, INJ_Type, INJ_Week, INJStatus,
    Pot_SP, Pot_AC, Pot_AG, Pot_ST, Pot_HA, Pot_EN, Pot_IN, Pot_DI,
    Act_SP, Act_AC, Act_AG, Act_ST, Act_HA, Act_EN, Act_IN, Act_DI,
    Height, Weight, SkinColor, OrgTeam, OrgJerseyNum, fBWPicture, fColorPicture, fPlayerCard, fAudioPBP,
};
inline constexpr std::size_t kPlayersColumnCount = 39;

struct ColumnDef {
    Col column;
    std::string_view name;
    db::FieldType type;
};

namespace players_detail {
inline constexpr auto Text = db::FieldType::Text;
inline constexpr auto Byte = db::FieldType::Byte;
inline constexpr auto Integer = db::FieldType::Integer;
}  // namespace players_detail

inline constexpr std::array<ColumnDef, kPlayersColumnCount> kPlayersColumns{{
    {Col::Team, "Team", players_detail::Text},
    {Col::PID_a, "PID_a", players_detail::Byte},
    {Col::PID_b, "PID_b", players_detail::Byte},
    {Col::JNum, "JNum", players_detail::Integer},
    {Col::FirstName, "FirstName", players_detail::Text},
    {Col::LastName, "LastName", players_detail::Text},
    {Col::Years, "Years", players_detail::Byte},
    {Col::Position, "Position", players_detail::Byte},
    {Col::PositionGen, "PositionGen", players_detail::Byte},
    {Col::INJ_Sev_a, "INJ_Sev_a", players_detail::Byte},
    {Col::INJ_Sev_b, "INJ_Sev_b", players_detail::Byte},
    {Col::INJ_Type, "INJ_Type", players_detail::Byte},
    {Col::INJ_Week, "INJ_Week", players_detail::Byte},
    {Col::INJStatus, "INJStatus", players_detail::Byte},
    {Col::Pot_SP, "Pot_SP", players_detail::Byte},
    {Col::Pot_AC, "Pot_AC", players_detail::Byte},
    {Col::Pot_AG, "Pot_AG", players_detail::Byte},
    {Col::Pot_ST, "Pot_ST", players_detail::Byte},
    {Col::Pot_HA, "Pot_HA", players_detail::Byte},
    {Col::Pot_EN, "Pot_EN", players_detail::Byte},
    {Col::Pot_IN, "Pot_IN", players_detail::Byte},
    {Col::Pot_DI, "Pot_DI", players_detail::Byte},
    {Col::Act_SP, "Act_SP", players_detail::Byte},
    {Col::Act_AC, "Act_AC", players_detail::Byte},
    {Col::Act_AG, "Act_AG", players_detail::Byte},
    {Col::Act_ST, "Act_ST", players_detail::Byte},
    {Col::Act_HA, "Act_HA", players_detail::Byte},
    {Col::Act_EN, "Act_EN", players_detail::Byte},
    {Col::Act_IN, "Act_IN", players_detail::Byte},
    {Col::Act_DI, "Act_DI", players_detail::Byte},
    {Col::Height, "Height", players_detail::Byte},
    {Col::Weight, "Weight", players_detail::Byte},
    {Col::SkinColor, "SkinColor", players_detail::Byte},
    {Col::OrgTeam, "OrgTeam", players_detail::Byte},
    {Col::OrgJerseyNum, "OrgJerseyNum", players_detail::Byte},
    {Col::fBWPicture, "fBWPicture", players_detail::Byte},
    {Col::fColorPicture, "fColorPicture", players_detail::Byte},
    {Col::fPlayerCard, "fPlayerCard", players_detail::Byte},
    {Col::fAudioPBP, "fAudioPBP", players_detail::Byte},
}};

// The table above lists every column once, at the place of its enumerator.
static_assert([] {
    for (std::size_t i = 0; i < kPlayersColumns.size(); ++i)
        if (static_cast<std::size_t>(kPlayersColumns[i].column) != i) return false;
    return true;
}(), "kPlayersColumns must follow the order of Col");

constexpr std::string_view Name(Col c) { return kPlayersColumns[static_cast<std::size_t>(c)].name; }

// The eight ratings in Tavrin's attribute order: SP, AC, AG, ST, HA, EN, IN, DI.
inline constexpr std::array<Col, 8> kPotColumns{Col::Pot_SP, Col::Pot_AC, Col::Pot_AG, Col::Pot_ST,
                                                Col::Pot_HA, Col::Pot_EN, Col::Pot_IN, Col::Pot_DI};
inline constexpr std::array<Col, 8> kActColumns{Col::Act_SP, Col::Act_AC, Col::Act_AG, Col::Act_ST,
                                                Col::Act_HA, Col::Act_EN, Col::Act_IN, Col::Act_DI};
inline constexpr std::array<std::string_view, 8> kAttributeCodes{"SP", "AC", "AG", "ST", "HA", "EN", "IN", "DI"};

// The columns' definitions, as the engine creates them.
std::vector<db::FieldDef> PlayersFieldDefs();

// The names of these columns, for a query that reads only them.
template <std::size_t N>
std::vector<std::string> ColumnNames(const std::array<Col, N>& columns) {
    std::vector<std::string> names;
    for (const Col c : columns) names.emplace_back(Name(c));
    return names;
}

// The players below an experience limit, reading these columns.
inline db::Query PlayersWhereYearsBelow(std::int64_t limit, std::vector<std::string> columns = {}) {
    return {"Players", {{"Years", db::Condition::Op::Less, limit}}, std::move(columns)};
}

// Where each Players column stands in one table's field list, found once by
// name (without regard to case), so that the rows that follow are read by
// position. A table made by hand may lack columns: At() names a missing one.
class PlayersColumns {
public:
    explicit PlayersColumns(const std::vector<db::FieldDef>& fields);
    bool Has(Col c) const { return index_[static_cast<std::size_t>(c)] >= 0; }
    // The column's position; an error naming the column where there is none.
    int At(Col c) const;
    int operator[](Col c) const { return At(c); }

private:
    std::array<int, kPlayersColumnCount> index_{};
};

}  // namespace tavrin
