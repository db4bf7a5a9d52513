#pragma once

// What the core tests share: a folder with the program state of a run in it,
// leagues made by our own generator, the Players table read back as rows, and
// a progress window stand-in that records what it is told.

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "LeagueGenerator.h"
#include "TempDir.h"
#include "mDbEngine.h"
#include "mDbase.h"
#include "mGlobal.h"

namespace tavrin::test {

inline constexpr std::array<const char*, 8> kPot{"Pot_SP", "Pot_AC", "Pot_AG", "Pot_ST",
                                                 "Pot_HA", "Pot_EN", "Pot_IN", "Pot_DI"};

class RecordingProgress final : public Progress {
public:
    void Show() override { ++shows; }
    void UpdateBar(std::string_view text, double step) override {
        texts.emplace_back(text);
        steps.push_back(step);
    }
    void Unload() override { ++unloads; }
    int shows = 0, unloads = 0;
    std::vector<std::string> texts;
    std::vector<double> steps;
};

using Row = std::map<std::string, db::Value>;

// Every row of Players, in table order, keyed by column name.
inline std::vector<Row> Rows(const std::filesystem::path& database) {
    auto db = db::Database::OpenDatabase(database, db::Database::Mode::ReadOnly);
    auto& rs = db->OpenRecordset("Players");
    std::vector<Row> rows;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        Row& row = rows.emplace_back();
        for (std::size_t i = 0; i < rs.Fields().size(); ++i) row[rs.Fields()[i].name] = rs.Field(static_cast<int>(i));
    }
    return rows;
}

// `count` generated players behind a header of this start value and step.
inline gen::League MakeLeague(std::uint8_t start, std::uint8_t step, std::size_t count, std::uint64_t seed = 1,
                              gen::Kind kind = gen::Kind::L02, bool withBench = false) {
    return {kind, start, step, {9, 8, 7, 6, 5, 4, 3, 2, 1}, gen::MakePlayers(count, seed, withBench), {}};
}

// A test folder and the state of a run in it: the working database, the
// league's files and its saved-potentials database all live there.
struct RunFolder {
    RunFolder() {
        state.appDir = dir.path();
        state.sPotPath = dir / "lg.pot";
        state.progress = &progress;
    }

    // Writes the league as <dir>/<base>.lge and .pyr (base in UTF-8) and imports its player file.
    void Load(const gen::League& league, const std::string& base = "lg") {
        gen::WriteLeague(dir.path(), base, league);
        pyr = dir.path() / std::filesystem::path(std::u8string(base.begin(), base.end()) + u8".pyr");
        Import(league.kind, pyr);
    }
    void Import(gen::Kind kind, const std::filesystem::path& file) {
        if (kind == gen::Kind::L02) ImportLeagueL02(state, file);
        else ImportLeagueL03(state, file);
    }
    std::vector<Row> Working() const { return Rows(state.WorkingDatabasePath()); }

    TempDir dir;
    RecordingProgress progress;
    ProgramState state;
    std::filesystem::path pyr;
};

}  // namespace tavrin::test
