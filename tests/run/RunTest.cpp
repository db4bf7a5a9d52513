// Whole runs through the run core, as the window and the command line make
// them: which files a run writes, what it keeps, and what it refuses. What
// each step does to the players is the other suites' part.

#include <gtest/gtest.h>

#include <QLockFile>

#include "Fixture.h"
#include "db/Error.h"
#include "league/ReplacingFile.h"
#include "run/History.h"
#include "run/Run.h"
#include "run/RunLocks.h"
#include "run/SavedPotentials.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using run::Operation;
using run::Outcome;
using test::Bytes;
using Kind = Outcome::Kind;

// Answers the still-hidden question as told, and remembers each one.
struct ScriptedHost final : run::Host {
    bool goOn = false;
    std::vector<run::StillHidden> asked;
    bool GoOnWhileStillHidden(const run::StillHidden& found) override {
        asked.push_back(found);
        return goOn;
    }
};

// Players of 49 and 50 years either side of the limit of "All Players", and
// rookies, in a league of our generator.
gen::League DemoLeague(gen::Kind kind = gen::Kind::L02) {
    gen::League league{kind, 173, 37, {0x40, 0x45}, gen::MakePlayers(40, 7), {}};
    league.players[0].years = 50;
    league.players[1].years = 49;
    league.players[2].years = 0;
    return league;
}

struct Runner {
    explicit Runner(const gen::League& l = DemoLeague(), const std::string& base = "Demo") : league(l) {
        state.appDir = appDir.path();
        state.progress = &progress;
        lge = gen::WriteLeague(leagueDir.path(), base, league);
        pyr = fs::path(lge).replace_extension(".pyr");
        pot = fs::path(lge).replace_extension(".pot");
    }

    Outcome Run(Operation op, std::optional<std::int16_t> years = 50, const fs::path& from = {}) {
        run::Request request;
        request.operation = op;
        request.yearsLimit = years;
        request.league = lge;
        request.restoreFrom = from;
        return Run(request);
    }
    Outcome Run(const run::Request& request) {
        Outcome o = run::RunLeague(request, state, host, random);
        std::error_code ec;  // (a name too long to exist is no stray either)
        EXPECT_FALSE(fs::exists(ReplacingFile::NewPath(pyr), ec) || fs::exists(ReplacingFile::NewPath(pot), ec));
        EXPECT_TRUE(heldByTest || !fs::exists(run::RunLocks::LockPathOf(lge), ec));
        return o;
    }
    Outcome Expect(Kind kind, Operation op, std::optional<std::int16_t> years = 50, const fs::path& from = {}) {
        Outcome o = Run(op, years, from);
        EXPECT_EQ(o.kind, kind) << o.step << ": " << o.message;
        return o;
    }
    std::map<std::string, Bytes> Files() const { return test::Snapshot(leagueDir.path()); }
    std::vector<run::History::Entry> Kept() const { return run::History(lge).Entries(); }

    gen::League league;
    test::TempDir leagueDir, appDir;
    test::RecordingProgress progress;
    ProgramState state;
    ScriptedHost host;
    ClockRandomSource random;
    fs::path lge, pyr, pot;
    bool heldByTest = false;  // the league's lock, by the test
};

TEST(Run, NoSlipOfTheUserLosesTheTruePotentials) {
    const Bytes original = gen::PlayerFileBytes(DemoLeague());
    // Hide, then Hide again: the second run asks, and Cancel leaves every
    // file as it was (the working database included); Restore brings back
    // the league as it was.
    {
        Runner r;
        r.Expect(Kind::Done, Operation::Hide);
        const auto files = r.Files();
        const Bytes working = test::ReadFileBytes(r.state.WorkingDatabasePath());
        EXPECT_EQ(r.Expect(Kind::Cancelled, Operation::Hide).message, "Nothing was changed.");
        EXPECT_EQ(r.Files(), files);
        EXPECT_EQ(test::ReadFileBytes(r.state.WorkingDatabasePath()), working);
        r.Expect(Kind::Done, Operation::Restore);
        EXPECT_EQ(test::ReadFileBytes(r.pyr), original);
    }
    // Hide, then Randomize on the hidden league, going on when asked, then
    // Restore: the .pot then held the hidden potentials, but the history kept
    // the true ones, and a restore from there brings the league back.
    {
        Runner r;
        r.host.goOn = true;
        r.Expect(Kind::Done, Operation::Hide);
        const Outcome randomized = r.Expect(Kind::Done, Operation::Randomize);
        ASSERT_EQ(r.host.asked.size(), 1u);
        r.Expect(Kind::Done, Operation::Restore);
        EXPECT_EQ(test::ReadFileBytes(r.pyr), test::Hidden(DemoLeague(), 50));
        ASSERT_FALSE(randomized.kept.empty());
        const fs::path truePot = randomized.kept.front();
        EXPECT_EQ(truePot.extension(), ".pot");
        r.Expect(Kind::Done, Operation::Restore, 50, truePot);
        EXPECT_EQ(test::ReadFileBytes(r.pyr), original);
    }
    // OK with Hide and no list entry: nothing is opened, imported, copied or saved.
    {
        Runner r;
        const auto files = r.Files();
        EXPECT_EQ(r.Expect(Kind::Refused, Operation::Hide, std::nullopt).message, "Select Years");
        EXPECT_EQ(r.Files(), files);
        EXPECT_TRUE(test::Snapshot(r.appDir.path()).empty());
    }
}

TEST(Run, TheStillHiddenQuestionNamesTheEarlierRunAndARestoreSettlesIt) {
    Runner r;
    r.Expect(Kind::Done, Operation::Hide, 1);
    const Bytes truePot = test::ReadFileBytes(r.pot);
    r.host.goOn = true;
    const Outcome again = r.Expect(Kind::Done, Operation::Randomize);
    ASSERT_EQ(r.host.asked.size(), 1u);
    const run::StillHidden& q = r.host.asked[0];
    EXPECT_TRUE(q.pyr == r.pyr && q.pot == r.pot && q.operation == "Hide" && q.now == Operation::Randomize);
    EXPECT_FALSE(q.when.empty());
    const std::string text = run::StillHiddenText(q);
    EXPECT_NE(text.find(PathText(r.pyr)), std::string::npos) << text;
    EXPECT_NE(text.find("hidden potentials the saved ones"), std::string::npos) << text;
    // Going on kept the .pot it replaced, byte for byte.
    ASSERT_EQ(again.kept.size(), 2u);
    EXPECT_EQ(test::ReadFileBytes(again.kept[0]), truePot);

    // After a Restore the league is no longer hidden: no question.
    r.Expect(Kind::Done, Operation::Restore);
    ASSERT_TRUE(run::ReadSavedNote(r.pot));
    EXPECT_FALSE(run::ReadSavedNote(r.pot)->restoredAt.empty());
    r.Expect(Kind::Done, Operation::Hide);
    EXPECT_EQ(r.host.asked.size(), 1u);

    // A .pot without the note (older, or made by hand) asks nothing either.
    test::SqlExec(r.pot, "DROP TABLE SavedPlayerFile");
    r.Expect(Kind::Done, Operation::Hide);
    EXPECT_EQ(r.host.asked.size(), 1u);
}

TEST(Run, TheHistoryKeepsEveryReplacedFileOfTheLastTwentyRuns) {
    Runner r;
    std::vector<Bytes> before;  // the player file before each run
    for (int i = 0; i < 23; ++i) {
        before.push_back(test::ReadFileBytes(r.pyr));
        r.Expect(Kind::Done, i % 2 ? Operation::Restore : Operation::Hide, static_cast<std::int16_t>(1 + i % 9));
    }
    const auto kept = r.Kept();
    std::vector<std::string> runs;
    for (const auto& e : kept)
        if (runs.empty() || runs.back() != e.run) runs.push_back(e.run);
    ASSERT_EQ(runs.size(), 20u);
    // Oldest first: runs 4 to 23, each with its player file as it was before
    // it, the Hide runs with the .pot they replaced too.
    std::size_t run = 3;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (i > 0 && kept[i].run != kept[i - 1].run) ++run;
        EXPECT_EQ(kept[i].operation, run % 2 ? "Restore" : "Hide");
        if (kept[i].file.extension() == ".pyr") {
            EXPECT_EQ(test::ReadFileBytes(kept[i].file), before[run]) << run;
        }
    }
    EXPECT_EQ(run, 22u);
    EXPECT_EQ(r.Files().size(), 3 + 1 + kept.size());  // lge, pyr, pot, the folder and its files
}

TEST(Run, WhatCanBeCheckedFirstIsRefusedWithEveryFileAsItWas) {
    struct Case {
        std::string name;
        Operation op;
        std::function<void(Runner&)> spoil;
        std::string says;  // a part of the message
    };
    const auto writeProtect = [](const fs::path& p) {
        fs::permissions(p, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    };
    const std::vector<Case> cases{
        {"no .pot to restore", Operation::Restore, [](Runner&) {}, "does not exist"},
        {".pot not a database", Operation::Restore, [](Runner& r) { test::WriteFileBytes(r.pot, Bytes(3000, 'x')); },
         "cannot be read"},
        {".pot without Players", Operation::Restore,
         [](Runner& r) { test::SqlExec(r.pot, "CREATE TABLE Other (x)"); }, "no Players table"},
        {".pot without a potential", Operation::Restore,
         [](Runner& r) { test::SqlExec(r.pot, "CREATE TABLE Players (PID_a, PID_b, Pot_SP)"); }, "Pot_AC"},
        {"read-only .pot", Operation::Hide,
         [&](Runner& r) {
             r.Expect(Kind::Done, Operation::Hide);
             r.Expect(Kind::Done, Operation::Restore);
             writeProtect(r.pot);
         },
         "read-only"},
        {"read-only player file", Operation::Randomize, [&](Runner& r) { writeProtect(r.pyr); }, "read-only"},
        {"league file missing", Operation::Hide, [](Runner& r) { fs::remove(r.lge); }, "does not exist"},
        {"player file missing", Operation::Hide, [](Runner& r) { fs::remove(r.pyr); }, "does not exist"},
        {"no working database", Operation::Hide,
         [](Runner& r) {
             test::WriteFileBytes(r.appDir / "file", {});
             r.state.appDir = r.appDir / "file" / "app";
         },
         "working database"},
        {"working database in use", Operation::Hide, [](Runner&) {}, "is using the working database"},
        {"league in use", Operation::Hide, [](Runner&) {}, "is using the league"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Runner r;
        c.spoil(r);
        // Another run holds a lock: the program that holds it is alive (this one).
        QLockFile other(QString::fromStdU16String(
            run::RunLocks::LockPathOf(c.name == "league in use" ? r.lge : r.state.WorkingDatabasePath()).u16string()));
        if (c.name.ends_with("in use")) {
            ASSERT_TRUE(other.tryLock(0));
            r.heldByTest = true;
        }
        const auto files = r.Files();
        const auto working = test::Snapshot(r.appDir.path());
        const Outcome o = r.Run(c.op);
        EXPECT_EQ(o.kind, Kind::Refused) << o.step << ": " << o.message;
        EXPECT_NE(o.message.find(c.says), std::string::npos) << o.message;
        EXPECT_EQ(r.Files(), files);
        EXPECT_EQ(test::Snapshot(r.appDir.path()), working);
    }
}

TEST(Run, AFailureInTheOperationLeavesTheLeagueUnsaved) {
    // A .pot of another league: the first player without a saved row ends
    // Restore with the engine's error, after the rows before him changed in
    // the working database.
    Runner r;
    Runner other(gen::League{gen::Kind::L02, 1, 2, {}, gen::MakePlayers(40, 99), {}});
    other.Expect(Kind::Done, Operation::Hide);
    fs::copy_file(other.pot, r.pot);
    const auto files = r.Files();
    const Outcome o = r.Run(Operation::Restore);
    EXPECT_TRUE(o.kind == Kind::Failed && o.inOperation && o.step == "Restoring the potentials") << o.message;
    EXPECT_NE(o.message.find("no saved potentials"), std::string::npos) << o.message;
    EXPECT_EQ(r.Files(), files);
}

TEST(Run, APlayerFileChangedSinceItWasLoadedKeepsItsNewContents) {
    // The game saves the league while Tavrin works on it: the save must not
    // write players loaded before that over it.
    Runner r;
    struct Rewriter final : Progress {
        fs::path pyr;
        Bytes bytes;
        void Show() override {}
        void Unload() override {}
        void UpdateBar(std::string_view text, double) override {
            if (text == "Loading League") test::WriteFileBytes(pyr, bytes);
        }
    } rewriter;
    rewriter.pyr = r.pyr;
    rewriter.bytes = gen::PlayerFileBytes(gen::League{gen::Kind::L02, 173, 37, {}, gen::MakePlayers(41, 3), {}});
    r.state.progress = &rewriter;
    const Outcome o = r.Run(Operation::Hide);
    EXPECT_EQ(o.kind, Kind::Refused);
    EXPECT_NE(o.message.find("changed since"), std::string::npos) << o.message;
    EXPECT_EQ(test::ReadFileBytes(r.pyr), rewriter.bytes);
}

TEST(Run, AnL03LeagueIsOnlyLoadedAndAnUnknownTagChangesNothing) {
    for (const char tag : {'3', '4', 'x'}) {
        SCOPED_TRACE(tag);
        Runner r(DemoLeague(tag == '3' ? gen::Kind::L03 : gen::Kind::L02));
        Bytes lge = test::ReadFileBytes(r.lge);
        lge[2] = static_cast<unsigned char>(tag);
        test::WriteFileBytes(r.lge, lge);
        const auto files = r.Files();
        const Outcome o = r.Run(Operation::Hide);
        EXPECT_EQ(r.Files(), files);
        if (tag == '3') {
            EXPECT_TRUE(o.kind == Kind::Done && o.players == 40) << o.message;
            EXPECT_EQ(r.progress.texts, std::vector<std::string>(40, "Loading League"));
        } else {
            EXPECT_EQ(o.kind, Kind::NothingToDo);
            EXPECT_NE(o.message.find(std::string("\"L0") + tag + ":\""), std::string::npos) << o.message;
            EXPECT_TRUE(test::Snapshot(r.appDir.path()).empty());
        }
    }
}

TEST(Run, ALeagueCopiedFromAnotherMachineKeepsItsFilesSpelling) {
    // LEAGUE.LGE with LEAGUE.PYR beside it: the player file is found, and a
    // new .pot takes the lower-case ending.
    Runner r(DemoLeague(), "LEAGUE");
    const fs::path upper = r.leagueDir / "LEAGUE.LGE";
    fs::rename(r.lge, upper);
    fs::rename(r.pyr, r.leagueDir / "LEAGUE.PYR");
    r.lge = upper;
    r.pyr = r.leagueDir / "LEAGUE.PYR";
    r.pot = r.leagueDir / "LEAGUE.pot";
    r.Expect(Kind::Done, Operation::Hide);
    EXPECT_EQ(test::ReadFileBytes(r.pyr), test::Hidden(DemoLeague(), 50));
    EXPECT_TRUE(fs::exists(r.pot));
    EXPECT_FALSE(fs::exists(r.leagueDir / "LEAGUE.pyr"));
}

}  // namespace
}  // namespace tavrin
