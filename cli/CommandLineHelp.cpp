#include "cli/CommandLineHelp.h"

#include <QCommandLineParser>

#include "cli/CommandLineOptions.h"
#include "cli/Commands.h"

namespace tavrin::cli {

namespace {

const char* const kDescription =
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

const char* const kHelpEnd =
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

QString FromView(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

QString HelpDescription() { return QString::fromUtf8(kDescription); }

std::string HelpText(const QCommandLineParser& parser) {
    const QString program = ProgramName();
    QString usage = QStringLiteral("Usage: %1 [options] [LEAGUE.lge]\n").arg(program);
    for (const CommandFacts& c : kCommands)
        usage += QStringLiteral("  or:  %1 [options] %2 %3\n").arg(program, FromView(c.word), FromView(c.arguments));
    QString commands = QStringLiteral("\nCommands:\n");
    for (const CommandFacts& c : kCommands) {
        QString summary = FromView(c.summary);
        summary.replace(QLatin1Char('\n'), QLatin1Char('\n') + QString(13, QLatin1Char(' ')));
        commands += QStringLiteral("  %1%2\n").arg(FromView(c.word), -11).arg(summary);
    }
    QString help = parser.helpText();
    help.replace(0, help.indexOf(QLatin1Char('\n')) + 1, usage);
    help.insert(help.indexOf(QStringLiteral("\nOptions:\n")), commands);
    return ToStd(help) + kHelpEnd;
}

}  // namespace tavrin::cli
