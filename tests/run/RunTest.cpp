// Whole runs through the run core, as the window and the command line make
// them: every run starts from the true potentials, what the .pot and the
// history keep, what an undo brings back, and what is refused. What each
// step does to the players is the other suites' part.

#include <QCryptographicHash>

#include "LeagueFolder.h"
#include "league/Clock.h"
#include "league/Fingerprint.h"
#include "run/Commit.h"
#include "run/RunLocks.h"

namespace tavrin {
namespace {

using run::Outcome;

// Players of 49 and 50 years either side of the limit of "All Players", and
// rookies, each with an identity of his own, in a league of our generator.
gen::League DemoLeague(gen::Kind kind = gen::Kind::L02) {
    gen::League league{kind, 173, 37, {0x40, 0x45}, gen::MakePlayers(40, 7), {}};
    league.players[0].years = 50;
    league.players[1].years = 49;
    league.players[2].years = 0;
    return league;
}

// The league of these tests, in a folder of its own.
struct Runner : test::LeagueFolder {
    explicit Runner(const gen::League& l = DemoLeague(), const std::string& base = "Demo") : LeagueFolder(base, l) {}
};

TEST(Run, EveryRunStartsFromTheTruePotentialsWhateverCameBefore) {
    struct Step {
        Operation op;
        std::int16_t years = 50;
        // The game's change to the player file before the step: slot, column, value.
        std::vector<std::tuple<std::int64_t, Col, std::uint8_t>> game = {};
    };
    struct Case {
        std::string name;
        std::vector<Step> steps;  // then a Restore
    };
    const gen::League league = DemoLeague();
    std::int64_t young = 0, old = 0;  // a player under 7 years, and one of 7 or more
    for (std::size_t i = 3; i < league.players.size(); ++i) {
        if (!young && league.players[i].years < 2) young = static_cast<std::int64_t>(i) + 1;
        if (!old && league.players[i].years >= 9) old = static_cast<std::int64_t>(i) + 1;
    }
    ASSERT_TRUE(young && old);
    const std::vector<Case> cases{
        {"Hide, Hide", {{Operation::Hide, 2}, {Operation::Hide, 50}}},
        {"Hide, the same Hide, Randomize", {{Operation::Hide, 2}, {Operation::Hide, 2}, {Operation::Randomize}}},
        {"Hide, Randomize", {{Operation::Hide, 50}, {Operation::Randomize}}},
        {"Randomize, Hide, Randomize", {{Operation::Randomize}, {Operation::Hide, 3}, {Operation::Randomize}}},
        {"the game saves between two Hides",
         {{Operation::Hide, 2}, {Operation::Hide, 50, {{young, Col::Act_SP, 21}, {old, Col::Act_AC, 22}}}}},
        // A record of Position 15 or more has no row and is not written, but
        // stays Tavrin's.
        {"a hidden player out of the lineup for a run",
         {{Operation::Hide, 50},
          {Operation::Randomize, 50, {{old, Col::Position, 15}}},
          {Operation::Hide, 2, {{old, Col::Position, league.players[static_cast<std::size_t>(old - 1)].position}}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Runner r(league);
        gen::League expected = league;
        for (const Step& s : c.steps) {
            for (const auto& [slot, column, value] : s.game) {
                r.GameSets(slot, column, value);
                gen::Player& p = expected.players[static_cast<std::size_t>(slot - 1)];
                (column == Col::Position ? p.position : column == Col::Act_SP ? p.act[0] : p.act[1]) = value;
            }
            r.Expect(Kind::Done, s.op, s.years);
        }
        const Outcome restored = r.Expect(Kind::Done, Operation::Restore);
        EXPECT_EQ(test::ReadFileBytes(r.pyr), gen::PlayerFileBytes(expected));
        EXPECT_EQ(restored.message.find("changed since"), std::string::npos) << restored.message;
    }

    // The summary says where a run started from; a Restore, which players
    // the game or the owner changed meanwhile (their potentials go back all
    // the same).
    Runner r(league);
    const auto hidden = std::count_if(league.players.begin(), league.players.end(),
                                      [](const gen::Player& p) { return p.years < 2; });
    EXPECT_EQ(r.Expect(Kind::Done, Operation::Hide, 2).message,
              "Hid the potentials of " + std::to_string(hidden) +
                  " of 40 players in Demo.pyr; true potentials saved in Demo.pot");
    const Outcome again = r.Expect(Kind::Done, Operation::Randomize);
    EXPECT_NE(again.message.find(", starting from the true potentials of "), std::string::npos) << again.message;
    EXPECT_NE(again.message.find(" players saved by Hide on "), std::string::npos) << again.message;
    r.GameSets(young, Col::Pot_SP, 97);
    const Outcome restore = r.Expect(Kind::Done, Operation::Restore);
    EXPECT_NE(restore.message.find("; 1 of them had potentials the game or the owner changed since Tavrin wrote them"),
              std::string::npos)
        << restore.message;
    EXPECT_EQ(test::ReadFileBytes(r.pyr), gen::PlayerFileBytes(league));
    // After a Restore every player's potentials are his true ones: none to start from.
    EXPECT_EQ(r.Expect(Kind::Done, Operation::Hide, 2).message.find("starting from"), std::string::npos);

    // A .pot of an earlier Tavrin holds only a SHA-256 of the player file it
    // saved: while the file is still that one, every player's potentials in
    // it are Tavrin's, and the next run starts from the saved ones.
    Runner earlier(league);
    earlier.Expect(Kind::Done, Operation::Hide, 2);
    const Bytes saved = test::ReadFileBytes(earlier.pyr);
    const QByteArray sha = QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char*>(saved.data()), std::ssize(saved)), QCryptographicHash::Sha256);
    test::SqlExec(earlier.pot, "DROP TABLE WrittenPotentials; DROP TABLE SavedRun; CREATE TABLE SavedPlayerFile "
                               "(Operation, SavedAt, Sha256, RestoredAt); INSERT INTO SavedPlayerFile VALUES ('Hide', "
                               "'2026-12-01T10:00:00Z', 'another file', NULL)");
    run::Request dry;  // of another file, none of them
    dry.operation = Operation::Randomize;
    dry.dryRun = true;
    EXPECT_EQ(earlier.Run(dry).message.find("starting from"), std::string::npos);
    test::SqlExec(earlier.pot, "UPDATE SavedPlayerFile SET Sha256 = '" + sha.toHex().toStdString() + "'");
    const Outcome fromEarlier = earlier.Expect(Kind::Done, Operation::Randomize);
    EXPECT_NE(fromEarlier.message.find("players saved by Hide on " + LocalTimeText("2026-12-01T10:00:00Z")),
              std::string::npos)
        << fromEarlier.message;
    earlier.Expect(Kind::Done, Operation::Restore);
    EXPECT_EQ(test::ReadFileBytes(earlier.pyr), gen::PlayerFileBytes(league));

    // The .pot's record names the player file the run read and the one it
    // wrote, the bytes after their last record included.
    gen::League tail = league;
    tail.trailing = {0xEE, 0xEF};
    Runner withTail(tail);
    Fingerprint read;
    read.Add(test::ReadFileBytes(withTail.pyr));
    withTail.Expect(Kind::Done, Operation::Hide, 2);
    EXPECT_EQ(test::SqlText(withTail.pot, "SELECT ReadFingerprint FROM SavedRun"), read.Text());
    Fingerprint written;
    written.Add(test::ReadFileBytes(withTail.pyr));
    EXPECT_EQ(test::SqlText(withTail.pot, "SELECT Fingerprint FROM SavedRun"), written.Text());
    // As .pot files keep it: XXH3's 128 bits in hex, as xxhsum -H2 prints them.
    Fingerprint pinned;
    pinned.Add(Bytes{'T', 'a', 'v', 'r', 'i', 'n'});
    EXPECT_EQ(pinned.Text(), "XXH3-128:07db29db10271ca3b4dc235c2191134a");

    // A Restore restores from a read-only .pot, and leaves it as it is. Like
    // any run that writes, it first removes what a run killed part-way left:
    // new files beside the player file and the .pot, and a copy the history
    // was making where the file system has no hard links; a file of the
    // user's in the history stays.
    Runner locked(league);
    locked.Expect(Kind::Done, Operation::Hide, 2);
    fs::permissions(locked.pot, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const Bytes pot = test::ReadFileBytes(locked.pot);
    const std::vector<fs::path> left{locked.dir / "Demo.pyr.tavrin-new", locked.dir / "Demo.pot.tavrin-new",
                                     locked.dir / "Demo.history" / "0009 2026-01-01T00-00-00Z before Hide.pot.tavrin-new"};
    for (const fs::path& p : left) test::WriteFileBytes(p, Bytes(5000, 0xAB));
    const fs::path mine = locked.dir / "Demo.history" / "0009 before Hide.pot.tavrin-new";
    test::WriteFileBytes(mine, {1});
    locked.Expect(Kind::Done, Operation::Restore);
    for (const fs::path& p : left) EXPECT_FALSE(fs::exists(p)) << p;
    EXPECT_TRUE(fs::exists(mine));
    EXPECT_EQ(test::ReadFileBytes(locked.pot), pot);
    EXPECT_EQ(test::ReadFileBytes(locked.pyr), gen::PlayerFileBytes(league));
}

TEST(Run, TheHistoryKeepsTheLastTwentyRunsAndAnUndoIsARunOfItsOwn) {
    Runner r;
    std::vector<std::pair<Bytes, bool>> before;  // the player file before each run, and whether a .pot was there
    const std::string mine = "0000 before I edited.txt";  // the user's, in the history folder
    for (int i = 0; i < 23; ++i) {
        before.emplace_back(test::ReadFileBytes(r.pyr), fs::exists(r.pot));
        const Outcome o = r.Expect(Kind::Done, i % 2 ? Operation::Restore : Operation::Hide, static_cast<std::int16_t>(1 + i % 9));
        EXPECT_EQ(o.historyRun, i + 1);
        if (i == 0) test::WriteFileBytes(run::History(r.lge).Folder() / mine, {1, 2, 3});
    }
    const run::History history(r.lge);
    const auto runs = history.Runs();
    ASSERT_EQ(runs.size(), 20u);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const run::HistoryRun& run = runs[i];
        const std::size_t n = i + 3;  // runs 4 to 23
        EXPECT_EQ(run.number, static_cast<int>(n + 1));
        EXPECT_EQ(run.operation, n % 2 ? "Restore" : "Hide");
        EXPECT_EQ(test::ReadFileBytes(history.Folder() / run.keptPyr), before[n].first) << n;
        EXPECT_EQ(run.keptPot.empty(), !before[n].second);
        EXPECT_TRUE(run.time.ends_with("Z") && run.undid == 0) << run.time;
    }
    // Three files a run (two for the first), the user's own file untouched.
    EXPECT_EQ(test::Snapshot(history.Folder()).size(), 20u * 3 + 1);
    EXPECT_TRUE(fs::exists(history.Folder() / mine));

    // Undo brings back the pair before the last run, and is undone in turn;
    // it too first clears what a killed run left.
    const Bytes pyr = test::ReadFileBytes(r.pyr), pot = test::ReadFileBytes(r.pot);
    test::WriteFileBytes(r.dir / "Demo.pyr.tavrin-new", {1});
    run::Request undo;
    undo.operation = Operation::Undo;
    const Outcome first = r.Run(undo);
    ASSERT_EQ(first.kind, Kind::Done) << first.message;
    EXPECT_EQ(test::ReadFileBytes(r.pyr), before[22].first);
    EXPECT_NE(first.message.find("as they were before run 23 (Hide on "), std::string::npos) << first.message;
    EXPECT_EQ(run::History(r.lge).Runs().back().undid, 23);
    const Outcome second = r.Run(undo);
    ASSERT_EQ(second.kind, Kind::Done) << second.message;
    EXPECT_EQ(test::ReadFileBytes(r.pyr), pyr);
    EXPECT_EQ(test::ReadFileBytes(r.pot), pot);
    // Back to before an older run, and a number the history does not hold.
    undo.undoTo = 23;
    ASSERT_EQ(r.Run(undo).kind, Kind::Done);
    EXPECT_EQ(test::ReadFileBytes(r.pyr), before[22].first);
    undo.undoTo = 2;
    EXPECT_EQ(r.Run(undo).kind, Kind::Refused);

    // An undo of the first run of a league takes away the .pot it made, and
    // counts the players it changes back (in a league of more records than
    // it reads at a time; its first ten players' potentials were 0 already).
    gen::League many{gen::Kind::L02, 173, 37, {}, gen::MakePlayers(5000, 7), {}};
    for (std::size_t i = 0; i < 10; ++i) many.players[i].pot.fill(0);
    Runner fresh(many);
    const Outcome hid = fresh.Expect(Kind::Done, Operation::Hide);
    ASSERT_GT(hid.changed, 4096);
    undo.undoTo = 0;
    const Outcome undone = fresh.Run(undo);
    ASSERT_EQ(undone.kind, Kind::Done);
    const auto changedBack = hid.changed - 10;  // the Hide counts the players it hid, the undo the records it changes
    EXPECT_TRUE(undone.message.ends_with(": " + std::to_string(changedBack) + " of 5000 players changed"))
        << undone.message;
    EXPECT_EQ(test::ReadFileBytes(fresh.pyr), gen::PlayerFileBytes(fresh.league));
    EXPECT_FALSE(fs::exists(fresh.pot));
    // What a run changed, player by player: its kept file against the next
    // run's, here the file the Hide saved, which the undo kept.
    const auto hide = run::History(fresh.lge).Runs().front();
    bool exact = false;
    const auto changes = run::History(fresh.lge).ChangesOf(hide, fresh.pyr, exact);
    EXPECT_EQ(std::ssize(changes), changedBack);
    EXPECT_TRUE(exact);
    EXPECT_EQ(changes.front().after, (std::array<int, 8>{}));
    EXPECT_EQ(changes.front().slot, 11);
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
    test::TempDir elsewhere;
    const fs::path outside = elsewhere / "outside";
    test::WriteFileBytes(outside, {1, 2, 3});
    const auto linked = [&](const std::string& name) {
        return [&, name](Runner& r) {
            fs::remove(r.dir / name);
            fs::create_symlink(outside, r.dir / name);
        };
    };
    const std::vector<Case> cases{
        {"no .pot to restore", Operation::Restore, [](Runner&) {}, "does not exist"},
        {".pot not a database", Operation::Restore, [](Runner& r) { test::WriteFileBytes(r.pot, Bytes(3000, 'x')); },
         "cannot be read"},
        {".pot without a potential", Operation::Restore,
         [](Runner& r) { test::SqlExec(r.pot, "CREATE TABLE Players (PID_a, PID_b, Pot_SP)"); }, "Pot_AC"},
        {"read-only .pot", Operation::Hide, [&](Runner& r) { test::WriteFileBytes(r.pot, {}); writeProtect(r.pot); },
         "read-only"},
        {"read-only player file", Operation::Randomize, [&](Runner& r) { writeProtect(r.pyr); }, "read-only"},
        {"league file missing", Operation::Hide, [](Runner& r) { fs::remove(r.lge); }, "does not exist"},
        {"player file missing", Operation::Hide, [](Runner& r) { fs::remove(r.pyr); }, "does not exist"},
        {"league file a link", Operation::Hide, linked("Demo.lge"), "is a symbolic link to " + PathText(outside)},
        {"player file a link", Operation::Hide, linked("Demo.pyr"), "is a symbolic link to " + PathText(outside)},
        {".pot a link", Operation::Randomize, linked("Demo.pot"), "is a symbolic link to " + PathText(outside)},
        {"history a link", Operation::Hide, [&](Runner& r) { fs::create_directory_symlink(elsewhere.path(), r.dir / "Demo.history"); },
         "is a symbolic link to " + PathText(elsewhere.path())},
        {"history a file", Operation::Hide,
         [](Runner& r) { test::WriteFileBytes(r.dir / "Demo.history", {}); }, "is not a folder"},
        {"no working database", Operation::Hide,
         [](Runner& r) {
             test::WriteFileBytes(r.work / "file", {});
             r.state.workingFolder = r.work / "file" / "app";
         },
         "working database"},
        {"lock file a folder", Operation::Hide, [](Runner& r) { fs::create_directory(r.dir / "Demo.lge.lock"); },
         "Demo.lge.lock is no lock file (it is a folder)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Runner r;
        c.spoil(r);
        const auto files = r.Files();
        const auto working = test::Snapshot(r.work.path());
        const Bytes outsideBytes = test::ReadFileBytes(outside);
        run::Request request;
        request.operation = c.op;
        request.yearsLimit = 50;
        request.league = r.lge;
        SeededRandomSource random(1);
        const Outcome o = run::RunLeague(request, r.state, random);
        EXPECT_EQ(o.kind, Kind::Refused) << o.step << ": " << o.message;
        EXPECT_NE(o.message.find(c.says), std::string::npos) << o.message;
        EXPECT_TRUE(o.message.ends_with("No file was changed.")) << o.message;
        EXPECT_EQ(r.Files(), files);
        EXPECT_EQ(test::Snapshot(r.work.path()), working);
        EXPECT_EQ(test::ReadFileBytes(outside), outsideBytes);
    }

    // Another run holds a lock: refused, naming what is in use. A lock file
    // left by a run that died (empty, or anything in it) is no lock.
    for (const bool league : {false, true}) {
        Runner r;
        const fs::path lockFile = league ? fs::path(r.lge) += ".lock" : r.work / "Temp.mdb.lock";
        platform::Lock::Blocked blocked;
        const platform::Folder folder = platform::Folder::Open(lockFile.parent_path());
        auto held = platform::Lock::Take(folder, lockFile.filename(), blocked);
        ASSERT_TRUE(held);
        const Outcome o = r.Run(Operation::Hide);
        EXPECT_EQ(o.kind, Kind::Refused);
        EXPECT_NE(o.message.find(league ? "is using the league" : "is using the working database"), std::string::npos)
            << o.message;
        held.reset();
        test::WriteFileBytes(lockFile, {'x', 'y'});
        r.Expect(Kind::Done, Operation::Hide);
    }
}

TEST(Run, APlayerFileChangedSinceItWasLoadedKeepsItsNewContents) {
    // The game saves the league while Tavrin works on it: the save must not
    // write players loaded before that over it, whether the game writes the
    // file in place or renames a new one over it (of the same size, with the
    // same time). Cut short while it is read (a league of two chunks of
    // records), the import stops there.
    struct Rewriter final : Progress {
        fs::path pyr;
        Bytes bytes;
        bool replace = false;
        void Show() override {}
        void Unload() override {}
        void UpdateBar(std::string_view text, double) override {
            if (text != "Loading League" || bytes.empty()) return;
            if (!replace) return test::WriteFileBytes(pyr, std::exchange(bytes, {}));
            const fs::path next = fs::path(pyr) += ".saving";
            test::WriteFileBytes(next, std::exchange(bytes, {}));
            fs::last_write_time(next, fs::last_write_time(pyr));
            fs::rename(next, pyr);
        }
    };
    struct Case { std::string name; std::size_t players, rewritten; bool replace; Kind kind; std::string says; };
    for (const Case& c : {Case{"rewritten", 40, 41, false, Kind::Refused, "changed since"},
                          Case{"replaced", 40, 40, true, Kind::Refused, "changed since"},
                          Case{"cut short", 5000, 41, false, Kind::Failed, "the file ended early"}}) {
        SCOPED_TRACE(c.name);
        Runner r(gen::League{gen::Kind::L02, 173, 37, {}, gen::MakePlayers(c.players, 3), {}});
        Rewriter rewriter;
        rewriter.pyr = r.pyr;
        rewriter.replace = c.replace;
        rewriter.bytes = gen::PlayerFileBytes(gen::League{gen::Kind::L02, 173, 37, {}, gen::MakePlayers(c.rewritten, 4), {}});
        const Bytes written = rewriter.bytes;
        r.state.progress = &rewriter;
        const Outcome o = r.Run(Operation::Hide);
        EXPECT_EQ(o.kind, c.kind);
        EXPECT_NE(o.message.find(c.says), std::string::npos) << o.message;
        EXPECT_EQ(test::ReadFileBytes(r.pyr), written);
        EXPECT_FALSE(fs::exists(r.pot));
    }
}

TEST(Run, AnL03LeagueIsOnlyLoadedAndAnUnknownTagOrAPlayerFileChangesNothing) {
    for (const char tag : {'3', '4', 'x', ' '}) {
        SCOPED_TRACE(tag);
        Runner r(DemoLeague(tag == '3' ? gen::Kind::L03 : gen::Kind::L02));
        Bytes lge = test::ReadFileBytes(r.lge);
        lge[2] = static_cast<unsigned char>(tag);
        test::WriteFileBytes(r.lge, lge);
        const auto files = r.Files();
        const Outcome o = r.Run(Operation::Hide);
        EXPECT_EQ(r.Files(), files);
        if (tag == '3') {
            EXPECT_TRUE(o.kind == Kind::Done && o.loadedOnly && o.players == 40) << o.message;
            EXPECT_EQ(r.progress.texts, std::vector<std::string>(40, "Loading League"));
        } else {
            EXPECT_EQ(o.kind, Kind::NothingToDo);
            EXPECT_NE(o.message.find(std::string("\"L0") + tag + ":\""), std::string::npos) << o.message;
            EXPECT_TRUE(test::Snapshot(r.work.path()).empty());
        }
    }
    // A league copied from another machine, LEAGUE.LGE with LEAGUE.PYR
    // beside it. Its player file chosen for the league is refused, naming the
    // league file; the league file finds its player file, and a new .pot
    // takes the lower-case ending.
    Runner r(DemoLeague(), "LEAGUE");
    fs::rename(r.lge, r.dir / "LEAGUE.LGE");
    fs::rename(r.pyr, r.dir / "LEAGUE.PYR");
    r.lge = r.dir / "LEAGUE.PYR";
    EXPECT_NE(r.Expect(Kind::NothingToDo, Operation::Hide).message.find(
                  "is a player file, not a league file. The league file beside it is LEAGUE.LGE"),
              std::string::npos);
    r.lge = r.dir / "LEAGUE.LGE";
    r.Expect(Kind::Done, Operation::Hide);
    EXPECT_EQ(test::ReadFileBytes(r.dir / "LEAGUE.PYR"), test::Hidden(DemoLeague(), 50));
    const auto files = r.Files();
    EXPECT_TRUE(files.contains("LEAGUE.pot") && !files.contains("LEAGUE.pyr"));
}

}  // namespace
}  // namespace tavrin
