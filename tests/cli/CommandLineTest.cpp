// The command line end to end: the real program, copied into each test's own
// folder (so its working database, beside it, is the test's alone), run with
// no display on leagues of our generator. What the run core writes is its
// own suite's part; here: that each command reaches it as the window does,
// what a script sees, and that no mistyped line ever opens the window.

#include <gtest/gtest.h>

#include <sstream>

#include "Fixture.h"
#include "ProgramRun.h"
#include "base/Version.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/TerminalProgress.h"
#include "platform/Fingerprint.h"
#include "platform/Platform.h"
#include "run/ChangeLine.h"
#include "run/History.h"
#include "run/RunLocks.h"

namespace tavrin {
namespace {

struct Result {
    int exit = -1;
    std::string out, err;
};

gen::League DemoLeague(gen::Kind kind = gen::Kind::L02, std::size_t players = 40) {
    gen::League league{kind, 173, 37, {0x40, 0x45}, gen::MakePlayers(players, 7), {}};
    league.players[0].years = 0;
    return league;
}

// "a b \"c d\"": a b, c d.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    bool quoted = false, inWord = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
            if (!inWord) words.emplace_back();
            inWord = true;
        } else if (c == ' ' && !quoted) {
            inWord = false;
        } else {
            if (!inWord) words.emplace_back();
            inWord = true;
            words.back() += c;
        }
    }
    return words;
}

// The program in a folder of its own, and a league folder beside it.
struct Cli {
    Cli() {
        fs::create_directory(dir / "bin");
        fs::create_directory(leagues);
        fs::copy_file(TAVRIN_PROGRAM, program);
    }
    fs::path Write(const gen::League& league, const std::string& base = "Demo") const {
        return gen::WriteLeague(leagues, base, league);
    }
    // Run in the league folder, with no display.
    Result Run(const std::vector<std::string>& args) const {
        const test::ProgramRun r =
            test::RunProgram(program, args, leagues, dir.path(), {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
        return {r.exit, r.out, r.err};
    }
    Result Run(const std::string& args) const { return Run(Words(args)); }
    std::map<std::string, Bytes> Files() const { return test::Snapshot(leagues); }

    test::TempDir dir;
    fs::path leagues = dir / "league", program = dir / "bin" / fs::path(TAVRIN_PROGRAM).filename();
    fs::path working = dir / "bin" / "Temp.mdb";
};

std::string Joined(const std::array<std::uint8_t, 8>& values) {
    std::string out;
    for (const int v : values) out += (out.empty() ? "" : " ") + std::to_string(v);
    return out;
}

// A message as a script sees it: one line, "tavrin: " first, whole
// sentences to its full stop.
void ExpectOneMessage(const Result& r, const std::string& part) {
    EXPECT_TRUE(r.err.starts_with("tavrin: ") && r.err.find('\n') == r.err.size() - 1) << r.err;
    EXPECT_TRUE(r.err.ends_with(".\n")) << r.err;
    EXPECT_NE(r.err.find(part), std::string::npos) << r.err;
}

// RFC 4180: fields in quotes may hold commas, doubled quotes and line breaks.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') rows.back().back() += text[++i];
        else if (c == '"') quoted = !quoted;
        else if (!quoted && c == ',') rows.back().emplace_back();
        else if (!quoted && c == '\n') rows.emplace_back(1);
        else rows.back().back() += c;
    }
    if (rows.back() == std::vector<std::string>(1)) rows.pop_back();
    return rows;
}

// The window opens only for what it takes: nothing, Qt's own options and
// files that exist. Anything else is the command line's, which runs a
// command or says what it did not understand; a mistyped line never opens
// the window.
TEST(CommandLine, OnlyTheWindowsOwnArgumentsOpenTheWindow) {
    test::TempDir dir;
    const std::string lge = Utf8Of(gen::WriteLeague(dir.path(), "Demo", DemoLeague()));
    const std::string other = Utf8Of(gen::WriteLeague(dir.path(), "Other", DemoLeague()));
    const std::vector<std::pair<std::vector<std::string>, bool>> cases{
        {{}, true},
        {{lge}, true},
        {{"-style", "fusion"}, true},
        {{"-platform", "offscreen", lge}, true},
        {{"--style=fusion", "-reverse", lge}, true},
        {{lge, other}, true},  // the window says it takes one
        {{"Nowhere.lge"}, false},
        {{"hid", "--years", "all", lge}, false},
        {{"--yeras", "3"}, false},
        {{"-dash.lge"}, false},
        {{lge, "hide"}, false},
        {{lge, "--bogus"}, false},
        {{"-style"}, false},
        {{"show"}, false},
        {{"help", "hide"}, false},
        {{"--version"}, false},
        {{"-v"}, false},
        {{"-h"}, false},
    };
    for (const auto& [args, window] : cases) {
        std::string line;
        for (const std::string& a : args) line += " " + a;
        EXPECT_EQ(cli::AsksForTheWindow(args), window) << line;
    }
}

// Each command on a league of each kind; the working database beside the
// program, as the window's; nothing on standard error when all is well.
TEST(CommandLine, EachCommandOnALeagueOfEachKind) {
    Cli cli;
    const gen::League league = DemoLeague();
    const fs::path lge = cli.Write(league);
    const Bytes original = test::ReadFileBytes(cli.leagues / "Demo.pyr");
    const auto ok = [&](const auto& args) {
        const Result r = cli.Run(args);
        EXPECT_EQ(r.exit, 0) << r.err;
        EXPECT_EQ(r.err, "");
        return r.out;
    };
    EXPECT_EQ(ok("hide --years all Demo.lge"),
              "Hid the potentials of 40 of 40 players in Demo.pyr; true potentials saved in Demo.pot\n");
    EXPECT_EQ(test::ReadFileBytes(cli.leagues / "Demo.pyr"), test::Hidden(league, 50));
    EXPECT_TRUE(fs::exists(cli.working));
    const std::string shown = ok("show Demo.lge");
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 2 + 40 + 1 + 4);
    EXPECT_NE(shown.find("Potentials: 40 players have hidden potentials and 0 randomized ones by Hide on "),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("History: 1 run kept in "), std::string::npos) << shown;
    EXPECT_NE(ok("randomize --seed 7 Demo.lge").find("Randomized the potentials of "), std::string::npos);
    // The same league and seed give the same player file, on every machine
    // and with every version that keeps the draws: pinned.
    const Bytes randomized = test::ReadFileBytes(cli.leagues / "Demo.pyr");
    Fingerprint fingerprint;
    fingerprint.Add(randomized);
    EXPECT_EQ(fingerprint.Text(), "XXH3-128:839b768880c76085605112b29a843a40");
    // The .pot the Randomize run replaced holds the true potentials, kept in the history.
    const run::History history(lge);
    const auto runs = history.Runs();
    ASSERT_EQ(runs.size(), 2u);
    const fs::path kept = history.Folder() / runs[1].keptPot;
    EXPECT_EQ(ok(std::vector<std::string>{"restore", "--from", Utf8Of(kept), "Demo.lge"}).find("Restored"), 0u);
    EXPECT_EQ(test::ReadFileBytes(cli.leagues / "Demo.pyr"), original);

    // An L03 league is loaded as the window loads it, and nothing more: a
    // command that would change it is refused. show reads it.
    cli.Write(DemoLeague(gen::Kind::L03), "Old");
    const auto files = cli.Files();
    for (const std::string command : {"hide --years all", "randomize", "restore"}) {
        const Result r = cli.Run(command + " Old.lge");
        EXPECT_EQ(r.exit, 1) << command;
        ExpectOneMessage(r, "(a league of the L03 format: loaded only, nothing was changed)");
    }
    EXPECT_EQ(cli.Files(), files);
    const std::string old = ok("show Old.lge");
    EXPECT_NE(old.find("40 players in Old.pyr (a league of the L03 format)."), std::string::npos);
    EXPECT_NE(old.find("History: no run kept yet in "), std::string::npos) << old;
}

// A dry run writes nothing of the league's and tells what would change:
// with --verbose, one line per player whose record would change.
TEST(CommandLine, ADryRunChangesNoByteAndTellsWhatWouldChange) {
    Cli cli;
    const gen::League league = DemoLeague();
    cli.Write(league);
    ASSERT_EQ(cli.Run("hide --years all Demo.lge").exit, 0);
    const auto files = cli.Files();
    for (const std::string args : {"hide --years all", "randomize --seed 1", "restore"}) {
        const Result r = cli.Run(args + " --dry-run --verbose Demo.lge");
        EXPECT_EQ(r.exit, 0) << r.err;
        EXPECT_EQ(cli.Files(), files) << args;
        std::istringstream out(r.out);
        std::string summary, each;
        std::getline(out, summary);
        EXPECT_TRUE(summary.starts_with("Would ") && summary.ends_with("(dry run: no file was changed)")) << summary;
        int lines = 0;
        for (std::getline(out, each); std::getline(out, each); ++lines) {
            const gen::Player& p = league.players.at(std::stoul(each.substr(1)) - 1);
            EXPECT_NE(each.find(cp1252::BytesToUtf8(p.firstName + " " + p.lastName)), std::string::npos) << each;
            EXPECT_TRUE(args != "restore" || each.ends_with(" yrs: 0 0 0 0 0 0 0 0 -> " + Joined(p.pot))) << each;
        }
        // Every run starts from the true potentials: hiding again changes no
        // record, randomizing changes every one (back to the truth for the
        // players of 7 years and more).
        EXPECT_EQ(lines, args == "hide --years all" ? 0 : 40);
        const auto young = std::count_if(league.players.begin(), league.players.end(),
                                         [](const gen::Player& p) { return p.years < 7; });
        const std::string count = args == "randomize --seed 1" ? std::to_string(young) : "40";
        EXPECT_NE(summary.find(" " + count + " of 40 players"), std::string::npos) << summary;
    }
    // An undo too: run 1 made the league's first .pot.
    for (const std::string args : {"undo --dry-run", "undo --to 1 --dry-run"}) {
        const Result r = cli.Run(args + " Demo.lge");
        EXPECT_EQ(r.exit, 0) << r.err;
        EXPECT_EQ(cli.Files(), files) << args;
        EXPECT_TRUE(r.out.starts_with("Would bring back Demo.pyr as it was before run 1 (Hide on ")) << r.out;
        EXPECT_TRUE(r.out.ends_with(", and remove Demo.pot, which that run made: 40 of 40 players changed (dry run: "
                                    "no file was changed)\n"))
            << r.out;
    }
}

// history lists each run with its number and the files it kept; undo brings
// back the player file and the .pot as they were before the last run, or
// before run N, and is a run itself: a second undo undoes the first.
TEST(CommandLine, HistoryListsTheRunsAndUndoGoesBackAndForth) {
    Cli cli;
    const fs::path lge = cli.Write(DemoLeague());
    const fs::path pyr = cli.leagues / "Demo.pyr", pot = cli.leagues / "Demo.pot";
    const Bytes original = test::ReadFileBytes(pyr);
    ASSERT_EQ(cli.Run("hide --years all Demo.lge").exit, 0);
    ASSERT_EQ(cli.Run("randomize --seed 7 Demo.lge").exit, 0);
    const Bytes randomized = test::ReadFileBytes(pyr), randomizedPot = test::ReadFileBytes(pot);

    const Result listed = cli.Run("history Demo.lge");
    ASSERT_EQ(listed.exit, 0) << listed.err;
    std::istringstream lines(listed.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "History of Demo.lge: 2 runs kept in Demo.history, oldest first.");
    for (const run::HistoryRun& r : run::History(lge).Runs()) {
        std::getline(lines, line);
        EXPECT_TRUE(line.starts_with(std::to_string(r.number) + "  ")) << line;
        EXPECT_NE(line.find("  " + r.operation + "  " + std::to_string(r.changed) + " of 40 players changed: " +
                            r.summary + "."),
                  std::string::npos)
            << line;
        for (const fs::path& kept : {r.keptPyr, r.keptPot})
            EXPECT_TRUE(kept.empty() || line.find("\"" + PathText(kept) + "\"") != std::string::npos) << line;
        EXPECT_EQ(r.keptPot.empty(), line.ends_with(". There was no Demo.pot before it.")) << line;
    }
    EXPECT_FALSE(std::getline(lines, line));

    const auto undo = [&](const std::string& args, const std::string& summary) {
        const Result r = cli.Run(args + " Demo.lge");
        EXPECT_EQ(r.exit, 0) << r.err;
        EXPECT_TRUE(r.out.starts_with("Brought back Demo.pyr " + summary)) << r.out;
    };
    undo("undo", "and Demo.pot as they were before run 2 (Randomize on ");
    EXPECT_EQ(test::ReadFileBytes(pyr), test::Hidden(DemoLeague(), 50));
    undo("undo", "and Demo.pot as they were before run 3 (Undo on ");
    EXPECT_EQ(test::ReadFileBytes(pyr), randomized);
    EXPECT_EQ(test::ReadFileBytes(pot), randomizedPot);
    // Run 1 made the league's first .pot: before it there was none.
    undo("undo --to 1", "as it was before run 1 (Hide on ");
    EXPECT_EQ(test::ReadFileBytes(pyr), original);
    EXPECT_FALSE(fs::exists(pot));

    // Each undo is listed by the command's name.
    std::istringstream listing(cli.Run("history Demo.lge").out);
    std::vector<std::string> rows;
    for (std::string row; std::getline(listing, row);) rows.push_back(row);
    ASSERT_EQ(rows.size(), 1 + 5u);
    for (const std::size_t undone : {3, 4, 5})
        EXPECT_NE(rows[undone].find("  Undo  "), std::string::npos) << rows[undone];

    // --verbose (-v): under each run, its players; run 1 hid all 40.
    const Result verbose = cli.Run("history --verbose Demo.lge");
    EXPECT_EQ(verbose.exit, 0) << verbose.err;
    EXPECT_EQ(cli.Run("history -v Demo.lge").out, verbose.out);
    const std::string run1 = verbose.out.substr(0, verbose.out.find("\n2  "));
    EXPECT_EQ(std::count(run1.begin(), run1.end(), '\n'), 2 + 40) << run1;
    EXPECT_NE(run1.find("\n" + std::string(run::kChangesHeading) + "\n#1 "), std::string::npos) << run1;
}

// show --csv gives every record of the player file, bench players and names
// that need quoting included, and nothing else on standard output.
TEST(CommandLine, ShowCsvParsesBackToThePlayers) {
    Cli cli;
    gen::League league{gen::Kind::L02, 11, 200, {}, gen::MakePlayers(60, 3, true), {}};
    league.players[0].firstName = "O\"Neil, Jr";
    league.players[1].lastName = "Zo\xEB\r\nM\xFCller";
    league.players[2].firstName = " \x80 ";
    league.players[3].lastName = "=1+2";  // a formula to a spreadsheet
    league.players[0].lastName = "Ta\x7F" "b\x1F";  // control characters, shown as '?' in the table
    cli.Write(league);
    const Result r = cli.Run("show --csv Demo.lge");
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.err.find("Potentials: every player's in Demo.pyr are his true ones"), std::string::npos) << r.err;
    const auto rows = ParseCsv(r.out);
    ASSERT_EQ(rows.size(), 1 + league.players.size());
    EXPECT_EQ(rows[0][0] + rows[0][3] + rows[0][22], "SlotFirstNamePot_DI");
    for (std::size_t i = 0; i < league.players.size(); ++i) {
        const gen::Player& p = league.players[i];
        std::vector<std::string> expected{std::to_string(i + 1), std::to_string(p.pidA), std::to_string(p.pidB),
                                          cp1252::BytesToUtf8(p.firstName),
                                          (i == 3 ? "'" : "") + cp1252::BytesToUtf8(p.lastName),
                                          std::to_string(p.position), std::to_string(p.years)};
        for (const auto v : p.act) expected.push_back(std::to_string(v));
        for (const auto v : p.pot) expected.push_back(std::to_string(v));
        expected.push_back("true");
        EXPECT_EQ(rows[i + 1], expected) << i;
    }

    // The table: its two heading lines (a league without players too), then a
    // line per record, each number right under the end of its heading and
    // each name under the start of its own.
    cli.Write({gen::Kind::L02, 1, 2, {}, {}, {}}, "Empty");
    for (const char* name : {"Demo", "Empty"}) {
        const Result table = cli.Run(std::vector<std::string>{"show", std::string(name) + ".lge"});
        ASSERT_EQ(table.exit, 0) << table.err;
        std::istringstream lines(table.out);
        std::string titles, headings, row;
        std::getline(lines, titles);
        std::getline(lines, headings);
        std::getline(lines, row);
        EXPECT_EQ(titles.find("Current ratings"), headings.find(" SP ") + 1) << titles;
        EXPECT_EQ(titles.find("Potentials"), headings.rfind(" SP ") + 1) << titles;
        if (std::string(name) == "Empty") {
            EXPECT_EQ(row, "");
            continue;
        }
        const gen::Player& p = league.players[0];
        const auto under = [&](const std::string& heading, const std::string& value, bool left) {
            const std::size_t at = headings.find(heading);
            return left ? row.substr(at, value.size()) == value
                        : row.substr(at + heading.size() - value.size(), value.size()) == value;
        };
        EXPECT_TRUE(under("Slot", "1", false) && under("Pos", std::to_string(p.position), false) &&
                    under("Yrs", std::to_string(p.years), false) && under("First name", "O\"Neil, Jr", true) &&
                    under("Last name", "Ta?b?", true))
            << headings << "\n" << row;
        const std::string di = std::to_string(p.pot[7]);
        EXPECT_TRUE(under(" DI  Pots are", std::string(3 - di.size(), ' ') + di + "  true", true)) << row;
    }
}

// On a terminal, a step's bar is redrawn in place on one line, only when its
// text or whole percentage changes, never past 100, and cleared at the end.
TEST(CommandLine, TheTerminalBarRedrawsItsLineAndClearsIt) {
    std::FILE* file = std::tmpfile();
    ASSERT_TRUE(file);
    cli::TerminalProgress bar(file);
    bar.Show();
    for (const double step : {33.0, 0.2, 32.8, 34.0}) bar.UpdateBar("Loading League", step);  // 33.2: still 33%
    bar.UpdateBar("Loading League", 0.5);  // past 100: nothing
    bar.UpdateBar("Saving", 0.0);
    bar.Unload();
    std::rewind(file);
    std::string out(4096, '\0');
    out.resize(std::fread(out.data(), 1, out.size(), file));
    std::fclose(file);
    const auto line = [](const std::string& text, int percent) {
        const int filled = percent * 30 / 100;
        return "\r" + text + " [" + std::string(static_cast<std::size_t>(filled), '#') +
               std::string(static_cast<std::size_t>(30 - filled), '.') + "] " + std::to_string(percent) + "%";
    };
    std::string expected;
    for (const int percent : {33, 66, 100}) expected += line("Loading League", percent);
    expected += line("Saving", 100) + std::string(8, ' ') + "\r" + std::string(44, ' ') + "\r";
    EXPECT_EQ(out, expected);
}

// Every exit status, with its message: one line on standard error naming
// the file and the problem, nothing on standard output, nothing changed.
TEST(CommandLine, EachExitStatusAndItsMessage) {
    Cli cli;
    cli.Write(DemoLeague());
    cli.Write({gen::Kind::L02, 1, 2, {}, gen::MakePlayers(40, 99), {}}, "Other");
    ASSERT_EQ(cli.Run("hide --years all Other.lge").exit, 0);
    test::WriteFileBytes(cli.leagues / "Bad.lge", {'L', '0', '4', ':'});
    ASSERT_EQ(cli.Run("hide --years 1 Demo.lge").exit, 0);
    const std::string usage = " See tavrin --help.\n";
    const auto see = [](const std::string& command) { return " See tavrin " + command + " --help.\n"; };
    test::WriteFileBytes(cli.leagues / "ReadOnly.lge", test::ReadFileBytes(cli.leagues / "Demo.lge"));
    test::WriteFileBytes(cli.leagues / "ReadOnly.pyr", test::ReadFileBytes(cli.leagues / "Demo.pyr"));
    fs::permissions(cli.leagues / "ReadOnly.pyr",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write, fs::perm_options::remove);
    const auto files = cli.Files();
    struct Case {
        const char* args;
        int exit;
        std::string message;
    };
    for (const Case& c : std::vector<Case>{
             {"show --bogus Demo.lge", 2, "tavrin: Unknown option '--bogus'." + see("show")},
             // A league whose name begins with '-' is no bundle of options (-h: help, -v: verbose).
             {"hide --years all -dash.lge", 2,
              "tavrin: Unknown option '-dash.lge'. If it is the league file, put it after -- ('tavrin hide --years all "
              "-- -dash.lge')." + see("hide")},
             {"show -vx.lge", 2, "Unknown option '-vx.lge'. If it is the league file, put it after -- ('tavrin show -- "
                                 "-vx.lge')."},
             {"show --years", 2, "tavrin: The option --years needs a value (Y)." + see("show")},
             {"show --csv=yes Demo.lge", 2, "tavrin: The option --csv takes no value." + see("show")},
             {"hide Demo.lge", 2, "tavrin: The command hide needs --years Y (all, rookies or 1 to 8)." + see("hide")},
             {"hide --years 9 Demo.lge", 2, "The option --years takes all, rookies or 1 to 8, not '9'." + see("hide")},
             {"randomize --seed -1 Demo.lge", 2, "not '-1'." + see("randomize")},
             {"hide --years all --seed 3 Demo.lge", 2, "The command hide does not take --seed." + see("hide")},
             {"show --dry-run Demo.lge", 2, "The command show does not take --dry-run." + see("show")},
             {"undo --verbose Demo.lge", 2, "The command undo does not take --verbose." + see("undo")},
             {"hide -style fusion --years all Demo.lge", 2, "The option '-style' is Qt's, for the window"},
             {"show", 2, "tavrin: The command show needs a league file (LEAGUE.lge)." + see("show")},
             {"show Demo.lge Other.lge", 2, "The command show takes one league file, not 2." + see("show")},
             {"--verbose", 2, "tavrin: Give a command. The commands are hide, randomize, restore, undo, history, show "
                              "and help." + usage},
             {"show Nowhere.lge", 1, "tavrin: The league file Nowhere.lge does not exist.\n"},
             {"show Bad.lge", 1, "Bad.lge is not a league Tavrin knows"},
             {"hide --years 2 Bad.lge", 1, "Bad.lge is not a league Tavrin knows"},
             {"restore --from Nowhere.pot Demo.lge", 1, "Cannot restore the potentials from Nowhere.pot"},
             // A file that is no saved-potentials file, said in one sentence.
             {"restore --from Bad.lge Demo.lge", 1,
              "tavrin: Cannot restore the potentials from Bad.lge: it is not a saved-potentials file. No file was "
              "changed.\n"},
             {"undo --to 99 Demo.lge", 1, "The history Demo.history holds no run number 99. No file was changed.\n"},
             {"hide --years all ReadOnly.lge", 1,
              "ReadOnly.pyr is read-only; make it writable, or copy the league to a folder of yours. No file was "
              "changed.\n"},
         }) {
        SCOPED_TRACE(c.args);
        const Result r = cli.Run(c.args);
        EXPECT_EQ(r.exit, c.exit);
        EXPECT_EQ(r.out, "");
        ExpectOneMessage(r, c.message);
        EXPECT_EQ(cli.Files(), files);
    }
    // A failure part-way: the working database cannot be made.
    {
        const Bytes kept = test::ReadFileBytes(cli.working);
        fs::remove(cli.working);
        fs::create_directories(cli.working / "x");
        const Result r = cli.Run("hide --years all Demo.lge");
        EXPECT_EQ(r.exit, 3);
        ExpectOneMessage(r, "Loading the league failed: ");
        EXPECT_EQ(cli.Files(), files);
        fs::remove_all(cli.working);
        test::WriteFileBytes(cli.working, kept);
    }
    // Another run holds the working database: refused before anything is touched.
    {
        const platform::Folder folder = platform::Folder::Open(cli.working.parent_path());
        platform::Lock::Blocked blocked;
        const auto held = platform::Lock::Take(folder, run::RunLocks::LockNameOf(cli.working), blocked);
        ASSERT_TRUE(held);
        const Result r = cli.Run("hide --years all Demo.lge");
        EXPECT_EQ(r.exit, 1);
        ExpectOneMessage(r, "is using the working database " + PathText(cli.working) +
                                ". Wait until it has finished. No file was changed.\n");
        EXPECT_EQ(cli.Files(), files);
    }
    // After --, a league of any name; the list's entries in any case, as the window shows them too.
    cli.Write(DemoLeague(), "-dash");
    cli.Write(DemoLeague(), "Fresh");
    for (const char* args : {"hide --years ROOKIES -- -dash.lge", "hide --years \"All Players\" Fresh.lge"}) {
        const Result r = cli.Run(args);
        EXPECT_EQ(r.exit, 0) << args << ": " << r.err;
        EXPECT_TRUE(r.out.starts_with("Hid the potentials of ")) << args << ": " << r.out;
    }
}

// A mistyped command or option is a usage error that names the nearest
// one; with no display here, a window started by mistake would say so
// instead.
TEST(CommandLine, AMistypedLineIsAUsageErrorWithTheNearestWord) {
    Cli cli;
    cli.Write(DemoLeague());
    const auto files = cli.Files();
    const std::string commands = " The commands are hide, randomize, restore, undo, history, show and help.";
    for (const auto& [args, message] : std::vector<std::pair<const char*, std::string>>{
             {"hid --years all Demo.lge", "tavrin: 'hid' is neither a command nor a file. Did you mean 'hide'?" +
                                              commands + " See tavrin --help.\n"},
             {"histroy Demo.lge", "Did you mean 'history'?"},
             {"rand --seed 1 Demo.lge", "Did you mean 'randomize'?"},
             {"Nowhere.lge", "tavrin: 'Nowhere.lge' is neither a command nor a file." + commands},
             {"help hid", "tavrin: 'hid' is not a command. Did you mean 'hide'?" + commands},
             {"--yeras 3", "tavrin: Unknown option '--yeras'. Did you mean '--years'? See tavrin --help.\n"},
             {"hide --yeras=3 Demo.lge",
              "Unknown option '--yeras=3'. Did you mean '--years'? See tavrin hide --help.\n"},
             {"show --dryrun Demo.lge", "Did you mean '--dry-run'?"},
             // Lines that begin as the window's: the word it cannot take.
             {"Demo.lge hide", "tavrin: 'hide' is a command, and a command comes first"},
             {"-style fusion hdie", "'hdie' is neither a command nor a file. Did you mean 'hide'?"},
             {"Demo.lge --yeras", "Unknown option '--yeras'. Did you mean '--years'?"},
         }) {
        SCOPED_TRACE(args);
        const Result r = cli.Run(args);
        EXPECT_EQ(r.exit, 2);
        EXPECT_EQ(r.out, "");
        ExpectOneMessage(r, message);
    }
    EXPECT_EQ(cli.Files(), files);
}

// With no display, the window's line is one message and exit status 2,
// never the toolkit's abort; a build without the window says it has none.
TEST(CommandLine, WithoutADisplayTheWindowSaysSoInOneLine) {
#if defined(_WIN32) && defined(TAVRIN_TEST_WITH_WINDOW)
    GTEST_SKIP() << "A window on Windows needs no display named: it would open.";
#endif
    Cli cli;
    cli.Write(DemoLeague());
#if defined(TAVRIN_TEST_WITH_WINDOW)
    const std::string says = "There is no display to open the window on: neither DISPLAY nor WAYLAND_DISPLAY is set.";
#else
    const std::string says = "this Tavrin has no window";
#endif
    for (const char* args : {"", "Demo.lge", "-style fusion Demo.lge"}) {
        SCOPED_TRACE(args);
        const Result r = cli.Run(args);
        EXPECT_EQ(r.exit, 2);
        EXPECT_EQ(r.out, "");
        ExpectOneMessage(r, says);
    }
}

// --help describes everything; a command's help only that command: its
// usage, its options and its examples. The version, by its long and short
// names.
TEST(CommandLine, EachCommandsHelpShowsItsOwnOptionsAndExamples) {
    Cli cli;
    const auto help = [&](const std::string& args) {
        const Result r = cli.Run(args);
        EXPECT_EQ(r.exit, 0) << args;
        EXPECT_EQ(r.err, "") << args;
        return r.out;
    };
    const std::string whole = help("--help");
    EXPECT_EQ(help("help"), whole);
    EXPECT_EQ(help("--help Nowhere.lge"), whole);
    // The manual page's sections, and a synopsis line for each command.
    for (const char* heading : {"Usage: tavrin [options] [LEAGUE.lge]\n", "\nCommands:\n", "\nOptions:\n", "\nFiles:\n",
                                "\nExamples:\n", "\nExit status:\n"})
        EXPECT_NE(whole.find(heading), std::string::npos) << heading;
    for (const cli::CommandFacts& c : cli::kCommands) {
        const std::string word(c.word);
        SCOPED_TRACE(word);
        EXPECT_NE(whole.find("  or:  tavrin [options] " + word + " " + std::string(c.arguments) + "\n"),
                  std::string::npos);
        EXPECT_NE(whole.find("Example: tavrin " + word), std::string::npos);

        const std::string own = help(word + " --help");
        for (const std::string& args :
             {"help " + word, word + " -h", "--help " + word, word + " --years 12 -h Demo.lge"})
            EXPECT_EQ(help(args), own) << args;
        EXPECT_TRUE(own.starts_with("Usage: tavrin " + word + " ")) << own;
        for (const cli::OptionFacts& o : cli::kOptions) {
            const bool shown = own.find("  --" + std::string(o.name)) != std::string::npos ||
                               own.find(", --" + std::string(o.name)) != std::string::npos;
            EXPECT_EQ(shown, c.takes.Has(o.option) || o.option == cli::Option::Help) << o.name;
        }
        for (const cli::CommandFacts& other : cli::kCommands)
            EXPECT_EQ(own.find("$ tavrin " + std::string(other.word) + " ") != std::string::npos, &other == &c)
                << other.word;
        EXPECT_LT(std::count(own.begin(), own.end(), '\n'), 25);
    }
    for (const char* args : {"--version", "-V", "-v"}) EXPECT_EQ(help(args), "tavrin " + std::string(kVersion) + "\n");
}

// Our league generator makes any league from none to a million players, and
// says how.
TEST(MakeLeague, WritesAnySizeFromNoneToAMillion) {
    test::TempDir dir;
    const auto make = [&](const std::vector<std::string>& args) {
        const test::ProgramRun r = test::RunProgram(TAVRIN_MAKE_LEAGUE, args, dir.path(), dir.path(), {});
        return Result{r.exit, r.out, r.err};
    };
    for (const std::size_t players : {std::size_t{0}, std::size_t{65537}, std::size_t{1000000}}) {
        const std::string base = "L" + std::to_string(players);
        const Result r = make({"leagues", "--players", std::to_string(players), "--base", base});
        EXPECT_EQ(r.exit, 0) << r.err;
        EXPECT_EQ(fs::file_size(dir / "leagues" / (base + ".pyr")), kRecordLenL02 * (players + 1)) << players;
        fs::remove(dir / "leagues" / (base + ".pyr"));
    }
    for (const char* players : {"1000001", "-1", "many"}) {
        const Result r = make({"leagues", "--players", players});
        EXPECT_EQ(r.exit, 2);
        EXPECT_EQ(r.err, "tavrin-make-league: The option --players takes a whole number from 0 to 1000000, not '" +
                             std::string(players) + "'. See tavrin-make-league --help.\n");
    }
    const Result help = make({"--help"});
    EXPECT_EQ(help.exit, 0);
    for (const char* part : {"Usage: tavrin-make-league FOLDER", "--players N", "--base NAME", "--start S", "--step T",
                             "--l03", "\nExamples:\n"})
        EXPECT_NE(help.out.find(part), std::string::npos) << part;
}

}  // namespace
}  // namespace tavrin

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
