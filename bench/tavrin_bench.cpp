// tavrin-bench: how fast and how lean each step of a run is, against the
// floors of the machine it runs on.
//
//   tavrin-bench [--sizes 2000,65536,1000000] [--reps 15,9,5] [--dir PATH]
//
// For each league size it writes a player file with our own generator, then,
// several times over, runs every step of a run through the core with the
// silent progress sink (import, copy to the saved-potentials file, Hide with
// "All Players", save, Restore, Randomize) and, in the same repetition, the
// floor each step is held against:
//
//   import     one prepared INSERT of the same decoded rows, in one
//              transaction, into a fresh Players table (reading and decoding
//              the player file included)
//   copy       a plain copy of the working database's bytes (read, write, sync)
//   Hide       one UPDATE that zeroes the eight potentials of the same players
//   Randomize  one UPDATE that sets the eight potentials of the same players
//   Restore    one UPDATE that sets the eight potentials of every player
//   save       one sequential scan of the columns the save reads, the records
//              encoded, written to a new file, flushed and renamed over the
//              old one (what a save cannot do without)
//
// Then the whole Hide run as a user makes it, through the run core (checks,
// locks, import, the true potentials kept, Hide, save, the new player file
// and .pot put in place together, the history): on the league as generated,
// and once more on the league it hid, starting from the true potentials the
// first saved. Last, after every size, that whole run with the real progress
// window (drawn offscreen), in turns with the same run with the silent sink:
// what the window costs.
//
// The floors use the connection settings of the core's own engine layer
// (db::ApplySettings), so a ratio measures the core's overhead, not a
// difference of settings. The files are flushed to the disk by both sides:
// the core replaces files all or nothing, which needs the sync.
//
// It prints minimum and median times, nanoseconds per player and the ratio to
// the floor, the peak resident memory at each size, and whether the time per
// player stays flat as the league grows. It asserts nothing.

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#if defined(TAVRIN_BENCH_WINDOW)
#include <QApplication>

#include <QTableView>

#include "tools/LeagueGenerator.h"
#include "window/PlayersModel.h"
#include "window/PlayersWindow.h"
#include "window/ProgressWindow.h"
#endif

#include "bench/BenchSupport.h"
#include "bench/Floors.h"
#include "league/PlayersTable.h"
#include "platform/Platform.h"
#include "league/PlayerFile.h"
#include "league/WorkingDatabase.h"
#include "tools/SaveInPlace.h"
#include "league/ProgramState.h"
#include "pots/Hide.h"
#include "pots/RandomSource.h"
#include "pots/Randomize.h"
#include "pots/Restore.h"
#include "pots/TruthFirst.h"
#include "run/Run.h"

namespace fs = std::filesystem;
using namespace tavrin;
using namespace tavrin::bench;

namespace {

enum Step { kImport, kCopy, kHide, kRandomize, kRestore, kSave, kSteps };
constexpr std::array<std::string_view, kSteps> kStepNames{"import", "copy", "Hide", "Randomize", "Restore", "save"};
constexpr std::array<std::string_view, kSteps> kFloorNames{
    "INSERT, 1 stmt, 1 txn", "file copy (working db)", "UPDATE, pots = 0",
    "UPDATE, Years < 7", "UPDATE, every player", "scan, encode, write"};

struct SizeResult {
    std::size_t players = 0;
    int reps = 0;
    std::array<std::vector<double>, kSteps> step, floor;
    std::vector<double> run, again;    // whole Hide runs through the run core; again, from the truth
    std::vector<double> commit;        // the floor of a safe commit beyond writing both files
    std::vector<double> core, window;  // whole Hide runs, silent and with the window
    std::int64_t randomized = 0;
    std::uint64_t playerFileBytes = 0, workingDbBytes = 0;
    Memory before, after;
};

// Import, copy, Hide and save: a whole Hide run.
constexpr std::array<Step, 4> kHideRun{kImport, kCopy, kHide, kSave};

// A whole Hide run on a league as generated, with the given progress; the
// time of each step, and what the import handed the save.
std::pair<std::array<double, 6>, ImportedLeague> HideRunOnce(ProgramState& state, const LeaguePaths& paths,
                                                              const fs::path& pristine, Progress& progress);
std::pair<double, double> WholeRun(ProgramState& state, const fs::path& dir, const fs::path& pristine,
                                   Progress& progress, bool again);

SizeResult RunSize(const fs::path& root, std::size_t players, int reps, const std::array<std::string, 256>& utf8) {
    SizeResult r;
    r.players = players;
    r.reps = reps;

    const fs::path dir = root / ("n" + std::to_string(players));
    fs::create_directories(dir / "app");
    fs::create_directories(dir / "whole");
    const fs::path pristine = dir / "pristine.pyr";
    WritePlayerFile(pristine, players);
    r.playerFileBytes = fs::file_size(pristine);

    ProgramState state;
    state.workingFolder = dir / "app";
    const LeaguePaths paths = LeaguePaths::Of(dir / "Bench.lge");
    const fs::path floorDb = dir / "floor.mdb";
    const fs::path floorCopy = dir / "floor-copy.mdb";
    const fs::path floorSave = dir / "floor-save.pyr";
    ClockRandomSource random;

    ResetPeak();
    r.before = ReadMemory();
    for (int rep = 0; rep < reps; ++rep) {
        std::array<double, kSteps> f{};
        auto [s, league] = HideRunOnce(state, paths, pristine, state.silentProgress);
        r.commit.push_back(CommitFloor(paths.playerFile.parent_path(), paths.playerFile, paths.potFile));
        f[kImport] = InsertFloor(paths.playerFile, floorDb, utf8);
        f[kCopy] = TimeMs([&] { CopyFileFloor(state.WorkingDatabasePath(), floorCopy); });
        if (rep == 0) r.workingDbBytes = fs::file_size(state.WorkingDatabasePath());
        f[kHide] = UpdateFloor(floorDb, [](std::size_t) { return std::string("0"); }, " WHERE Years < 50");
        f[kSave] = SaveFloor(floorDb, floorSave, league);
        // Restore puts back the potentials Hide took away, as a Restore run
        // on a hidden league does; Randomize then works on real potentials.
        // (What goes back is found as a Restore run's import finds it, untimed.)
        // The truths and the open .pot go before the steps after it, as
        // they go at the end of a Restore run.
        {
            TruthFirst truth(paths.potFile, TruthFirst::Use::Restore);
            const RecordHook hook = truth.Hook(static_cast<std::int64_t>(players));
            std::vector<std::uint8_t> record;
            ReadPlayerFile(paths.playerFile, RecordKind::L02, [&](std::int64_t slot, std::span<const std::uint8_t> plain) {
                record.assign(plain.begin(), plain.end());
                hook(slot, record);
            });
            truth.Finish(state);
            s[kRestore] = TimeMs([&] { RestorePots(state, truth.Targets()); });
        }
        f[kRestore] = UpdateFloor(floorDb, [](std::size_t a) { return std::string(Name(kActColumns[a])) + " + 1"; }, "");
        s[kRandomize] = TimeMs([&] { RandomizePots(state, random); });
        f[kRandomize] = UpdateFloor(
            floorDb, [](std::size_t a) { return "min(99, " + std::string(Name(kPotColumns[a])) + " + 2)"; },
            " WHERE Years < 7");
        if (rep == 0) r.randomized = CountRows(floorDb, " WHERE Years < 7");

        for (int k = 0; k < kSteps; ++k) {
            r.step[static_cast<std::size_t>(k)].push_back(s[static_cast<std::size_t>(k)]);
            r.floor[static_cast<std::size_t>(k)].push_back(f[static_cast<std::size_t>(k)]);
        }
        const auto [whole, again] = WholeRun(state, dir / "whole", pristine, state.silentProgress, true);
        r.run.push_back(whole);
        r.again.push_back(again);
    }
    r.after = ReadMemory();
    fs::remove_all(dir);
    return r;
}

std::pair<std::array<double, 6>, ImportedLeague> HideRunOnce(ProgramState& state, const LeaguePaths& paths,
                                                              const fs::path& pristine, Progress& progress) {
    CopyFileFloor(pristine, paths.playerFile);
    state.progress = &progress;
    std::array<double, kSteps> s{};
    ImportedLeague league;
    s[kImport] = TimeMs([&] { league = ImportLeague(state, paths.playerFile, RecordKind::L02); });
    s[kCopy] = TimeMs([&] {
        const platform::Folder folder = platform::Folder::Open(paths.potFile.parent_path());
        folder.Remove(paths.potFile.filename());
        std::optional<platform::File> pot = folder.CreateNew(paths.potFile.filename());
        CopyWorkingDatabase(state, *pot);
        pot->Sync();
    });
    s[kHide] = TimeMs([&] { HidePots(state, 50); });
    s[kSave] = TimeMs([&] { SaveLeagueInPlace(state, league); });
    state.progress = &state.silentProgress;
    return {s, league};
}

// A whole Hide run of "All Players" through the run core, as the window and
// the command line make it, on the league as generated in `dir` (no .pot, no
// history yet); with `again`, a second one on the league it hid, starting
// from the true potentials the first saved. Their times.
std::pair<double, double> WholeRun(ProgramState& state, const fs::path& dir, const fs::path& pristine,
                                   Progress& progress, bool again) {
    const fs::path lge = dir / "Bench.lge";
    if (!fs::exists(lge)) {
        std::FILE* f = OpenFile(lge, true);
        std::fwrite("L02:", 1, 4, f);
        std::fclose(f);
    }
    const LeaguePaths paths = LeaguePaths::Of(lge);
    fs::remove_all(paths.history);
    fs::remove(paths.potFile);
    CopyFileFloor(pristine, paths.playerFile);
    state.progress = &progress;
    run::Request request;
    request.operation = run::Operation::Hide;
    request.yearsLimit = 50;
    request.league = lge;
    SeededRandomSource random(1);
    const auto once = [&] {
        return TimeMs([&] {
            const run::Outcome o = run::RunLeague(request, state, random);
            if (o.kind != run::Outcome::Kind::Done) throw std::runtime_error("the whole run failed: " + o.message);
        });
    };
    const double first = once();
    const double second = again ? once() : 0;
    state.progress = &state.silentProgress;
    return {first, second};
}

// The whole Hide run through the progress window against the same run with
// the silent sink, taken in turns on the same league. Done after every size's
// steps, so that the window's own memory never counts as the run's.
void RunWindow(const fs::path& root, SizeResult& r, Progress& window) {
    const fs::path dir = root / ("w" + std::to_string(r.players));
    fs::create_directories(dir / "app");
    const fs::path pristine = dir / "pristine.pyr";
    WritePlayerFile(pristine, r.players);
    ProgramState state;
    state.workingFolder = dir / "app";
    for (int rep = 0; rep < r.reps; ++rep) {
        r.core.push_back(WholeRun(state, dir, pristine, state.silentProgress, false).first);
        r.window.push_back(WholeRun(state, dir, pristine, window, false).first);
    }
    fs::remove_all(dir);
}

double NsPerPlayer(double ms, std::size_t players) { return ms * 1e6 / static_cast<double>(players); }

// A whole Hide run (import, copy, Hide, save) and the sum of its floors,
// each the sum of its steps' minimums (or medians): on a busy machine a step's
// quietest repetition is the best estimate of it, even when no repetition was
// quiet from start to end.
double HideRun(const SizeResult& r, bool floors, double (*of)(std::vector<double>) = Min) {
    double sum = 0;
    for (Step k : kHideRun) sum += of(floors ? r.floor[k] : r.step[k]);
    return sum;
}

// What a whole run is held against: the floors of its four steps and of the
// safe commit, each from its minimum (or median).
double WholeFloors(const SizeResult& r, double (*of)(std::vector<double>) = Min) { return HideRun(r, true, of) + of(r.commit); }
double WholeRatio(const SizeResult& r) { return Min(r.run) / WholeFloors(r); }
double AgainRatio(const SizeResult& r) { return Min(r.again) / WholeFloors(r); }
double StepRatio(const SizeResult& r, Step k) { return Min(r.step[k]) / Min(r.floor[k]); }

// The whole Hide run through the window against the same run without it,
// each the quickest of its repetitions.
double WindowRatio(const SizeResult& r) { return Min(r.window) / Min(r.core); }

void PrintSize(const SizeResult& r) {
    std::cout << "\n== " << Thousands(r.players) << " players, " << r.reps << " repetitions ==\n"
              << "player file " << Thousands(r.playerFileBytes) << " bytes; working database "
              << Thousands(r.workingDbBytes) << " bytes; Randomize changes " << Thousands(static_cast<std::uint64_t>(r.randomized))
              << " players (Years < 7)\n";
    std::cout << Pad("step", 10, true) << Pad("min ms", 10) << Pad("median ms", 11) << Pad("ns/player", 11) << "   "
              << Pad("floor", 24, true) << Pad("min ms", 9) << Pad("median ms", 11) << Pad("ns/player", 11)
              << Pad("ratio", 8) << "\n";
    for (std::size_t k = 0; k < kSteps; ++k) {
        const double stepMin = Min(r.step[k]), floorMin = Min(r.floor[k]);
        std::cout << Pad(std::string(kStepNames[k]), 10, true) << Pad(Ms(stepMin), 10) << Pad(Ms(Median(r.step[k])), 11)
                  << Pad(Fixed(NsPerPlayer(stepMin, r.players), 0), 11) << "   "
                  << Pad(std::string(kFloorNames[k]), 24, true) << Pad(Ms(floorMin), 9)
                  << Pad(Ms(Median(r.floor[k])), 11) << Pad(Fixed(NsPerPlayer(floorMin, r.players), 0), 11)
                  << Pad(Fixed(stepMin / floorMin, 2), 8) << "\n";
    }
    const double run = HideRun(r, false), floors = HideRun(r, true);
    std::cout << Pad("Hide run", 10, true) << Pad(Ms(run), 10) << Pad(Ms(HideRun(r, false, Median)), 11)
              << Pad(Fixed(NsPerPlayer(run, r.players), 0), 11) << "   " << Pad("sum of its floors", 24, true)
              << Pad(Ms(floors), 9) << Pad(Ms(HideRun(r, true, Median)), 11)
              << Pad(Fixed(NsPerPlayer(floors, r.players), 0), 11) << Pad(Fixed(run / floors, 2), 8) << "\n";
    std::cout << Pad("", 10, true) << Pad("", 10) << Pad("", 11) << Pad("", 11) << "   "
              << Pad("commit (links, flushes)", 24, true) << Pad(Ms(Min(r.commit)), 9) << Pad(Ms(Median(r.commit)), 11)
              << Pad(Fixed(NsPerPlayer(Min(r.commit), r.players), 0), 11) << "\n";
    const double whole = WholeFloors(r);
    for (const auto& [name, times] : {std::pair{"whole run", &r.run}, std::pair{"again", &r.again}})
        std::cout << Pad(name, 10, true) << Pad(Ms(Min(*times)), 10) << Pad(Ms(Median(*times)), 11)
                  << Pad(Fixed(NsPerPlayer(Min(*times), r.players), 0), 11) << "   "
                  << Pad("steps' floors + commit", 24, true) << Pad(Ms(whole), 9)
                  << Pad(Ms(WholeFloors(r, Median)), 11) << Pad(Fixed(NsPerPlayer(whole, r.players), 0), 11)
                  << Pad(Fixed(Min(*times) / whole, 2), 8) << "\n";
    std::cout << "resident memory: " << MiB(r.before.current) << " before the first repetition, peak "
              << MiB(r.after.peak)
              << (r.after.peakIsSinceReset ? " during this size's repetitions" : " of the process so far") << "\n";
}

void PrintWindow(const SizeResult& r) {
    if (!r.window.empty())
        std::cout << Thousands(r.players) << " players: whole Hide run through the progress window " << Ms(Min(r.window)) << " ms (median "
                  << Ms(Median(r.window)) << "), without it " << Ms(Min(r.core)) << " ms (median " << Ms(Median(r.core))
                  << "): window / core " << Fixed(WindowRatio(r), 2) << "\n";
}

std::vector<std::size_t> ParseList(std::string_view text) {
    std::vector<std::size_t> out;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        std::size_t n = 0;
        const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), n);
        if (ec != std::errc() || end != item.data() + item.size() || n == 0)
            throw std::invalid_argument("not a positive number: " + std::string(item));
        out.push_back(n);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return out;
}

const SizeResult* Find(const std::vector<SizeResult>& results, std::size_t players) {
    for (const auto& r : results)
        if (r.players == players) return &r;
    return nullptr;
}

// "R at 65,536; R at 1,000,000" over the sizes a real league cannot be
// smaller than (all of them when only smaller ones were run).
std::string RatiosLine(const std::vector<SizeResult>& results, double (*ratio)(const SizeResult&)) {
    const bool anyLarge = std::any_of(results.begin(), results.end(), [](const SizeResult& r) { return r.players >= 65536; });
    std::string line;
    for (const auto& r : results) {
        if (anyLarge && r.players < 65536) continue;
        line += (line.empty() ? "" : "; ") + Fixed(ratio(r), 2) + " at " + Thousands(r.players);
    }
    return line;
}

}  // namespace

// The real progress window, made when first needed (drawn offscreen unless
// a platform is asked for); none where the benchmark is built without windows.
Progress* Window() {
#if defined(TAVRIN_BENCH_WINDOW)
    static int argc = 1;
    static char name[] = "tavrin-bench";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static const QtMessageHandler previous =  // the offscreen platform's notes on what it cannot do
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.startsWith("This plugin does not support") && previous) previous(type, context, text);
        });
    static QApplication application(argc, argv);
    static window::ProgressWindow status;
    return &status;
#else
    return nullptr;
#endif
}

// The Players window on a league of 65,536 players (every identity the game
// has): opening it (the league's report read, the table filled, laid out and
// drawn) and sorting it by last name and by a potential (and drawn again),
// the minimum (median) of five. The window is drawn into an image, as the
// screen would show it, without a window of the system's.
void PrintPlayersTable(const fs::path& root) {
#if defined(TAVRIN_BENCH_WINDOW)
    const fs::path dir = root / "players";
    fs::create_directories(dir);
    const fs::path lge = gen::WriteLeague(dir, "Bench", {gen::Kind::L02, kStart, kStep, {}, gen::MakePlayers(65536, 1), {}});
    std::vector<double> open, byName, byPotential;
    for (int rep = 0; rep < 5; ++rep) {
        window::PlayersWindow players([] { return run::Request{}; }, [](const run::Request&) { return run::Outcome{}; });
        auto* table = players.findChild<QTableView*>("table");
        open.push_back(TimeMs([&] {
            players.ShowLeague(QString::fromStdU16String(lge.u16string()));
            (void)players.grab();
        }));
        const auto sorted = [&](int column) {
            return TimeMs([&] {
                table->sortByColumn(column, Qt::AscendingOrder);
                (void)players.grab();
            });
        };
        byName.push_back(sorted(window::PlayersModel::kLastName));
        byPotential.push_back(sorted(window::PlayersModel::kFirstPotential));
    }
    const auto both = [](const std::vector<double>& v) { return Ms(Min(v)) + " ms (median " + Ms(Median(v)) + ")"; };
    std::cout << "\n== the Players window at 65,536 players ==\nopen (report, table, first paint) " << both(open)
              << ", sort by last name " << both(byName) << ", by a potential " << both(byPotential) << std::endl;
#else
    (void)root;
#endif
}

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes{2000, 65536, 1000000};
    std::vector<std::size_t> reps{15, 9, 5};
    fs::path root = fs::temp_directory_path() / ("tavrin-bench-" + std::to_string(
                                                     Clock::now().time_since_epoch().count() % 1000000007));
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string_view arg = argv[i];
            if (i + 1 >= argc) throw std::invalid_argument(std::string(arg) + " needs a value");
            const std::string_view value = argv[++i];
            if (arg == "--sizes") sizes = ParseList(value);
            else if (arg == "--reps") reps = ParseList(value);
            else if (arg == "--dir") root = fs::path(std::string(value));
            else throw std::invalid_argument("unknown option " + std::string(arg));
        }
        if (reps.size() != sizes.size()) {
            // One count for every size, or the last count for the sizes past the list's end.
            reps.resize(sizes.size(), reps.empty() ? 3 : reps.back());
        }
    } catch (const std::exception& e) {
        std::cerr << "tavrin-bench: " << e.what()
                  << "\nusage: tavrin-bench [--sizes 2000,65536,1000000] [--reps 15,9,5] [--dir PATH]\n";
        return 2;
    }

    try {
        fs::create_directories(root);
        std::cout << "tavrin-bench: every step of a run through the core, against the floors of this machine\n"
#if defined(NDEBUG)
                  << "optimised build"
#else
                  << "UNOPTIMISED build (assertions on): figures are not representative"
#endif
                  << "; SQLite " << sqlite3_libversion() << "; files in " << root.string() << "\n"
                  << "league: start value " << int{kStart} << ", step " << int{kStep}
                  << "; generated players (years 0-15, most of them young; positions 0-14), a league over "
                  << Thousands(kIdentities) << " players repeats them in order\n"
                  << "times: minimum and median over the repetitions; ns/player and ratio from the minimum;\n"
                  << "Hide run: import + copy + Hide + save, summed from each step's minimum (median);\n"
                  << "whole run: the Hide run as a user makes it, through the run core, timed end to end (checks,\n"
                  << "locks, the .pot and its record, the history, both files flushed and put in place);\n"
                  << "again: the same on the league it hid, starting from the true potentials the first saved;\n"
                  << "both held against the four steps' floors and the floor of a safe commit: the replaced files\n"
                  << "kept under second names, the run's record written and flushed, both files renamed into\n"
                  << "place, the folders flushed (writing and flushing both files is in the copy's and the save's)\n";

        const auto utf8 = Utf8OfBytes();
        std::vector<SizeResult> results;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            results.push_back(RunSize(root, sizes[i], static_cast<int>(reps[i]), utf8));
            PrintSize(results.back());
            std::cout.flush();
        }
        Progress* window = Window();
        if (window) {
            std::cout << "\n== the whole Hide run through the real progress window, in turns with the run without it ==\n";
            for (SizeResult& r : results) {
                RunWindow(root, r, *window);
                PrintWindow(r);
                std::cout.flush();
            }
            PrintPlayersTable(root);
        }
        fs::remove_all(root);

        // Linear growth: the time per player at each size, and the ratio of
        // the largest size's to the one before it.
        if (results.size() >= 2) {
            std::cout << "\n== time per player as the league grows (ns/player, from the minimum) ==\n"
                      << Pad("step", 24, true);
            for (const auto& r : results) std::cout << Pad(Thousands(r.players), 12);
            const SizeResult& last = results.back();
            const SizeResult& prev = results[results.size() - 2];
            const std::string ratioHead = Thousands(last.players) + " / " + Thousands(prev.players);
            std::cout << Pad(ratioHead, 22) << "  flat (within 1.25x)\n";
            auto row = [&](std::string_view name, auto&& minOf) {
                std::cout << Pad(std::string(name), 24, true);
                for (const auto& r : results) std::cout << Pad(Fixed(NsPerPlayer(minOf(r), r.players), 0), 12);
                const double ratio = NsPerPlayer(minOf(last), last.players) / NsPerPlayer(minOf(prev), prev.players);
                std::cout << Pad(Fixed(ratio, 2), 22) << "  " << (ratio <= 1.25 ? "yes" : "NO") << "\n";
            };
            for (std::size_t k = 0; k < kSteps; ++k) row(kStepNames[k], [k](const SizeResult& r) { return Min(r.step[k]); });
            row("Hide run", [](const SizeResult& r) { return HideRun(r, false); });
            row("whole run", [](const SizeResult& r) { return Min(r.run); });
            row("again", [](const SizeResult& r) { return Min(r.again); });
            for (std::size_t k = 0; k < kSteps; ++k) {
                const std::string name = "floor of " + std::string(kStepNames[k]);
                std::cout << Pad(name, 24, true);
                for (const auto& r : results) std::cout << Pad(Fixed(NsPerPlayer(Min(r.floor[k]), r.players), 0), 12);
                const double ratio = NsPerPlayer(Min(last.floor[k]), last.players) /
                                     NsPerPlayer(Min(prev.floor[k]), prev.players);
                std::cout << Pad(Fixed(ratio, 2), 22) << "\n";
            }
        }

        // The goals, reported, never asserted.
        std::cout << "\n== goals ==\n";
        const auto goal = [](const std::string& what, double value, double limit, const std::string& unit = "x") {
            std::cout << what << ": " << Fixed(value, 2) << unit << "  " << (value <= limit ? "met" : "MISSED") << "\n";
        };
        for (const auto& r : results) {
            if (r.players < 65536) continue;
            const std::string at = " at " + Thousands(r.players);
            goal("whole run within 1.0x its floors (commit included)" + at, WholeRatio(r), 1.0);
            goal("again within 1.1x the same floors" + at, AgainRatio(r), 1.1);
            goal("Randomize within 1.3x one UPDATE of the same rows" + at, StepRatio(r, kRandomize), 1.3);
            goal("Restore within 1.3x one UPDATE of the same rows" + at, StepRatio(r, kRestore), 1.3);
            if (!r.window.empty()) goal("through the window within 1.25x the core alone" + at, WindowRatio(r), 1.25);
        }
        if (const SizeResult* big = Find(results, 1000000)) {
            goal("Hide run of four steps within 0.85x its floors at 1,000,000", HideRun(*big, false) / HideRun(*big, true),
                 0.85);
            const auto peak = big->after.peak;
            std::cout << "peak resident memory under 32 MiB at 1,000,000: " << MiB(peak) << "  "
                      << (!peak ? "not measured" : *peak < 32ull * 1024 * 1024 ? "met" : "MISSED") << "\n";
            if (const SizeResult* mid = Find(results, 65536)) {
                std::string slow;
                const auto linear = [&](const std::string& name, double atBig, double atMid) {
                    const double ratio = NsPerPlayer(atBig, big->players) / NsPerPlayer(atMid, mid->players);
                    if (ratio > 1.25) slow += (slow.empty() ? "" : ", ") + name + " " + Fixed(ratio, 2) + "x";
                };
                for (std::size_t k = 0; k < kSteps; ++k)
                    linear(std::string(kStepNames[k]), Min(big->step[k]), Min(mid->step[k]));
                linear("whole run", Min(big->run), Min(mid->run));
                linear("again", Min(big->again), Min(mid->again));
                std::cout << "every step linear (ns/player at 1,000,000 within 1.25x of 65,536): "
                          << (slow.empty() ? "met" : "MISSED (" + slow + ")") << "\n";
            }
        }

        std::cout << "\nHide run / floors: "
                  << RatiosLine(results, [](const SizeResult& r) { return HideRun(r, false) / HideRun(r, true); }) << "\n";
        std::cout << "whole run / floors: " << RatiosLine(results, WholeRatio) << "\n";
        std::cout << "again / floors: " << RatiosLine(results, AgainRatio) << "\n";
        if (window) std::cout << "window / core: " << RatiosLine(results, WindowRatio) << "\n";
    } catch (const std::exception& e) {
        std::cerr << "tavrin-bench: " << e.what() << "\n";
        std::error_code ec;
        fs::remove_all(root, ec);
        return 1;
    }
    return 0;
}
