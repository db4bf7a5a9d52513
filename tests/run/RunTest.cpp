// Whole runs through the run core, as the window and the command line make
// them: every run starts from the true potentials, what the .pot and the
// history keep, what an undo brings back, and what is refused. What each
// step does to the players is the other suites' part.

#include "LeagueFolder.h"
#include "league/Clock.h"
#include "platform/Fingerprint.h"
#include "run/Commit.h"
#include "run/RunLocks.h"

namespace tavrin {
namespace {

using run::Outcome;

// Players of 49 and 50 years either side of the limit of "All Players", and
// rookies, each with an identity of his own, in a league of our generator.
gen::League DemoLeague(gen::Kind kind = gen::Kind::L02) {
    gen::League league = test::DemoLeague(kind);
    league.players[0].years = 50;
    league.players[1].years = 49;
    league.players[2].years = 0;
    return league;
}

// The league of these tests, in a folder of its own.
struct Runner : test::LeagueFolder {
    explicit Runner(const gen::League& l = DemoLeague(), const std::string& base = "Demo") : LeagueFolder(base, l) {}
};

// What the game does to the league between two runs, to its player file and
// to the league as the test expects it.
struct Game {
    enum class What { Set, Remove, Swap, Append } what = What::Set;
    std::int64_t slot = 0, other = 0;  // Set, Remove: the slot; Swap: the two
    Col column{};
    std::uint8_t value{};
    gen::Player player{};  // Append

    static Game Sets(std::int64_t slot, Col column, std::uint8_t value) { return {What::Set, slot, 0, column, value}; }
    static Game Removes(std::int64_t slot) { return {What::Remove, slot}; }
    static Game Swaps(std::int64_t a, std::int64_t b) { return {What::Swap, a, b}; }
    static Game Appends(const gen::Player& p) { return {What::Append, 0, 0, {}, {}, p}; }

    static std::uint8_t& Field(gen::Player& p, Col c) {
        for (std::size_t a = 0; a < 8; ++a) {
            if (c == kPotColumns[a]) return p.pot[a];
            if (c == kActColumns[a]) return p.act[a];
        }
        return c == Col::Position ? p.position : p.years;
    }

    void Plays(const fs::path& pyr, gen::League& expected) const {
        constexpr auto R = static_cast<std::ptrdiff_t>(kRecordLenL02);
        Bytes file = test::ReadFileBytes(pyr);
        const auto at = [&](std::int64_t k) { return file.begin() + k * R; };
        auto& players = expected.players;
        switch (what) {
            case What::Set:
                test::GameSets(pyr, slot, column, value);
                Field(players[static_cast<std::size_t>(slot - 1)], column) = value;
                return;
            case What::Remove:
                file.erase(at(slot), at(slot + 1));
                players.erase(players.begin() + slot - 1);
                break;
            case What::Swap:
                std::swap_ranges(at(slot), at(slot + 1), at(other));
                std::swap(players[static_cast<std::size_t>(slot - 1)], players[static_cast<std::size_t>(other - 1)]);
                break;
            case What::Append: {
                // Encoded with the league's own tables: the record of a
                // league of him alone, behind the same header.
                const Bytes alone = gen::PlayerFileBytes({gen::Kind::L02, expected.start, expected.step,
                                                          expected.headerRest, {player}, {}});
                file.insert(at(static_cast<std::int64_t>(players.size()) + 1), alone.end() - R, alone.end());
                players.push_back(player);
                break;
            }
        }
        test::WriteFileBytes(pyr, file);
    }
};

// The league of the truth-first tests: the demo league with two players who
// share an identity (the game's files allow it: only their slots tell them
// apart), and the players the seasons below play with.
struct TruthLeague {
    gen::League league = DemoLeague();
    std::vector<std::int64_t> young;  // two players under 2 years
    std::int64_t old = 0;             // one of 9 years or more
    gen::Player draftee;              // a new player, of an identity nobody has
    std::uint8_t raisedSP = 0;        // the old player's first potential, raised by one

    TruthLeague() {
        for (std::size_t i = 3; i < league.players.size(); ++i) {
            if (league.players[i].years < 2) young.push_back(static_cast<std::int64_t>(i) + 1);
            if (!old && league.players[i].years >= 9) old = static_cast<std::int64_t>(i) + 1;
        }
        league.players[4].pidA = league.players[5].pidA;
        league.players[4].pidB = league.players[5].pidB;
        league.players[4].years = league.players[5].years = 0;
        draftee = league.players[static_cast<std::size_t>(young.at(0) - 1)];
        draftee.pidA = draftee.pidB = 250;
        draftee.pot = {70, 71, 72, 73, 74, 75, 76, 77};
        raisedSP = static_cast<std::uint8_t>(league.players[static_cast<std::size_t>(old - 1)].pot[0] + 1);
    }
};

TEST(Run, EveryRunStartsFromTheTruePotentialsWhateverTheGameDidBetween) {
    struct Step {
        Operation op;
        std::int16_t years = 50;
        std::vector<Game> game = {};  // what the game does before the step
    };
    struct Case {
        std::string name;
        std::vector<Step> steps;  // then a Restore
    };
    const TruthLeague t;
    ASSERT_TRUE(t.young.size() >= 2 && t.old);
    const gen::League& league = t.league;
    const auto& young = t.young;
    const std::int64_t old = t.old;
    const gen::Player& draftee = t.draftee;
    const std::uint8_t raisedSP = t.raisedSP;
    const std::vector<Case> cases{
        {"Hide, Hide", {{Operation::Hide, 2}, {Operation::Hide, 50}}},
        {"Hide, the same Hide, Randomize", {{Operation::Hide, 2}, {Operation::Hide, 2}, {Operation::Randomize}}},
        {"Hide, Randomize", {{Operation::Hide, 50}, {Operation::Randomize}}},
        {"Randomize, Hide, Randomize", {{Operation::Randomize}, {Operation::Hide, 3}, {Operation::Randomize}}},
        {"the game saves between two Hides",
         {{Operation::Hide, 2},
          {Operation::Hide, 50, {Game::Sets(young[0], Col::Act_SP, 21), Game::Sets(old, Col::Act_AC, 22)}}}},
        // A record of Position 15 or more has no row and is not written, but
        // stays Tavrin's.
        {"a hidden player out of the lineup for a run",
         {{Operation::Hide, 50},
          {Operation::Randomize, 50, {Game::Sets(old, Col::Position, 15)}},
          {Operation::Hide, 2,
           {Game::Sets(old, Col::Position, league.players[static_cast<std::size_t>(old - 1)].position)}}}},
        // The record is found by identity, wherever the game moved it.
        {"the game removes a veteran between two Hides",
         {{Operation::Hide, 2}, {Operation::Hide, 2, {Game::Removes(old)}}}},
        {"two hidden players swap places", {{Operation::Hide, 2}, {Operation::Hide, 2, {Game::Swaps(young[0], young[1])}}}},
        // Each potential on its own: what the game changed is the truth.
        {"the game raises a veteran's potential and one of a hidden player's",
         {{Operation::Hide, 2},
          {Operation::Randomize, 50, {Game::Sets(old, Col::Pot_SP, raisedSP), Game::Sets(young[0], Col::Pot_IN, 5)}}}},
        {"a draftee after a Hide", {{Operation::Hide, 2}, {Operation::Randomize, 50, {Game::Appends(draftee)}}}},
        {"a season", {{Operation::Hide, 2},
                      {Operation::Randomize, 50, {Game::Removes(1), Game::Swaps(young[0] - 1, young[1] - 1),
                                                  Game::Appends(draftee), Game::Sets(old - 1, Col::Pot_SP, raisedSP)}},
                      {Operation::Hide, 3, {Game::Removes(2)}},
                      {Operation::Restore},
                      {Operation::Hide, 50, {Game::Swaps(1, 2)}}}},
        {"two players with one identity, Restored between",
         {{Operation::Hide, 1}, {Operation::Restore}, {Operation::Randomize}, {Operation::Restore}, {Operation::Hide}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Runner r(league);
        gen::League expected = league;
        for (const Step& s : c.steps) {
            for (const Game& g : s.game) g.Plays(r.pyr, expected);
            r.Expect(Kind::Done, s.op, s.years);
        }
        r.Expect(Kind::Done, Operation::Restore);
        EXPECT_EQ(test::ReadFileBytes(r.pyr), gen::PlayerFileBytes(expected));
    }

}

TEST(Run, TheSummarySaysWhereARunStartedAndWhatARestoreKept) {
    // Where a run started from; for a Restore, what it kept of the game's,
    // and who has no saved potentials.
    const TruthLeague t;
    const gen::League& league = t.league;
    Runner r(league);
    const auto hidden = std::count_if(league.players.begin(), league.players.end(),
                                      [](const gen::Player& p) { return p.years < 2; });
    EXPECT_EQ(r.Expect(Kind::Done, Operation::Hide, 2).message,
              "Hid the potentials of " + std::to_string(hidden) +
                  " of 40 players in Demo.pyr; true potentials saved in Demo.pot");
    Game::Removes(t.old).Plays(r.pyr, r.league);
    const Outcome again = r.Expect(Kind::Done, Operation::Hide, 2);
    EXPECT_NE(again.message.find(", starting from the true potentials of " + std::to_string(hidden) +
                                 " players saved by Hide on "),
              std::string::npos)
        << again.message;
    Game::Sets(t.young[0] - 1, Col::Pot_SP, 97).Plays(r.pyr, r.league);
    Game::Sets(1, Col::Pot_SP, static_cast<std::uint8_t>(r.league.players[0].pot[0] + 1)).Plays(r.pyr, r.league);
    Game::Appends(t.draftee).Plays(r.pyr, r.league);
    EXPECT_EQ(r.Expect(Kind::Done, Operation::Restore).message,
              "Restored the potentials of " + std::to_string(hidden) +
                  " of 40 players in Demo.pyr from Demo.pot; kept 2 potentials the game or the owner changed since "
                  "Tavrin saved them; 1 player with no saved potentials (new since) kept his");
    EXPECT_EQ(test::ReadFileBytes(r.pyr), gen::PlayerFileBytes(r.league));
    // After a Restore every player's potentials are his true ones: none to start from.
    EXPECT_EQ(r.Expect(Kind::Done, Operation::Hide, 2).message.find("starting from"), std::string::npos);

}

TEST(Run, ThePotsRecordNamesThePlayerFilesTheRunReadAndWrote) {
    // The bytes after their last record included.
    gen::League tail = DemoLeague();
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
    // The record's first entry, as every later Tavrin must read it: slot,
    // identity, the key of his names, the potentials written, read and true.
    EXPECT_EQ(test::SqlText(withTail.pot, "SELECT hex(substr(Players, 1, 38)) FROM WrittenRecord WHERE Chunk = 1"),
              "030000004A45A191BCAF0C701B2800000000000000002B3E4F404436584E2B3E4F404436584E");

}

TEST(Run, TimesAreKeptInUtcAndShownInLocalTime) {
    // Whatever the time zone, noon in mid-July stays in July 2026, and any
    // minute and second of the hour is a time; a text that is no time of
    // ours is shown as it is.
    for (const char* utc : {"2026-07-15T12:59:59Z", "2026-07-15T12:00:60Z"}) {
        const std::string shown = LocalTimeText(utc);
        EXPECT_NE(shown.find(" Jul 2026 "), std::string::npos) << utc << ": " << shown;
    }
    for (const char* other : {"2026-13-01T00:00:00Z", "2026-07-15T12:60:00Z", "2026-07-15T12:00:00", "yesterday"})
        EXPECT_EQ(LocalTimeText(other), other);
    EXPECT_EQ(NowUtc().size(), std::string("2026-12-06T05:00:00Z").size());
}

TEST(Run, ARestoreFromAReadOnlyPotLeavesItAndClearsWhatAKilledRunLeft) {
    // A Restore restores from a read-only .pot, and leaves it as it is. Like
    // any run that writes, it first removes what a run killed part-way left:
    // new files beside the player file and the .pot, and a copy the history
    // was making where the file system has no hard links; a file of the
    // user's in the history stays.
    const gen::League league = DemoLeague();
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

// The record of a run in the league's history, its text changed by `edit`.
void EditRecord(const fs::path& history, int number, const std::function<void(std::string&)>& edit) {
    for (const auto& entry : fs::directory_iterator(history)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(std::string(4 - std::to_string(number).size(), '0') + std::to_string(number) + " ") ||
            !name.ends_with(".run"))
            continue;
        const Bytes bytes = test::ReadFileBytes(entry.path());
        std::string text(bytes.begin(), bytes.end());
        edit(text);
        test::WriteFileBytes(entry.path(), Bytes(text.begin(), text.end()));
    }
}

// A kept file of a run, by its kind ("pyr", "pot").
fs::path Kept(const fs::path& history, int number, const std::string& extension) {
    const std::string prefix = std::string(4 - std::to_string(number).size(), '0') + std::to_string(number) + " ";
    for (const auto& entry : fs::directory_iterator(history))
        if (const std::string name = entry.path().filename().string();
            name.starts_with(prefix) && name.ends_with("." + extension))
            return entry.path();
    return {};
}

TEST(Run, AnUndoBringsBackOnlyWhatTheHistoryKeptAndNeverHalfOfIt) {
    // What the history holds, spoilt: the undo of the last run is refused,
    // naming what is wrong, with every file as it was.
    const auto replace = [](std::string key, std::string value) {
        return [key, value](std::string& text) {
            const std::size_t at = text.find("\"" + key + "\"");
            ASSERT_NE(at, std::string::npos) << text;
            const std::size_t from = text.find('"', text.find(':', at)) + 1, to = text.find('"', from);
            text.replace(from, to - from, value);
        };
    };
    struct Case {
        std::string name;
        std::function<void(const fs::path& history)> spoil;
        std::string says;
    };
    const std::vector<Case> cases{
        {"the kept .pot's name not one of the run's",
         [&](const fs::path& h) { EditRecord(h, 2, replace("keptPot", "0001 2026-01-01T00-00-00Z before Hide.pot")); },
         "names 0001 2026-01-01T00-00-00Z before Hide.pot, which is no .pot file it kept"},
        {"the .pot named as the player file",
         [&](const fs::path& h) { EditRecord(h, 2, replace("keptPyr", Kept(h, 2, "pot").filename().string())); },
         "which is no .pyr file it kept"},
        {"the kept player file cut short", [](const fs::path& h) { fs::resize_file(Kept(h, 2, "pyr"), 100); },
         "is not the file the run kept"},
        {"the kept .pot spoilt",
         [](const fs::path& h) { test::WriteFileBytes(Kept(h, 2, "pot"), Bytes(fs::file_size(Kept(h, 2, "pot")), 'x')); },
         "is not the file the run kept"},
        {"the kept player file gone", [](const fs::path& h) { fs::remove(Kept(h, 2, "pyr")); }, "no longer holds"},
        {"a record without fingerprints",
         [](const fs::path& h) {
             EditRecord(h, 2, [](std::string& text) {
                 for (std::size_t at; (at = text.find("\"keptPyrFingerprint\"")) != std::string::npos;)
                     text.replace(at, 2, "\"x");
             });
         },
         "keeps no fingerprint"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Runner r;
        r.Expect(Kind::Done, Operation::Hide, 2);
        r.Expect(Kind::Done, Operation::Randomize);
        c.spoil(run::History(r.lge).Folder());
        const auto files = r.Files();
        run::Request undo;
        undo.operation = Operation::Undo;
        const Outcome o = r.Run(undo);
        EXPECT_EQ(o.kind, Kind::Refused) << o.message;
        EXPECT_NE(o.message.find(c.says), std::string::npos) << o.message;
        EXPECT_EQ(r.Files(), files);
    }

    // An undo cut short between its two files (the player file in place,
    // the .pot still the one it replaced) is finished by the next run, which
    // then starts from the truth.
    Runner r;
    r.Expect(Kind::Done, Operation::Hide, 2);
    r.Expect(Kind::Done, Operation::Hide, 3);
    r.Expect(Kind::Done, Operation::Randomize);
    const Bytes randomizedPot = test::ReadFileBytes(r.pot);
    run::Request undo;
    undo.operation = Operation::Undo;
    undo.undoTo = 2;
    ASSERT_EQ(r.Run(undo).kind, Kind::Done);
    const Bytes broughtBack = test::ReadFileBytes(r.pot);
    test::WriteFileBytes(r.pot, randomizedPot);
    r.Expect(Kind::Done, Operation::Hide, 50);
    EXPECT_EQ(test::ReadFileBytes(Kept(run::History(r.lge).Folder(), 5, "pot")), broughtBack);
    r.Expect(Kind::Done, Operation::Restore);
    EXPECT_EQ(test::ReadFileBytes(r.pyr), gen::PlayerFileBytes(r.league));
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
    std::vector<Case> cases{
        {"no .pot to restore", Operation::Restore, [](Runner&) {}, "does not exist"},
        {".pot not a database", Operation::Restore, [](Runner& r) { test::WriteFileBytes(r.pot, Bytes(3000, 'x')); },
         "it is not a saved-potentials file."},
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
    // Links only where this user may make them (Windows asks for developer
    // mode or an administrator; Wine makes none).
    std::error_code noLinks;
    fs::create_symlink(outside, elsewhere / "probe", noLinks);
    if (noLinks) std::erase_if(cases, [](const Case& c) { return c.name.ends_with(" a link"); });
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
    std::vector<Case> cases{Case{"rewritten", 40, 41, false, Kind::Refused, "changed since"},
                            Case{"cut short", 5000, 41, false, Kind::Failed, "the file ended early"}};
#if !defined(_WIN32)
    // (Windows lets nobody rename a file over one that is open, as the
    // player file is while it is read.)
    cases.push_back(Case{"replaced", 40, 40, true, Kind::Refused, "changed since"});
#endif
    for (const Case& c : cases) {
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
    // (By way of another name: Wine renames no name to itself in other case.)
    for (const auto& [from, to] : {std::pair{r.lge, r.dir / "LEAGUE.LGE"}, std::pair{r.pyr, r.dir / "LEAGUE.PYR"}}) {
        fs::rename(from, r.dir / "renamed");
        fs::rename(r.dir / "renamed", to);
    }
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
