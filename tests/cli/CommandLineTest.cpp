// The command line end to end: the real program, copied into each test's own
// folder (so its working database, beside it, is the test's alone), run with
// no display on leagues of our generator. What the run core writes is its
// own suite's part; here: that each command reaches it as the window does,
// and what a script sees.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QProcess>

#include <sstream>

#include "Fixture.h"
#include "base/Version.h"
#include "run/ChangeLine.h"
#include "cli/CommandLine.h"
#include "cli/TerminalProgress.h"
#include "platform/Platform.h"
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
    QProcess* Start(const QStringList& args) const {
        auto* process = new QProcess;
        auto env = QProcessEnvironment::systemEnvironment();  // and no display
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
        process->setProcessEnvironment(env);
        process->setWorkingDirectory(QString::fromStdU16String(leagues.u16string()));
        process->start(QString::fromStdU16String(program.u16string()), args);
        return process;
    }
    static Result Finish(QProcess* process) {
        std::unique_ptr<QProcess> owned(process);
        EXPECT_TRUE(process->waitForFinished(120000)) << process->errorString().toStdString();
        return {process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1,
                process->readAllStandardOutput().toStdString(), process->readAllStandardError().toStdString()};
    }
    Result Run(const QString& args) const { return Finish(Start(args.split(' ', Qt::SkipEmptyParts))); }
    Result Run(const QStringList& args) const { return Finish(Start(args)); }
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

// A message line as a script sees it: one line, "tavrin: " first.
void ExpectOneMessage(const Result& r, const std::string& part) {
    EXPECT_TRUE(r.err.starts_with("tavrin: ") && r.err.find('\n') == r.err.size() - 1) << r.err;
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

// Only a command, or help or version asked for, leaves the window aside;
// anything else is the window's, Qt's own options and league files alike.
TEST(CommandLine, OnlyACommandOrHelpOrVersionLeavesTheWindowAside) {
    const std::vector<std::pair<std::vector<const char*>, bool>> cases{
        {{}, false},
        {{"Demo.lge"}, false},
        {{"-style", "fusion"}, false},
        {{"-platform", "offscreen", "Demo.lge"}, false},
        {{"-reverse"}, false},
        {{"-dash.lge"}, false},
        {{"--bogus"}, false},
        {{"a.lge", "b.lge"}, false},
        {{"Demo.lge", "hide"}, false},
        {{"show"}, true},
        {{"hide", "x"}, true},
        {{"--version"}, true},
        {{"-v"}, true},
        {{"-h"}, true},
        {{"--help", "hide"}, true},
    };
    for (auto [args, expected] : cases) {
        args.insert(args.begin(), "tavrin");
        EXPECT_EQ(cli::IsCommandLine(static_cast<int>(args.size()), const_cast<char**>(args.data())), expected)
            << args.size() << " " << args.back();
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
    EXPECT_EQ(QCryptographicHash::hash(QByteArrayView(reinterpret_cast<const char*>(randomized.data()),
                                                      static_cast<qsizetype>(randomized.size())),
                                       QCryptographicHash::Sha256)
                  .toHex()
                  .toStdString(),
              "15d90236cbbee8e8cc8d2f731bf19c3b2f34ad0919692ab39c7a1b42a5189cfb");
    // The .pot the Randomize run replaced holds the true potentials, kept in the history.
    const run::History history(lge);
    const auto runs = history.Runs();
    ASSERT_EQ(runs.size(), 2u);
    const fs::path kept = history.Folder() / runs[1].keptPot;
    EXPECT_EQ(ok(QStringList{"restore", "--from", QString::fromStdU16String(kept.u16string()), "Demo.lge"}).find("Restored"),
              0u);
    EXPECT_EQ(test::ReadFileBytes(cli.leagues / "Demo.pyr"), original);

    // An L03 league is loaded as the window loads it, and nothing more: a
    // command that would change it is refused. show reads it.
    cli.Write(DemoLeague(gen::Kind::L03), "Old");
    const auto files = cli.Files();
    for (const QString command : {"hide --years all", "randomize", "restore"}) {
        const Result r = cli.Run(command + " Old.lge");
        EXPECT_EQ(r.exit, 1) << command.toStdString();
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
    for (const QString args : {"hide --years all", "randomize --seed 1", "restore"}) {
        const Result r = cli.Run(args + " --dry-run --verbose Demo.lge");
        EXPECT_EQ(r.exit, 0) << r.err;
        EXPECT_EQ(cli.Files(), files) << args.toStdString();
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

    const auto undo = [&](const QString& args, const std::string& summary) {
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

    // --verbose: under each run, its players; run 1 hid all 40.
    const Result verbose = cli.Run("history --verbose Demo.lge");
    EXPECT_EQ(verbose.exit, 0) << verbose.err;
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
        const Result table = cli.Run(QStringList{"show", QString(name) + ".lge"});
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
    const auto files = cli.Files();
    const std::string usage = " (tavrin --help lists the commands and options)\n";
    struct Case {
        const char* args;
        int exit;
        std::string message;
    };
    for (const Case& c : std::vector<Case>{
             {"show --bogus Demo.lge", 2, "unknown option '--bogus'" + usage},
             // A league whose name begins with '-' is no bundle of options (-h: help, -v: version).
             {"hide --years all -dash.lge", 2,
              "unknown option '-dash.lge'; if it is the league file, put it after --: tavrin hide --years all -- "
              "-dash.lge" + usage},
             {"show -vx.lge", 2, "unknown option '-vx.lge'; if it is the league file, put it after --" },
             {"show --years", 2, "Missing value after '--years'." + usage},
             {"show --force Demo.lge", 2, "unknown option '--force'" + usage},
             {"hide Demo.lge", 2, "hide needs --years Y (all, rookies or 1 to 8)" + usage},
             {"hide --years 9 Demo.lge", 2, "--years takes all, rookies or 1 to 8, not '9'" + usage},
             {"randomize --seed -1 Demo.lge", 2, "not '-1'" + usage},
             {"hide --years all --seed 3 Demo.lge", 2, "--seed is not an option of hide" + usage},
             {"show --dry-run Demo.lge", 2, "--dry-run is not an option of show" + usage},
             {"show", 2, "show needs a league file (LEAGUE.lge)" + usage},
             {"show Demo.lge Other.lge", 2, "show takes one league file, not 2" + usage},
             {"show Nowhere.lge", 1, "The league file Nowhere.lge does not exist.\n"},
             {"show Bad.lge", 1, "Bad.lge is not a league Tavrin knows"},
             {"hide --years 2 Bad.lge", 1, "Bad.lge is not a league Tavrin knows"},
             {"restore --from Nowhere.pot Demo.lge", 1, "Cannot restore the potentials from Nowhere.pot"},
             {"undo --to 99 Demo.lge", 1, "The history Demo.history holds no run number 99. No file was changed.\n"},
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
    // Help and version, with a command or without.
    for (const char* args : {"--version", "-v", "show -v"})
        EXPECT_EQ(cli.Run(args).out, "tavrin " + std::string(kVersion) + "\n");
    for (const char* args : {"--help", "hide -h --years 12"}) {
        const Result help = cli.Run(args);
        EXPECT_EQ(help.exit, 0);
        for (const std::string command : {"hide", "randomize", "restore", "undo", "history", "show"})
            EXPECT_NE(help.out.find("Example: tavrin " + command), std::string::npos) << command;
    }
    // After --, a league of any name; the list's entries in any case, as the window shows them too.
    cli.Write(DemoLeague(), "-dash");
    cli.Write(DemoLeague(), "Fresh");
    for (const char* args : {"hide --years ROOKIES -- -dash.lge", "hide --years \"All Players\" Fresh.lge"}) {
        const Result r = cli.Run(QProcess::splitCommand(QString::fromUtf8(args)));
        EXPECT_EQ(r.exit, 0) << args << ": " << r.err;
        EXPECT_TRUE(r.out.starts_with("Hid the potentials of ")) << args << ": " << r.out;
    }
}

}  // namespace
}  // namespace tavrin

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);  // for QProcess
    return RUN_ALL_TESTS();
}
