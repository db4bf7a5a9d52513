#include "PotsTestSupport.h"

#include "mDBCreate.h"
#include "mDbEngine.h"

namespace tavrin::test {

namespace {
constexpr std::array<const char*, 8> kPot{"Pot_SP", "Pot_AC", "Pot_AG", "Pot_ST",
                                          "Pot_HA", "Pot_EN", "Pot_IN", "Pot_DI"};
constexpr std::array<const char*, 8> kAct{"Act_SP", "Act_AC", "Act_AG", "Act_ST",
                                          "Act_HA", "Act_EN", "Act_IN", "Act_DI"};
}  // namespace

void MakePlayersDatabase(const std::filesystem::path& path, const std::vector<PlayerRow>& rows) {
    CreateDatabaseFile(path);
    CreatePlayersTable(path, "Players");
    auto database = db::Database::OpenDatabase(path);
    auto& rs = database->OpenRecordset("Players");
    for (const auto& r : rows) {
        rs.AddNew();
        rs.SetField("PID_a", std::int64_t{r.pidA});
        rs.SetField("PID_b", std::int64_t{r.pidB});
        rs.SetField("Years", std::int64_t{r.years});
        rs.SetField("Position", std::int64_t{1});
        rs.SetField("FirstName", std::string_view(r.firstName));
        for (std::size_t a = 0; a < 8; ++a) {
            rs.SetField(kPot[a], std::int64_t{r.pot[a]});
            rs.SetField(kAct[a], std::int64_t{r.act[a]});
        }
        rs.Update();
    }
    database->Close();
}

std::vector<PlayerRow> ReadPlayerRows(const std::filesystem::path& path) {
    auto database = db::Database::OpenDatabase(path, db::Database::Mode::ReadOnly);
    auto& rs = database->OpenRecordset("Players");
    std::vector<PlayerRow> rows;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        PlayerRow r;
        r.pidA = static_cast<int>(rs.Int("PID_a"));
        r.pidB = static_cast<int>(rs.Int("PID_b"));
        r.years = static_cast<int>(rs.Int("Years"));
        r.firstName = std::get<std::string>(rs.Field("FirstName"));
        for (std::size_t a = 0; a < 8; ++a) {
            r.pot[a] = static_cast<int>(rs.Int(kPot[a]));
            r.act[a] = static_cast<int>(rs.Int(kAct[a]));
        }
        rows.push_back(r);
    }
    database->Close();
    return rows;
}

}  // namespace tavrin::test
