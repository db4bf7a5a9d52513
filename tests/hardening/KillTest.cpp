// A run killed at any moment leaves each of the league's files either as it
// was or completely new, and nothing beside them but names the next run knows
// and clears: "X.tavrin-new", where new contents were being written, and the
// run's lock. The next run then succeeds. The runs are real processes (the
// run driver) on a league of 262,144 players (65,536 under the sanitizers),
// killed outright at spread points of the copy of the true potentials, the
// Hide, the save of the player file and the note written after it.

#include <gtest/gtest.h>

#include <QCryptographicHash>

#include <iostream>
#include <set>

#include "Driver.h"
#include "Fixture.h"
#include "LeagueFolder.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using std::chrono::milliseconds;

std::string Sha256Hex(const Bytes& b) {
    return QCryptographicHash::hash(QByteArrayView(reinterpret_cast<const char*>(b.data()), std::ssize(b)),
                                    QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

// Under the sanitizers every step takes several times as long: a quarter of
// the league still gives every step time enough to be killed in.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVRIN_UNDER_SANITIZERS
#endif
#endif
#if defined(TAVRIN_UNDER_SANITIZERS) || defined(__SANITIZE_ADDRESS__)
constexpr int kRepeats = 1;
#else
constexpr int kRepeats = 4;
#endif

// The generator's 65,536 players four times over, as the benchmark's large
// leagues repeat them: each identity's first row carries that player's
// values, so a Restore gives back the very bytes a Hide replaced.
gen::League BigLeague() {
    gen::League league{gen::Kind::L02, 173, 37, {0x10, 0x20, 0x30}, {}, {0xEE, 0xEF}};
    const auto players = gen::MakePlayers(65536, 77, true);
    for (int i = 0; i < kRepeats; ++i) league.players.insert(league.players.end(), players.begin(), players.end());
    return league;
}

// What a kill left the .pot as.
enum class Pot { Old, Copied, Noted };

struct KillTest : ::testing::Test {
    void SetUp() override {
        gen::League league = BigLeague();
        lge = gen::WriteLeague(dir.path(), "Demo", league);
        pyr = dir / "Demo.pyr";
        pot = dir / "Demo.pot";
        history = dir / "Demo.history";
        pyrOld = test::ReadFileBytes(pyr);
        for (gen::Player& p : league.players)
            if (p.position < 15) p.pot.fill(0);
        pyrNew = gen::PlayerFileBytes(league);

        // The .pot a run copies is the working database right after the
        // import: the same players give the same bytes.
        test::RunFolder imported;
        imported.Import(gen::Kind::L02, pyr);
        potCopied = test::ReadFileBytes(imported.state.WorkingDatabasePath());

        // A Hide and a Restore before: the .pot a run replaces.
        ASSERT_EQ(Run("hide").outcome, "Done");
        ASSERT_EQ(Run("restore").outcome, "Done");
        ASSERT_EQ(test::ReadFileBytes(pyr), pyrOld);
        potOld = test::ReadFileBytes(pot);
    }

    test::DriverRun Run(const std::string& operation,
                        std::optional<std::pair<std::string, milliseconds>> killAfter = {}) {
        return test::RunDriver({operation, lge, work.path(), {}, killAfter});
    }

    // The league as before each kill, with nothing else in its folder (so
    // that one failure does not spread to the kills after it).
    void Reset() {
        for (const auto& entry : fs::directory_iterator(dir.path()))
            if (entry.path() != lge) fs::remove_all(entry.path());
        test::WriteFileBytes(pyr, pyrOld);
        test::WriteFileBytes(pot, potOld);
    }

    // Which .pot the file is, if any: a copy with its note (its time differs
    // from run to run) is checked on a copy, so that the league's is never
    // opened here.
    std::optional<Pot> PotState() {
        const Bytes bytes = test::ReadFileBytes(pot);
        if (bytes == potOld) return Pot::Old;
        if (bytes == potCopied) return Pot::Copied;
        const fs::path copy = work / "check.pot";
        test::WriteFileBytes(copy, bytes);
        const bool noted = test::SqlText(copy, "PRAGMA integrity_check") == "ok" &&
                           test::SqlText(copy, "SELECT Operation || ' ' || Sha256 FROM SavedPlayerFile") ==
                               "Hide " + Sha256Hex(pyrNew);
        fs::remove(copy);
        return noted ? std::optional(Pot::Noted) : std::nullopt;
    }

    // The league's folder holds only the league's files, its history, and
    // the names the next run clears (which are returned); after a kill, every
    // file the history kept is a whole old one.
    std::set<std::string> Leftovers(bool afterKill) {
        const std::set<std::string> league{"Demo.lge", "Demo.pyr", "Demo.pot", "Demo.history"};
        const std::set<std::string> cleared{"Demo.pyr.tavrin-new", "Demo.pot.tavrin-new", "Demo.lge.lock"};
        std::set<std::string> left;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (cleared.contains(name)) left.insert(name);
            else EXPECT_TRUE(league.contains(name)) << "a stray file: " << name;
        }
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(history, ec)) {
            if (!afterKill) break;
            const fs::path& p = entry.path();
            const Bytes kept = test::ReadFileBytes(p);
            EXPECT_TRUE(p.extension() == ".pyr" ? kept == pyrOld : p.extension() == ".pot" && kept == potOld)
                << "the history holds " << p.filename() << ", not a whole replaced file";
        }
        return left;
    }

    test::TempDir dir, work;
    fs::path lge, pyr, pot, history;
    Bytes pyrOld, pyrNew, potOld, potCopied;
};

TEST_F(KillTest, EveryKillLeavesTheOldOrTheCompleteNewFilesAndTheNextRunClearsUp) {
    // One whole run, timed: where its steps fall.
    Reset();
    const test::DriverRun timed = Run("hide");
    ASSERT_EQ(timed.outcome, "Done") << timed.output;
    ASSERT_TRUE(timed.marks.contains("unload 2")) << timed.output;
    std::cout << "The whole run, timed:\n" << timed.output;
    const double loaded = timed.marks.at("unload"), saving = timed.marks.at("Saving"),
                 saved = timed.marks.at("unload 2"), end = timed.marks.at("end");

    // Kill points, each after a mark of the run it kills: from the end of
    // the load, where the copy of the true potentials begins, crowding that
    // start; evenly over the save; and over the note and the history after
    // the player file is in place.
    std::vector<std::pair<std::string, double>> points;
    for (int i = 0; i < 12; ++i) points.emplace_back("unload", (saving - loaded) * (i / 12.0) * (i / 12.0));
    for (int i = 0; i < 14; ++i) points.emplace_back("Saving", (saved - saving) * i / 13.0);
    for (int i = 0; i < 6; ++i) points.emplace_back("unload 2", (end + 5 - saved) * i / 6.0);

    std::map<std::string, int> tally;
    int midWrite = 0;
    for (const auto& [mark, after] : points) {
        const auto delay = milliseconds(static_cast<long>(after));
        SCOPED_TRACE("killed " + std::to_string(delay.count()) + " ms after " + mark);
        Reset();
        const test::DriverRun killed = Run("hide", std::pair(mark, delay));

        const Bytes now = test::ReadFileBytes(pyr);
        const bool hidden = now == pyrNew;
        EXPECT_TRUE(hidden || now == pyrOld) << "the player file is neither the old nor the new one";
        const auto potState = PotState();
        EXPECT_TRUE(potState) << "the .pot is neither the old one nor a complete new one";
        // The true potentials are kept before the league's are hidden.
        if (hidden) {
            EXPECT_NE(potState, Pot::Old);
        }
        const auto left = Leftovers(true);
        midWrite += left.contains("Demo.pyr.tavrin-new") || left.contains("Demo.pot.tavrin-new");

        static constexpr const char* kPot[] = {"old", "copied", "noted"};
        std::string seen = std::string(killed.killed ? "killed" : "finished") + ", player file " +
                           (hidden ? "new" : "old") + ", .pot " + (potState ? kPot[static_cast<int>(*potState)] : "broken");
        for (const std::string& name : left) seen += ", " + name;
        ++tally[seen];

        // The next run clears what was left and succeeds: a Restore where the
        // league was hidden (the .pot is new then), else the Hide again.
        const test::DriverRun next = Run(hidden ? "restore" : "hide");
        EXPECT_EQ(next.outcome, "Done") << next.output;
        EXPECT_EQ(test::ReadFileBytes(pyr), hidden ? pyrOld : pyrNew);
        EXPECT_TRUE(Leftovers(false).empty());
    }
    for (const auto& [seen, n] : tally) std::cout << n << " x " << seen << "\n";
    // Or the kills missed the writes they are here for.
    EXPECT_GE(midWrite, 3);
}

TEST(KillLeftOvers, TheNextRunThatWritesRemovesThemWhereverTheKilledRunWasWriting) {
    // What a run killed part-way may leave: new files beside the player file
    // (beside the file a link points to) and the .pot, and a copy the history
    // was making where the file system has no hard links. Any run that writes
    // removes them first, a Restore too, which replaces no .pot of its own.
    test::TempDir elsewhere;
    test::LeagueFolder f;
    fs::rename(f.pyr, elsewhere / "real.pyr");
    fs::create_symlink(elsewhere / "real.pyr", f.pyr);
    ASSERT_EQ(f.Run(run::Operation::Hide).kind, run::Outcome::Kind::Done);
    // Killed before the note: a Restore then writes nothing to the .pot.
    test::SqlExec(f.pot, "DROP TABLE SavedPlayerFile");
    const std::vector<fs::path> left{elsewhere / "real.pyr.tavrin-new", f.dir / "Demo.pot.tavrin-new",
                                     f.dir / "Demo.history" / "2026-01-01T00-00-00 before Hide.pot.tavrin-new"};
    for (const fs::path& p : left) test::WriteFileBytes(p, Bytes(5000, 0xAB));
    ASSERT_EQ(f.Run(run::Operation::Restore).kind, run::Outcome::Kind::Done);
    for (const fs::path& p : left) EXPECT_FALSE(fs::exists(p)) << p;
    EXPECT_EQ(test::ReadFileBytes(elsewhere / "real.pyr"), gen::PlayerFileBytes(f.league));
}

}  // namespace
}  // namespace tavrin
