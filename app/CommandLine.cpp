#include "app/CommandLine.h"

// lib
#include "app/ChangeLine.h"
#include "app/LeagueReport.h"
#include "app/TerminalProgress.h"
#include "app/WorkingFolder.h"
#include "base/Error.h"
#include "league/Clock.h"
#include "league/ProgramState.h"
#include "pots/RandomSource.h"
#include "run/History.h"
#include "run/Run.h"

// Qt
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

// Std
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tavrin::app {

namespace fs = std::filesystem;

namespace {

enum class Command { Hide, Randomize, Restore, Undo, History, Show };

// The commands: the word that names each (and that, first on the command
// line, keeps the window closed), its usage and its summary in the help.
struct CommandWord {
    std::string_view word;
    Command command;
    std::string_view usage;
    std::string_view summary;  // its lines, set beside the word in the help
};
constexpr std::array<CommandWord, 6> kCommands{{
    {"hide", Command::Hide, "hide --years Y LEAGUE.lge",
     "Sets every potential to 0 for the players up to the\n"
     "experience limit given by --years: rookies, 1 to 8 (years and\n"
     "less), or all.\n"
     "Example: tavrin hide --years rookies Demo.lge"},
    {"randomize", Command::Randomize, "randomize [--seed N] LEAGUE.lge",
     "Moves each potential of every player with fewer than 7 years by\n"
     "a random amount that shrinks with experience, keeping it above\n"
     "the player's current rating and at most 99.\n"
     "Example: tavrin randomize --seed 7 Demo.lge"},
    {"restore", Command::Restore, "restore [--from FILE] LEAGUE.lge",
     "Brings back the players' true potentials, saved in LEAGUE.pot.\n"
     "Example: tavrin restore Demo.lge"},
    {"undo", Command::Undo, "undo [--to N] LEAGUE.lge",
     "Brings back the player file and LEAGUE.pot as they were before\n"
     "the last run, or before run N of the history. The undo is a run\n"
     "too, kept in the history, so it can be undone in turn.\n"
     "Example: tavrin undo --to 3 Demo.lge"},
    {"history", Command::History, "history [--verbose] LEAGUE.lge",
     "Lists the runs the league's history keeps, oldest first:\n"
     "number, time, operation, players changed, what the run said it\n"
     "did, and the files it kept. With --verbose, also each player\n"
     "whose potentials the run changed.\n"
     "Example: tavrin history --verbose Demo.lge"},
    {"show", Command::Show, "show [--csv] LEAGUE.lge",
     "Lists the league's players (identity, names, position, years,\n"
     "the eight current ratings, the eight potentials, and whether\n"
     "those are true or Tavrin's: hidden or randomized), and the runs\n"
     "the league's history keeps.\n"
     "Example: tavrin show --csv Demo.lge > players.csv"},
}};

std::optional<Command> CommandOf(std::string_view word) {
    for (const CommandWord& c : kCommands)
        if (c.word == word) return c.command;
    return std::nullopt;
}

// "hide, randomize, restore, undo, history, show"
std::string CommandWords() {
    std::string words;
    for (const CommandWord& c : kCommands) words += (words.empty() ? "" : ", ") + std::string(c.word);
    return words;
}

// The run a command asks of the run core: the operation of the same word.
std::optional<run::Operation> OperationOf(Command command) {
    for (const CommandWord& c : kCommands)
        if (c.command == command)
            for (const run::OperationFacts& facts : run::kOperations)
                if (facts.word == c.word) return facts.operation;
    return std::nullopt;
}

// --- Output: results on standard output, messages on standard error ---

void Out(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

// The run's messages are written for a message box, in paragraphs; a script
// reads standard error line by line, so each message becomes one line.
std::string OneLine(std::string text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

void Message(const std::string& text) {
    const std::string line = "tavrin: " + OneLine(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

std::string ToStd(const QString& text) { return text.toStdString(); }

// --- The help ---
//
// The help is also the manual page's only source (help2man reads it): its
// "Usage:" and "  or:" lines become the synopsis, each "Heading:" a section
// or subsection, and "  term  text" lines with their continuations, indented
// to the text, become tagged paragraphs.

constexpr const char* kDescription =
    "Tavrin changes the eight potential ratings of a league's players: it hides\n"
    "them, randomizes them and brings them back. With no command it opens its\n"
    "window, where F1 tells where it keeps its files. With a command it runs\n"
    "without a window and exits with a status a script can test; results go to\n"
    "standard output, messages to standard error, one line each.\n"
    "\n"
    "Every run starts from the players' true potentials, which LEAGUE.pot beside\n"
    "the league keeps, and every file a run replaces is kept in the league's\n"
    "history, LEAGUE.history/. The player file (LEAGUE.pyr) and LEAGUE.pot are\n"
    "replaced together and all at once: if anything goes wrong, the old files\n"
    "stay as they were.\n"
    "\n"
    "A league file whose name begins with - goes after --, which ends the\n"
    "options: tavrin show -- -league.lge";

constexpr const char* kHelpEnd =
    "\n"
    "Files:\n"
    "  LEAGUE.pot       Beside the league: every player's true potentials, and what\n"
    "                   Tavrin last wrote in the player file in their place. Every\n"
    "                   run starts from them; Restore brings them back.\n"
    "  LEAGUE.history/  Beside the league: the player file and LEAGUE.pot as each run\n"
    "                   found them, and what the run did, numbered: \"0007\n"
    "                   2026-12-06T05-00-00Z before Hide.pyr\" (the time in UTC). The\n"
    "                   last 20 runs are kept.\n"
    "  Temp.mdb         The working database, rebuilt by every run: beside the\n"
    "                   program when the program's folder belongs to the user and is\n"
    "                   not a system folder (such as /usr or Program Files),\n"
    "                   otherwise in the user's cache folder (~/.cache/Tavrin/Tavrin\n"
    "                   on Linux, %LOCALAPPDATA%\\Tavrin\\Tavrin\\cache on Windows).\n"
    "\n"
    "Examples:\n"
    "  $ tavrin hide --years 3 --dry-run --verbose Demo.lge\n"
    "  $ tavrin randomize --seed 7 Demo.lge\n"
    "  $ tavrin restore --from \"Demo.history/0002 2026-12-05T21-48-50Z before Randomize.pot\" Demo.lge\n"
    "  $ tavrin history Demo.lge\n"
    "  $ tavrin undo Demo.lge\n"
    "  $ tavrin show Demo.lge\n"
    "\n"
    "Exit status:\n"
    "  0  Done.\n"
    "  1  Refused: the input cannot be used (a missing or unreadable league, a\n"
    "     league of the L03 format, nothing saved to restore, nothing to undo or\n"
    "     no run N in the history, a file in use by another run, a league that\n"
    "     changed while Tavrin saved it). Nothing was changed. The message\n"
    "     names the file and the problem.\n"
    "  2  Usage error: the command line was not understood. Nothing was done.\n"
    "  3  Failed part-way: something went wrong after the run had started. The\n"
    "     message names the step. The league's files are as they were.\n";

// The program's name as it was started, without its folder.
QString ProgramName() {
    return QFileInfo(QCoreApplication::arguments().value(0, QStringLiteral("tavrin"))).fileName();
}

// The parser's help with the usage of each command, the commands and the
// sections after the options.
std::string HelpText(const QCommandLineParser& parser) {
    const QString program = ProgramName();
    QString usage = QStringLiteral("Usage: %1 [options] [LEAGUE.lge]\n").arg(program);
    for (const CommandWord& c : kCommands)
        usage += QStringLiteral("  or:  %1 [options] %2\n").arg(program, QString::fromUtf8(c.usage.data(), c.usage.size()));
    QString commands = QStringLiteral("\nCommands:\n");
    for (const CommandWord& c : kCommands) {
        QString summary = QString::fromUtf8(c.summary.data(), c.summary.size());
        summary.replace(QLatin1Char('\n'), QLatin1Char('\n') + QString(13, QLatin1Char(' ')));
        commands += QStringLiteral("  %1%2\n").arg(QString::fromUtf8(c.word.data(), c.word.size()), -11).arg(summary);
    }
    QString help = parser.helpText();
    help.replace(0, help.indexOf(QLatin1Char('\n')) + 1, usage);
    help.insert(help.indexOf(QStringLiteral("\nOptions:\n")), commands);
    return ToStd(help) + kHelpEnd;
}

// --- What the command line asks for ---

struct UsageError {
    std::string message;
};

struct Invocation {
    Command command = Command::Show;
    fs::path league;
    std::optional<std::int16_t> yearsLimit;
    std::optional<std::uint64_t> seed;
    fs::path from;
    int undoTo = 0;  // undo --to N; 0: the last run
    bool csv = false, dryRun = false, verbose = false;
};

// The list's entry by its word or as the window shows it, in any case:
// "rookies", "Rookies", "3", "3 yr and less".
std::optional<std::int16_t> YearsLimitOf(const QString& text) {
    const auto is = [&](std::string_view name) {
        return text.compare(QLatin1String(name.data(), static_cast<qsizetype>(name.size())), Qt::CaseInsensitive) == 0;
    };
    for (const run::YearsChoice& choice : run::kYearsChoices)
        if (is(choice.word) || is(choice.text)) return choice.limit;
    return std::nullopt;
}

template <class Number> std::optional<Number> NumberOf(std::string_view text) {
    Number value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

fs::path PathOf(const QString& text) { return fs::path(text.toStdU16String()); }

class Options {
public:
    Options() {
        parser_.setApplicationDescription(QString::fromUtf8(kDescription));
        // -dash.lge is one word, an unknown option, never the options d, a,
        // s, h (help!), ... bundled; -h and -v still answer on their own.
        parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser_.addOptions({help_, version_, years_, seed_, from_, to_, csv_, dryRun_, verbose_});
    }

    QCommandLineParser& Parser() { return parser_; }
    bool Help() const { return parser_.isSet(help_); }
    bool Version() const { return parser_.isSet(version_); }

    // The command, its league and its options; a UsageError for anything
    // the command does not take.
    Invocation Read() const {
        const QStringList words = parser_.positionalArguments();
        const std::string word = ToStd(words.value(0));
        const auto command = CommandOf(word);
        if (!command) throw UsageError{"the first argument must be a command (" + CommandWords() + ")"};
        if (words.size() < 2) throw UsageError{word + " needs a league file (LEAGUE.lge)"};
        if (words.size() > 2)
            throw UsageError{word + " takes one league file, not " + std::to_string(words.size() - 1)};

        Invocation in;
        in.command = *command;
        in.league = PathOf(words[1]);
        // Which options each command takes.
        const auto takes = [&](const QCommandLineOption& option, std::initializer_list<Command> commands) {
            if (!parser_.isSet(option)) return false;
            for (const Command c : commands)
                if (c == in.command) return true;
            throw UsageError{"--" + ToStd(option.names().constLast()) + " is not an option of " + word};
        };
        const std::initializer_list<Command> kRuns{Command::Hide, Command::Randomize, Command::Restore};
        if (takes(years_, {Command::Hide})) {
            in.yearsLimit = YearsLimitOf(parser_.value(years_));
            if (!in.yearsLimit)
                throw UsageError{"--years takes all, rookies or 1 to 8, not '" + ToStd(parser_.value(years_)) + "'"};
        } else if (in.command == Command::Hide) {
            throw UsageError{"hide needs --years Y (all, rookies or 1 to 8)"};
        }
        if (takes(seed_, {Command::Randomize})) {
            const std::string text = ToStd(parser_.value(seed_));
            in.seed = NumberOf<std::uint64_t>(text);
            if (!in.seed)
                throw UsageError{"--seed takes a whole number from 0 to 18446744073709551615, not '" + text + "'"};
        }
        if (takes(from_, {Command::Restore})) {
            in.from = PathOf(parser_.value(from_));
            if (in.from.empty()) throw UsageError{"--from needs a file"};
        }
        if (takes(to_, {Command::Undo})) {
            const std::string text = ToStd(parser_.value(to_));
            in.undoTo = NumberOf<int>(text).value_or(0);
            if (in.undoTo < 1) throw UsageError{"--to takes the number of a run in the history, not '" + text + "'"};
        }
        in.csv = takes(csv_, {Command::Show});
        in.dryRun = takes(dryRun_, kRuns);
        in.verbose = takes(verbose_, {Command::Hide, Command::Randomize, Command::Restore, Command::History});
        return in;
    }

private:
    QCommandLineParser parser_;
    const QCommandLineOption help_{{"h", "help"}, "Displays this help."};
    const QCommandLineOption version_{{"v", "version"}, "Displays the version."};
    const QCommandLineOption years_{"years", "The experience limit of hide: rookies, 1 to 8, or all.", "Y"};
    const QCommandLineOption seed_{"seed",
                                   "Seeds the random draws of randomize with N: the same league and seed always "
                                   "give the same player file.",
                                   "N"};
    const QCommandLineOption from_{"from",
                                   "Restores from FILE, a saved-potentials file kept in the league's history, "
                                   "instead of LEAGUE.pot.",
                                   "FILE"};
    const QCommandLineOption to_{"to",
                                 "With undo: brings back the files as they were before run N of the league's "
                                 "history (tavrin history lists the runs), instead of before the last run.",
                                 "N"};
    const QCommandLineOption csv_{"csv",
                                  "Writes the players of show as comma-separated values, and nothing else, to "
                                  "standard output; the rest of the report goes to standard error."};
    const QCommandLineOption dryRun_{"dry-run",
                                     "Computes everything and writes nothing (no player file, no LEAGUE.pot, no "
                                     "history); prints how many players would change."};
    const QCommandLineOption verbose_{"verbose",
                                      "Prints one line for each player whose potentials change (or, with "
                                      "--dry-run, would): slot, identity, names, years, and the eight potentials "
                                      "before -> after. With history, those of each run under it."};
};

// What the parser could not read. An unknown option may be a league file
// whose name begins with '-': the message says how to give it.
std::string ParseErrorText(const QCommandLineParser& parser, const QStringList& arguments) {
    const QStringList unknown = parser.unknownOptionNames();
    if (unknown.isEmpty()) return ToStd(parser.errorText());
    // The arguments as typed: "-dash.lge" is read as the option "dash.lge".
    QStringList typed;
    for (const QString& name : unknown)
        for (const QString& argument : arguments.mid(1))
            if (argument.startsWith(QLatin1Char('-')) && argument != QLatin1String("--") &&
                argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1).section(QLatin1Char('='), 0, 0) == name) {
                typed << argument;
                break;
            }
    if (typed.isEmpty()) return ToStd(parser.errorText());
    if (typed.size() != 1) return "unknown options '" + ToStd(typed.join(QStringLiteral("', '"))) + "'";
    std::string text = "unknown option '" + ToStd(typed.front()) + "'";
    if (typed.front().startsWith(QLatin1String("--"))) return text;
    // The same command with the word moved after --.
    QStringList again{ProgramName()};
    for (const QString& argument : arguments.mid(1))
        if (argument != typed.front())
            again << (argument.contains(QLatin1Char(' ')) ? QLatin1Char('"') + argument + QLatin1Char('"') : argument);
    if (!again.contains(QStringLiteral("--"))) again << QStringLiteral("--");
    again << typed.front();
    return text + "; if it is the league file, put it after --: " + ToStd(again.join(QLatin1Char(' ')));
}

// --- hide, randomize, restore, undo ---

int RunOperation(const Invocation& in) {
    ProgramState state;
    // The window's rule: both front ends share one working database.
    state.workingFolder = WorkingFolder();
    TerminalProgress bar(stderr);
    if (IsTerminal(stderr)) state.progress = &bar;

    run::Request request;
    request.operation = *OperationOf(in.command);
    request.yearsLimit = in.yearsLimit;
    request.league = in.league;
    request.restoreFrom = in.from;
    request.undoTo = in.undoTo;
    request.dryRun = in.dryRun;
    request.listChanges = in.verbose;

    ClockRandomSource clock;
    std::optional<SeededRandomSource> seeded;
    if (in.seed) seeded.emplace(*in.seed);
    RandomSource& random = seeded ? static_cast<RandomSource&>(*seeded) : clock;

    const run::Outcome outcome = run::RunLeague(request, state, random);
    using Kind = run::Outcome::Kind;
    switch (outcome.kind) {
        case Kind::Done:
            // An L03 league is loaded, as the window loads it, and nothing
            // more: what the command asked for was not done.
            if (outcome.loadedOnly) {
                Message(outcome.message);
                return kExitRefused;
            }
            Out(outcome.message);
            if (in.verbose) {
                if (!outcome.changes.empty()) Out(kChangesHeading);
                for (const run::PlayerChange& c : outcome.changes) Out(ChangeLine(c));
            }
            return kExitDone;
        case Kind::Refused:
        case Kind::NothingToDo:
            Message(outcome.message);
            return kExitRefused;
        case Kind::Failed:
            Message(outcome.step + " failed: " + outcome.message);
            return kExitFailed;
    }
    return kExitFailed;
}

// --- history ---

// The files a run kept, by their names in the history, quoted as a shell
// takes them back; and whether there was a .pot before it.
std::string KeptText(const run::HistoryRun& r, const std::string& pot) {
    std::string names;
    for (const fs::path& name : {r.keptPyr, r.keptPot})
        if (!name.empty()) names += (names.empty() ? "" : " and ") + ("\"" + PathText(name) + "\"");
    std::string text = names.empty() ? " Kept no file." : " Kept " + names + ".";
    if (r.potWasMissing) text += " There was no " + pot + " before it.";
    return text;
}

// One line per run, oldest first (the last is the run undo brings back the
// files from before); with --verbose each run's changed players under it.
int ListHistory(const Invocation& in) {
    std::error_code ec;
    if (!fs::is_regular_file(in.league, ec)) {
        Message("The league file " + PathText(in.league) + " does not exist.");
        return kExitRefused;
    }
    const LeaguePaths paths = LeaguePaths::Of(in.league);
    const run::History history(in.league);
    const std::vector<run::HistoryRun> runs = history.Runs();
    const std::string lge = PathText(in.league.filename()), folder = PathText(history.Folder());
    if (runs.empty()) {
        Out("History of " + lge + ": no run kept yet in " + folder + ".");
        return kExitDone;
    }
    Out("History of " + lge + ": " + std::to_string(runs.size()) + (runs.size() == 1 ? " run" : " runs") +
        " kept in " + folder + ", oldest first.");
    int status = kExitDone;
    for (const run::HistoryRun& r : runs) {
        Out(std::to_string(r.number) + "  " + LocalTimeText(r.time) + "  " + r.operation + "  " +
            std::to_string(r.changed) + " of " + std::to_string(r.players) + " players changed: " + r.summary + "." +
            KeptText(r, PathText(paths.potFile.filename())));
        if (!in.verbose || r.keptPyr.empty()) continue;
        try {
            bool exact = true;
            const auto changes = history.ChangesOf(r, paths.playerFile, exact);
            if (!exact)
                Out(PathText(paths.playerFile.filename()) + " was written after this run saved it (by the game, or "
                    "by hand): the list shows those changes too.");
            if (!changes.empty()) Out(kChangesHeading);
            for (const run::PlayerChange& c : changes) Out(ChangeLine(c));
        } catch (const std::exception& e) {
            Message("Reading the changes of run " + std::to_string(r.number) + " failed: " + e.what());
            status = kExitFailed;
        }
    }
    return status;
}

// --- show ---

int Show(const Invocation& in) {
    try {
        const ReportFormat format = in.csv ? ReportFormat::Csv : ReportFormat::Table;
        WriteLeagueReport(in.league, format, stdout, in.csv ? stderr : stdout);
        return kExitDone;
    } catch (const Refusal& r) {
        Message(r.what());
        return kExitRefused;
    } catch (const std::exception& e) {
        Message(std::string("Reading the league failed: ") + e.what());
        return kExitFailed;
    }
}

}  // namespace

bool IsCommandLine(int argc, char** argv) {
    if (argc < 2) return false;
    const std::string_view first = argv[1];
    // Anything else is the window's: a league, or Qt's own options
    // (-style fusion, -platform offscreen, -reverse), which QApplication reads.
    return CommandOf(first) || first == "--help" || first == "-h" || first == "--version" || first == "-v";
}

namespace {

// On Windows the program is built for its window and has no console of its
// own: a command attaches to the console it was started from, so that its
// results and messages reach it (where they are not redirected already).
void AttachToConsole() {
#if defined(_WIN32)
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    FILE* reopened = nullptr;
    if (_fileno(stdout) < 0) freopen_s(&reopened, "CONOUT$", "w", stdout);
    if (_fileno(stderr) < 0) freopen_s(&reopened, "CONOUT$", "w", stderr);
#endif
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    AttachToConsole();
    QCoreApplication application(argc, argv);
    Options options;
    const bool parsed = options.Parser().parse(QCoreApplication::arguments());
    // Asked for, help and version come first, whatever else is there.
    if (options.Help()) {
        std::fputs(HelpText(options.Parser()).c_str(), stdout);
        return kExitDone;
    }
    if (options.Version()) {
        Out("tavrin " + ToStd(QCoreApplication::applicationVersion()));
        return kExitDone;
    }
    try {
        if (!parsed) throw UsageError{ParseErrorText(options.Parser(), QCoreApplication::arguments())};
        const Invocation in = options.Read();
        switch (in.command) {
            case Command::Show: return Show(in);
            case Command::History: return ListHistory(in);
            default: return RunOperation(in);
        }
    } catch (const UsageError& e) {
        Message(e.message + " (tavrin --help lists the commands and options)");
        return kExitUsage;
    }
}

}  // namespace tavrin::app
