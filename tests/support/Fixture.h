#pragma once

// What the tests share: the headers most of them use, folders of their own,
// leagues of our own generator, the state of a run in a folder, and a
// progress window that records.

#include <array>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "base/Error.h"
#include "db/Database.h"
#include "league/PlayersTable.h"
#include "league/Cp1252.h"
#include "league/PlayerFile.h"
#include "tools/SaveInPlace.h"
#include "league/ProgramState.h"
#include "pots/Hide.h"
#include "pots/Randomize.h"
#include "pots/Restore.h"
#include "pots/TruthFirst.h"
#include "tools/LeagueGenerator.h"

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
        // Everything made writable first, so that it can go; a failure to
        // walk on (a name another process removed meanwhile) ends the walk
        // rather than throwing out of a destructor.
        std::error_code ec;
        for (fs::recursive_directory_iterator it(path_, ec), end; !ec && it != end; it.increment(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const fs::path& name) const { return path_ / name; }

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

// Every file under a folder by its path there ("Demo.history/x.pot"), with
// its bytes; a folder is listed by its name and "/".
inline std::map<std::string, Bytes> Snapshot(const fs::path& dir) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = entry.path().lexically_relative(dir).generic_string();
        if (fs::is_directory(entry.path())) files[name + "/"] = {};
        else if (fs::is_regular_file(entry.path())) files[name] = ReadFileBytes(entry.path());
    }
    return files;
}

// The potential columns' names, in Tavrin's attribute order.
inline const std::array<std::string, 8> kPot = [] {
    std::array<std::string, 8> names;
    for (std::size_t a = 0; a < 8; ++a) names[a] = std::string(Name(kPotColumns[a]));
    return names;
}();

// Runs SQL of a test's own on a database file, made where there is none (to
// spoil it, or to read it).
inline void SqlExec(const fs::path& database, const std::string& sql) {
    db::Connection(database, db::Connection::Open::Create).Exec(sql);
}
inline std::string SqlText(const fs::path& database, const std::string& sql) {
    db::Connection c(database, db::Connection::Open::ReadOnly);
    db::Statement q(c, sql);
    return q.Step() ? std::string(q.Text(0)) : std::string();
}

// The player file of a league after its players below `limit` years had their
// potentials hidden.
inline Bytes Hidden(gen::League league, int limit) {
    for (gen::Player& p : league.players)
        if (p.years < limit) p.pot.fill(0);
    return gen::PlayerFileBytes(league);
}

// The game saves the league with a byte of a player's record changed (slot k
// is the k-th record after the header): decoded, changed, encoded again.
inline void GameSets(const fs::path& pyr, std::int64_t slot, Col column, std::uint8_t value) {
    Bytes file = ReadFileBytes(pyr);
    CodeTables tables;
    BuildTables(tables, file[0], file[1]);
    const std::span<std::uint8_t> stored(file.data() + slot * kRecordLenL02, kRecordLenL02);
    PlayerRecL02 plain;
    DecodeRecord(stored, plain, tables);
    plain[OffsetOf(column)] = value;
    EncodeRecord(plain, stored, tables);
    WriteFileBytes(pyr, file);
}

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

// A value of a row as the tests compare it: empty, a number or a text.
using Value = std::variant<std::monostate, std::int64_t, std::string>;
using Row = std::map<std::string, Value>;

// Every row of a table, in rowid order, each column by its name.
inline std::vector<Row> Rows(const fs::path& database, const std::string& table = "Players") {
    db::Connection c(database, db::Connection::Open::ReadOnly);
    db::Statement q(c, "SELECT * FROM \"" + table + "\" ORDER BY rowid");
    db::Statement names(c, "PRAGMA table_info(\"" + table + "\")");
    std::vector<std::string> columns;
    while (names.Step()) columns.emplace_back(names.Text(1));
    std::vector<Row> rows;
    while (q.Step()) {
        Row& row = rows.emplace_back();
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const int at = static_cast<int>(i);
            const db::Storage type = q.Type(at);
            row[columns[i]] = type == db::Storage::Integer ? Value(q.Int(at))
                              : type == db::Storage::Text  ? Value(std::string(q.Text(at)))
                                                           : Value();
        }
    }
    return rows;
}

// The league most tests run on: players of our generator, each with an
// identity of his own, behind a header whose substitution is no trivial one.
inline gen::League DemoLeague(gen::Kind kind = gen::Kind::L02, std::size_t players = 40) {
    return {kind, 173, 37, {0x40, 0x45}, gen::MakePlayers(players, 7), {}};
}

// `count` generated players behind a header of this start value and step.
inline gen::League MakeLeague(std::uint8_t start, std::uint8_t step, std::size_t count, std::uint64_t seed = 1,
                              gen::Kind kind = gen::Kind::L02) {
    return {kind, start, step, {9, 8, 7, 6, 5, 4, 3, 2, 1}, gen::MakePlayers(count, seed), {}};
}

// A folder with the state of a run in it: the working database, the league's
// files and its saved-potentials database all live there.
struct RunFolder {
    RunFolder() {
        state.workingFolder = dir.path();
        state.progress = &progress;
    }

    // Writes the league as <dir>/<base>.lge and .pyr (base in UTF-8) and imports its player file.
    void Load(const gen::League& league, const std::string& base = "lg") {
        gen::WriteLeague(dir.path(), base, league);
        pyr = dir.path() / fs::path(std::u8string(base.begin(), base.end()) + u8".pyr");
        Import(league.kind, pyr);
    }
    void Import(gen::Kind kind, const fs::path& file) {
        imported = kind == gen::Kind::L02 ? ImportLeague(state, file, RecordKind::L02) : ImportLeague(state, file, RecordKind::L03);
    }
    SaveResult Save() { return SaveLeagueInPlace(state, imported); }
    // Every row of Players, in table order.
    std::vector<Row> Working() const { return Rows(state.WorkingDatabasePath()); }
    TempDir dir;
    RecordingProgress progress;
    ProgramState state;
    fs::path pyr, pot = dir / "lg.pot";
    ImportedLeague imported;
};

}  // namespace tavrin::test

namespace tavrin {
namespace fs = std::filesystem;
using test::Bytes;
}  // namespace tavrin
