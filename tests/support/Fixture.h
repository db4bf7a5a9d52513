#pragma once

// What the tests share: folders of their own, leagues of our own generator,
// the state of a run in a folder, and a progress window that records.

#include <array>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "LeagueGenerator.h"
#include "mDbEngine.h"
#include "mDbase.h"
#include "mGlobal.h"

namespace tavrin::test {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

// A fresh folder under the system's temporary directory, removed with
// everything in it when the object goes (read-only files too, which Windows
// will not delete).
class TempDir {
public:
    TempDir() {
        static std::atomic<unsigned> serial{0};
        std::random_device rd;
        do path_ = fs::temp_directory_path() / ("tavrin-test-" + std::to_string(rd()) + "-" + std::to_string(serial++));
        while (!fs::create_directory(path_));
    }
    ~TempDir() {
        std::error_code ec;
        for (auto& entry : fs::recursive_directory_iterator(path_, ec))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

inline Bytes ReadFileBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + p.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFileBytes(const fs::path& p, const Bytes& bytes) {
    if (!std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes)))
        throw std::runtime_error("cannot write " + p.string());
}

// Every file of a folder by name, with its bytes.
inline std::map<std::string, Bytes> Snapshot(const fs::path& dir) {
    std::map<std::string, Bytes> files;
    for (const auto& file : fs::directory_iterator(dir)) files[file.path().filename().string()] = ReadFileBytes(file);
    return files;
}

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

// `count` generated players behind a header of this start value and step.
inline gen::League MakeLeague(std::uint8_t start, std::uint8_t step, std::size_t count, std::uint64_t seed = 1,
                              gen::Kind kind = gen::Kind::L02) {
    return {kind, start, step, {9, 8, 7, 6, 5, 4, 3, 2, 1}, gen::MakePlayers(count, seed), {}};
}

// A folder with the state of a run in it: the working database, the league's
// files and its saved-potentials database all live there.
struct RunFolder {
    RunFolder() {
        state.appDir = dir.path();
        state.sPotPath = dir / "lg.pot";
        state.progress = &progress;
    }

    // Writes the league as <dir>/<base>.lge and .pyr (base in UTF-8) and imports its player file.
    void Load(const gen::League& league, const std::string& base = "lg") {
        gen::WriteLeague(dir.path(), base, league);
        pyr = dir.path() / fs::path(std::u8string(base.begin(), base.end()) + u8".pyr");
        Import(league.kind, pyr);
    }
    void Import(gen::Kind kind, const fs::path& file) {
        if (kind == gen::Kind::L02) ImportLeagueL02(state, file);
        else ImportLeagueL03(state, file);
    }
    // Every row of Players, in table order.
    std::vector<Row> Working() const {
        auto db = db::Database::OpenDatabase(state.WorkingDatabasePath(), db::Database::Mode::ReadOnly);
        auto& rs = db->OpenRecordset("Players");
        std::vector<Row> rows;
        for (; !rs.IsEOF(); rs.MoveNext()) {
            Row& row = rows.emplace_back();
            for (std::size_t i = 0; i < rs.Fields().size(); ++i) row[rs.Fields()[i].name] = rs.Field(static_cast<int>(i));
        }
        return rows;
    }

    TempDir dir;
    RecordingProgress progress;
    ProgramState state;
    fs::path pyr;
};

}  // namespace tavrin::test
