#include "cli/CommandLineHelp.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace tavrin::cli {

namespace {

constexpr std::size_t kWidth = 79;

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
    "options: tavrin show -- -league.lge\n";

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
    "  $ tavrin help hide\n"
    "\n"
    "Exit status:\n"
    "  0  Done.\n"
    "  1  Refused: the input cannot be used (a missing or unreadable league, a\n"
    "     league of the L03 format, nothing saved to restore, nothing to undo or\n"
    "     no run N in the history, a file in use by another run, a league that\n"
    "     changed while Tavrin saved it). Nothing was changed. The message\n"
    "     names the file and the problem.\n"
    "  2  Usage error: the command line was not understood, or the window was\n"
    "     asked for with no display to open it on. Nothing was done.\n"
    "  3  Failed part-way: something went wrong after the run had started. The\n"
    "     message names the step. The league's files are as they were.\n";

// The text's words in lines of at most kWidth columns, each line after the
// first indented by `indent`; `first` begins the first line.
std::string Wrapped(std::string first, std::string_view text, std::size_t indent) {
    std::string out = std::move(first);
    std::size_t column = out.size();
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(' '), text.size());
        const std::string_view word = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const bool fresh = column == indent || out.empty() || out.back() == ' ';
        if (!fresh && column + 1 + word.size() > kWidth) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
        } else if (!fresh) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
    }
    return out + "\n";
}

// "  -v, --verbose" or "  --years Y"
std::string Term(const OptionFacts& o) {
    std::string term = o.letter ? std::string("  -") + o.letter + ", --" : std::string("  --");
    term += o.name;
    if (!o.value.empty()) term += " " + std::string(o.value);
    return term;
}

// The options, each term and its text in two columns. A command's help
// says of --help only what it does there.
std::string OptionsSection(const std::vector<const OptionFacts*>& options, bool ofACommand) {
    std::size_t column = 0;
    for (const OptionFacts* o : options) column = std::max(column, Term(*o).size() + 2);
    std::string out = "Options:\n";
    for (const OptionFacts* o : options) {
        std::string term = Term(*o);
        term.resize(column, ' ');
        out += Wrapped(term, ofACommand && o->option == Option::Help ? "Displays this help." : o->text, column);
    }
    return out;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        lines.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

}  // namespace

std::string HelpText() {
    std::string help = "Usage: tavrin [options] [LEAGUE.lge]\n";
    for (const CommandFacts& c : kCommands)
        help += "  or:  tavrin [options] " + std::string(c.word) + " " + std::string(c.arguments) + "\n";
    help += "  or:  tavrin help [COMMAND]\n";
    help += kDescription;

    constexpr std::size_t kColumn = 13;
    help += "\nCommands:\n";
    for (const CommandFacts& c : kCommands) {
        std::string word = "  " + std::string(c.word);
        word.resize(kColumn, ' ');
        help += Wrapped(word, c.summary, kColumn);
        help += std::string(kColumn, ' ') + "Example: " + std::string(Lines(c.examples).front()) + "\n";
    }
    std::string word = "  " + std::string(kHelpWord);
    word.resize(kColumn, ' ');
    help += Wrapped(word, "Shows this help; with a command, that command's options and examples.", kColumn);
    help += std::string(kColumn, ' ') + "Example: tavrin help hide\n";

    // Help and version first, then the options in the commands' order.
    std::vector<const OptionFacts*> options{&FactsOf(Option::Help), &FactsOf(Option::Version)};
    for (const OptionFacts& o : kOptions)
        if (o.option != Option::Help && o.option != Option::Version) options.push_back(&o);
    help += "\n" + OptionsSection(options, false);
    return help + kHelpEnd;
}

std::string CommandHelpText(Command command) {
    const CommandFacts& c = FactsOf(command);
    std::string usage = "Usage: tavrin " + std::string(c.word);
    std::vector<const OptionFacts*> options;
    for (const OptionFacts& o : kOptions) {
        if (!c.takes.Has(o.option)) continue;
        options.push_back(&o);
        std::string term = "--" + std::string(o.name) + (o.value.empty() ? "" : " " + std::string(o.value));
        usage += " " + (c.needs == o.option ? term : "[" + term + "]");
    }
    options.push_back(&FactsOf(Option::Help));
    std::string help = Wrapped("", usage + " LEAGUE.lge", 4) + "\n" + Wrapped("", c.summary, 0) + "\n" +
                       OptionsSection(options, true) + "\nExamples:\n";
    for (const std::string_view line : Lines(c.examples)) help += "  $ " + std::string(line) + "\n";
    return help + "\ntavrin --help describes every command, the files and the exit status.\n";
}

}  // namespace tavrin::cli
