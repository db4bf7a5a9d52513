// Restore Pots: potentials back from the saved-potentials database, and the
// runs in a row that the three operations make together.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "Error.h"
#include "LeagueGenerator.h"
#include "PotsTestSupport.h"
#include "RandomSource.h"
#include "TempDir.h"
#include "mDbase.h"
#include "mGlobal.h"
#include "mPots.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::PlayerRow;
using test::TempDir;

PlayerRow Player(int pidA, int pidB, int potBase, int years = 0) {
    PlayerRow r;
    r.pidA = pidA;
    r.pidB = pidB;
    r.years = years;
    r.firstName = "N" + std::to_string(pidA) + "_" + std::to_string(pidB);
    for (int a = 0; a < 8; ++a) {
        r.pot[a] = potBase + a;
        r.act[a] = 20 + pidA + a;
    }
    return r;
}

// A working database and a saved-potentials database side by side.
struct Databases {
    Databases(const std::vector<PlayerRow>& working, const std::vector<PlayerRow>& saved) {
        state.appDir = dir.path();
        state.sPotPath = dir / "lg.pot";
        state.progress = &progress;
        test::MakePlayersDatabase(state.WorkingDatabasePath(), working);
        test::MakePlayersDatabase(state.sPotPath, saved);
        potBytes = test::ReadFileBytes(state.sPotPath);
    }
    std::vector<PlayerRow> Working() const { return test::ReadPlayerRows(state.WorkingDatabasePath()); }
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path())) names.insert(e.path().filename().string());
        return names;
    }

    TempDir dir;
    test::RecordingProgress progress;
    ProgramState state;
    std::vector<unsigned char> potBytes;
};

TEST(RestorePots, EachPlayerGetsThePotentialsSavedUnderHisIdentity) {
    // Saved in another order, with a player the league no longer has and an
    // identity saved twice: the first saved row counts.
    const std::vector<PlayerRow> working{Player(1, 1, 0), Player(1, 2, 0, 5), Player(2, 1, 0, 9)};
    const std::vector<PlayerRow> saved{Player(2, 1, 30), Player(9, 9, 90), Player(1, 2, 50),
                                       Player(1, 1, 70), Player(1, 2, 10)};
    Databases d(working, saved);

    RestorePots(d.state);

    auto expected = working;
    expected[0].pot = saved[3].pot;
    expected[1].pot = saved[2].pot;
    expected[2].pot = saved[0].pot;
    EXPECT_EQ(d.Working(), expected);  // names, years, current ratings untouched

    EXPECT_EQ(d.progress.shows, 1);
    EXPECT_EQ(d.progress.unloads, 1);
    EXPECT_EQ(d.progress.texts, std::vector<std::string>(3, "Restoring Pots"));
    EXPECT_EQ(d.progress.increments, std::vector<double>(3, 100.0 / 3));

    // The saved database is only read, and can serve again.
    EXPECT_EQ(test::ReadFileBytes(d.state.sPotPath), d.potBytes);
    EXPECT_EQ(d.Files(), (std::set<std::string>{"Temp.mdb", "lg.pot"}));
    RestorePots(d.state);
    EXPECT_EQ(d.Working(), expected);
    EXPECT_EQ(test::ReadFileBytes(d.state.sPotPath), d.potBytes);
}

TEST(RestorePots, NoPlayerInTheWorkingDatabaseIsAnError) {
    Databases d({}, {Player(1, 1, 50)});
    try {
        RestorePots(d.state);
        ADD_FAILURE() << "an empty working database was restored";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrNoCurrentRecord);
    }
    EXPECT_TRUE(d.progress.texts.empty());
    EXPECT_EQ(d.progress.shows, d.progress.unloads);
    EXPECT_EQ(test::ReadFileBytes(d.state.sPotPath), d.potBytes);
}

TEST(RestorePots, AMissingOrUnreadableSavedDatabaseIsAnErrorBeforeAnyChange) {
    const std::vector<PlayerRow> working{Player(1, 1, 0), Player(1, 2, 0)};
    for (const bool missing : {true, false}) {
        SCOPED_TRACE(missing ? "missing" : "not a database");
        Databases d(working, {});
        const std::vector<unsigned char> garbage(3000, 0x42);
        if (missing) fs::remove(d.state.sPotPath);
        else test::WriteFileBytes(d.state.sPotPath, garbage);
        const auto workingBytes = test::ReadFileBytes(d.state.WorkingDatabasePath());

        EXPECT_THROW(RestorePots(d.state), Error);

        EXPECT_EQ(test::ReadFileBytes(d.state.WorkingDatabasePath()), workingBytes);
        EXPECT_TRUE(d.progress.texts.empty());
        EXPECT_EQ(d.progress.shows, d.progress.unloads);
        if (missing) {
            EXPECT_FALSE(fs::exists(d.state.sPotPath)) << "the open created the saved database";
            EXPECT_EQ(d.Files(), std::set<std::string>{"Temp.mdb"});
        } else {
            EXPECT_EQ(test::ReadFileBytes(d.state.sPotPath), garbage);
        }
    }
}

TEST(RestorePots, APlayerWithoutASavedRowEndsItAfterThePlayersBeforeHim) {
    const std::vector<PlayerRow> working{Player(1, 1, 0), Player(1, 2, 0), Player(7, 7, 0), Player(2, 1, 0)};
    const std::vector<PlayerRow> saved{Player(1, 1, 30), Player(1, 2, 40), Player(2, 1, 50)};
    Databases d(working, saved);
    try {
        RestorePots(d.state);
        ADD_FAILURE() << "a player without a saved row was restored";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrNoCurrentRecord);
    }
    auto expected = working;
    expected[0].pot = saved[0].pot;
    expected[1].pot = saved[1].pot;
    EXPECT_EQ(d.Working(), expected);
    EXPECT_EQ(d.progress.shows, d.progress.unloads);
    EXPECT_EQ(test::ReadFileBytes(d.state.sPotPath), d.potBytes);
}

// Runs in a row on one league, the way the main window drives the core.
class Runs {
public:
    explicit Runs(std::size_t players) {
        gen::League league;
        league.start = 173;
        league.step = 37;
        league.headerRest = {1, 2, 3, 4, 5};
        league.players = gen::MakePlayers(players, 77);
        gen::WriteLeague(dir.path(), "lg", league);
        original = Pyr();
        state.appDir = dir.path();
        SetLeaguePaths(state, dir / "lg.lge");
    }
    std::vector<unsigned char> Pyr() const { return test::ReadFileBytes(dir / "lg.pyr"); }
    void Hide(std::int16_t limit) { Run([&] { HidePots(state, limit); }, true); }
    void Randomize() { Run([&] { ClockRandomSource random; RandomizePots(state, random); }, true); }
    void Restore() { Run([&] { RestorePots(state); }, false); }

    TempDir dir;
    ProgramState state;
    std::vector<unsigned char> original;

private:
    template <class Op>
    void Run(Op op, bool keepCopy) {
        ImportLeagueL02(state, state.sPyrPath);
        if (keepCopy) CopyWorkingDatabase(state, state.sPotPath);
        op();
        SaveLeagueL02(state, state.sPyrPath);
    }
};

TEST(RestorePots, HidingRookiesAndRestoringGivesBackTheOriginalFile) {
    Runs runs(300);
    runs.Hide(1);
    ASSERT_NE(runs.Pyr(), runs.original);
    const auto pot = test::ReadFileBytes(runs.state.sPotPath);
    runs.Restore();
    EXPECT_EQ(runs.Pyr(), runs.original);
    EXPECT_EQ(test::ReadFileBytes(runs.state.sPotPath), pot);
}

TEST(RestorePots, RestoreBringsBackWhatTheLastHideOrRandomizeSaved) {
    Runs runs(200);
    runs.Hide(3);
    const auto hidden = runs.Pyr();
    runs.Randomize();
    ASSERT_NE(runs.Pyr(), hidden);
    runs.Restore();
    EXPECT_EQ(runs.Pyr(), hidden);
    const auto pot = test::ReadFileBytes(runs.state.sPotPath);
    runs.Restore();
    EXPECT_EQ(runs.Pyr(), hidden);
    EXPECT_EQ(test::ReadFileBytes(runs.state.sPotPath), pot);
}

}  // namespace
}  // namespace tavrin
