#include "cli/Arguments.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <system_error>

#include "base/Text.h"
#include "cli/CommandLine.h"

namespace tavrin::cli {

namespace fs = std::filesystem;

namespace {

// --- Qt's own options, which only the window takes ---

// The options QGuiApplication, QApplication and the X11 platform take out
// of the arguments before the window sees them, with one dash or two; those
// that take a value take it as the next argument or after '='.
constexpr std::array<std::string_view, 16> kQtOptionsWithValue{
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "geometry",
    "qwindowtitle", "title", "qwindowicon", "icon", "display", "name", "session", "style", "stylesheet",
    "qmljsdebugger"};
constexpr std::array<std::string_view, 5> kQtSwitches{"reverse", "widgetcount", "testability", "nograb", "dograb"};

// The name of an option as written, without its dashes and its "=value".
std::string_view BareName(std::string_view word) {
    word.remove_prefix(word.starts_with("--") ? 2 : 1);
    return word.substr(0, word.find('='));
}

enum class QtOption { None, Switch, WithValue };

QtOption QtOptionOf(std::string_view word) {
    if (!word.starts_with('-') || word == "-" || word == "--") return QtOption::None;
    const std::string_view name = BareName(word);
    const bool withValue = std::find(kQtOptionsWithValue.begin(), kQtOptionsWithValue.end(), name) !=
                           kQtOptionsWithValue.end();
    if (withValue) return QtOption::WithValue;
    if (word.find('=') == std::string_view::npos &&
        std::find(kQtSwitches.begin(), kQtSwitches.end(), name) != kQtSwitches.end())
        return QtOption::Switch;
    return QtOption::None;
}

bool Exists(const std::string& word) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(PathOfUtf8(word), ec));
}

// --- Words for messages ---

std::vector<std::string> CommandWords() {
    std::vector<std::string> words;
    for (const CommandFacts& c : kCommands) words.emplace_back(c.word);
    words.emplace_back(kHelpWord);
    return words;
}

// "The commands are hide, randomize, ... and help."
std::string CommandsSentence() {
    const std::vector<std::string> words = CommandWords();
    std::string text = "The commands are ";
    for (std::size_t i = 0; i < words.size(); ++i)
        text += (i == 0 ? "" : i + 1 == words.size() ? " and " : ", ") + words[i];
    return text + ".";
}

std::string Quoted(std::string_view word) { return "'" + std::string(word) + "'"; }

std::string DidYouMean(const std::optional<std::string>& nearest) {
    return nearest ? " Did you mean " + Quoted(*nearest) + "?" : "";
}

// A word the first argument was not: "'hid' is neither a command nor a
// file. Did you mean 'hide'? The commands are ...".
UsageError NotACommand(const std::string& word) {
    if (CommandOf(word))
        return {Quoted(word) + " is a command, and a command comes first, before its options and the league file.",
                std::nullopt};
    return {Quoted(word) + " is neither a command nor a file." + DidYouMean(NearestWord(word, CommandWords())) + " " +
                CommandsSentence(),
            std::nullopt};
}

std::vector<std::string> OptionWords() {
    std::vector<std::string> words;
    for (const OptionFacts& o : kOptions) words.push_back("--" + std::string(o.name));
    return words;
}

// An option nobody knows. A single-dash word may be a league file whose name
// begins with '-': the message gives the same command with it after --.
UsageError UnknownOption(const std::string& word, const std::vector<std::string>& arguments,
                         std::optional<Command> command) {
    std::string text = "Unknown option " + Quoted(word) + ".";
    if (word.starts_with("--") || word.size() == 2)
        return {text + DidYouMean(NearestWord(word.substr(0, word.find('=')), OptionWords())), command};
    std::string again = "tavrin";
    bool ended = false;
    for (const std::string& a : arguments) {
        ended = ended || a == "--";
        if (a != word) again += " " + (a.find(' ') != std::string::npos ? "\"" + a + "\"" : a);
    }
    if (!ended) again += " --";
    return {text + " If it is the league file, put it after -- (" + Quoted(again + " " + word) + ").", command};
}

// --- Values ---

// The list's entry by its word or as the window shows it, in any case:
// "rookies", "Rookies", "3", "3 yr and less".
std::optional<std::int16_t> YearsLimitOf(std::string_view text) {
    for (const run::YearsChoice& choice : run::kYearsChoices)
        if (EqualsNoCase(text, choice.word) || EqualsNoCase(text, choice.text)) return choice.limit;
    return std::nullopt;
}

template <class Number> std::optional<Number> NumberOf(std::string_view text) {
    Number value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// --- The line, read once from left to right ---

struct Given {
    std::vector<std::string> words;                    // the command, the league, and anything else not an option
    std::array<std::optional<std::string>, kOptions.size()> values;  // each option given: its value, or "" for a switch
    std::optional<UsageError> problem;                 // the first thing not understood
    std::size_t problemAt = 0, firstWordAt = 0;        // where they are among the arguments
    bool Has(Option o) const { return values[static_cast<std::size_t>(o)].has_value(); }
    const std::string& Value(Option o) const { return *values[static_cast<std::size_t>(o)]; }
};

// Our option as written: --name, -l, or -name (one dash, as earlier versions
// took them too). -dash.lge is one word, never the options d, a, s, h (help!)
// bundled.
const OptionFacts* OptionOf(std::string_view word) {
    for (const OptionFacts& o : kOptions) {
        if (o.letter && word.size() == 2 && word[1] == o.letter) return &o;
        if (word.size() > 2 && BareName(word) == o.name) return &o;
    }
    return nullptr;
}

Given Read(const std::vector<std::string>& arguments) {
    Given given;
    std::size_t i = 0;
    const auto problem = [&](UsageError e) {
        if (given.problem) return;
        given.problem = std::move(e);
        given.problemAt = i;
    };
    // The command, once the first word is read: what a message's "see" names.
    const auto command = [&]() -> std::optional<Command> {
        if (given.words.empty()) return std::nullopt;
        if (const CommandFacts* c = CommandOf(given.words.front())) return c->command;
        return std::nullopt;
    };
    bool optionsEnded = false;
    for (; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (optionsEnded || word == "-" || !word.starts_with('-')) {
            if (given.words.empty()) given.firstWordAt = i;
            given.words.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = word.find('=');
        const OptionFacts* option = OptionOf(word);
        if (!option) {
            const QtOption qt = QtOptionOf(word);
            if (qt == QtOption::None) {
                problem(UnknownOption(word, arguments, command()));
                continue;
            }
            problem({"The option " + Quoted(word.substr(0, equals)) + " is Qt's, for the window; it does not go with a "
                     "command.",
                     command()});
            if (qt == QtOption::WithValue && equals == std::string::npos) ++i;
            continue;
        }
        std::optional<std::string>& value = given.values[static_cast<std::size_t>(option->option)];
        const std::string name = "--" + std::string(option->name);
        if (option->value.empty()) {
            if (equals != std::string::npos) problem({"The option " + name + " takes no value.", command()});
            value = "";
        } else if (equals != std::string::npos) {
            value = word.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            problem({"The option " + name + " needs a value (" + std::string(option->value) + ").", command()});
        }
    }
    return given;
}

// A league given to a program without a window.
UsageError NoWindow(const std::string& word) {
    return {Quoted(word) + " is a file, not a command, and this Tavrin has no window to open it in: give a command "
            "first, such as tavrin show " + word + ". " + CommandsSentence(),
            std::nullopt};
}

// A line meant for the window (it begins with one of Qt's options or a file)
// with a word the window cannot take: the first such word; in a program
// without a window, else the first file.
UsageError WindowLineProblem(const std::vector<std::string>& arguments, bool withWindow) {
    std::optional<std::string> file;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        const QtOption qt = QtOptionOf(word);
        if (qt == QtOption::WithValue) {
            if (word.find('=') != std::string::npos) continue;
            if (++i < arguments.size()) continue;
            return {"The option " + Quoted(word) + " needs a value.", std::nullopt};
        }
        if (qt == QtOption::Switch) continue;
        if (word.starts_with('-') && word != "-") return UnknownOption(word, arguments, std::nullopt);
        if (!Exists(word)) return NotACommand(word);
        if (!file) file = word;
    }
    if (!withWindow && file) return NoWindow(*file);
    return {withWindow ? "The window takes a league file, and Qt's own options."
                       : "This Tavrin has no window: give a command. " + CommandsSentence(),
            std::nullopt};
}

}  // namespace

// The window's arguments are each one of Qt's own options (-style fusion,
// -platform offscreen, -reverse ...) or a file that exists (a league to
// open; the window tells what is wrong with any other than a league file).
// Anything else is the command line's, and a mistake there is a usage error,
// never a window opened by accident.
bool AsksForTheWindow(const std::vector<std::string>& arguments) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        switch (QtOptionOf(word)) {
            case QtOption::WithValue:
                if (word.find('=') == std::string::npos && ++i == arguments.size()) return false;
                continue;
            case QtOption::Switch: continue;
            case QtOption::None: break;
        }
        if (word.starts_with('-') || CommandOf(word) || word == kHelpWord || !Exists(word)) return false;
    }
    return true;
}

Invocation ReadArguments(const std::vector<std::string>& arguments, bool withWindow) {
    Invocation in;
    // -v alone is the version, as it was before -v meant --verbose.
    if (arguments == std::vector<std::string>{"-v"}) {
        in.asks = Invocation::Asks::Version;
        return in;
    }
    if (arguments.empty())
        throw UsageError{"Give a command: this Tavrin has no window. " + CommandsSentence(), std::nullopt};
    // A line that begins as the window's: what the window could not take.
    const std::string& first = arguments.front();
    if (QtOptionOf(first) != QtOption::None || (!first.starts_with('-') && !CommandOf(first) &&
                                                first != kHelpWord && Exists(first)))
        throw WindowLineProblem(arguments, withWindow);

    const Given given = Read(arguments);
    std::vector<std::string> words = given.words;
    // help COMMAND, COMMAND --help, --help COMMAND: that command's help.
    const bool helpWord = !words.empty() && words.front() == kHelpWord;
    if (given.Has(Option::Help) || helpWord) {
        in.asks = Invocation::Asks::Help;
        if (helpWord) words.erase(words.begin());
        if (words.empty()) return in;
        const CommandFacts* command = CommandOf(words.front());
        if (!command && helpWord)
            throw UsageError{Quoted(words.front()) + " is not a command." +
                                 DidYouMean(NearestWord(words.front(), CommandWords())) + " " + CommandsSentence(),
                             std::nullopt};
        if (helpWord && words.size() > 1)
            throw UsageError{"The command help takes one command at most, not " + std::to_string(words.size()) + ".",
                             std::nullopt};
        if (command) in.command = command->command;
        return in;
    }
    if (given.Has(Option::Version)) {
        in.asks = Invocation::Asks::Version;
        return in;
    }
    // The first thing not understood, from the left.
    const bool unknownCommand = !words.empty() && !CommandOf(words.front());
    if (given.problem && (!unknownCommand || given.problemAt < given.firstWordAt)) throw *given.problem;
    if (unknownCommand) throw NotACommand(words.front());
    if (words.empty()) throw UsageError{"Give a command. " + CommandsSentence(), std::nullopt};

    const CommandFacts& command = *CommandOf(words.front());
    const std::string name = "The command " + std::string(command.word);
    const auto refuse = [&](const std::string& message) { throw UsageError{message, command.command}; };
    if (words.size() < 2) refuse(name + " needs a league file (LEAGUE.lge).");
    if (words.size() > 2) refuse(name + " takes one league file, not " + std::to_string(words.size() - 1) + ".");
    for (const OptionFacts& o : kOptions)
        if (given.Has(o.option) && !command.takes.Has(o.option))
            refuse(name + " does not take --" + std::string(o.name) + ".");
    if (command.needs && !given.Has(*command.needs))
        refuse(name + " needs --years Y (all, rookies or 1 to 8).");

    in.command = command.command;
    in.league = PathOfUtf8(words[1]);
    if (given.Has(Option::Years)) {
        in.yearsLimit = YearsLimitOf(given.Value(Option::Years));
        if (!in.yearsLimit)
            refuse("The option --years takes all, rookies or 1 to 8, not " + Quoted(given.Value(Option::Years)) + ".");
    }
    if (given.Has(Option::Seed)) {
        in.seed = NumberOf<std::uint64_t>(given.Value(Option::Seed));
        if (!in.seed)
            refuse("The option --seed takes a whole number from 0 to 18446744073709551615, not " +
                   Quoted(given.Value(Option::Seed)) + ".");
    }
    if (given.Has(Option::From)) {
        in.from = PathOfUtf8(given.Value(Option::From));
        if (in.from.empty()) refuse("The option --from needs a file.");
    }
    if (given.Has(Option::To)) {
        in.undoTo = NumberOf<int>(given.Value(Option::To)).value_or(0);
        if (in.undoTo < 1)
            refuse("The option --to takes the number of a run in the history, not " + Quoted(given.Value(Option::To)) +
                   ".");
    }
    in.csv = given.Has(Option::Csv);
    in.dryRun = given.Has(Option::DryRun);
    in.verbose = given.Has(Option::Verbose);
    return in;
}

std::optional<std::string> NearestWord(const std::string& word, const std::vector<std::string>& candidates) {
    // The optimal string alignment distance: insertions, deletions,
    // substitutions and swaps of neighbours, each one step.
    const auto distance = [](std::string_view a, std::string_view b) {
        std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
        for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
        for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
        for (std::size_t i = 1; i <= a.size(); ++i)
            for (std::size_t j = 1; j <= b.size(); ++j) {
                d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                    d[i - 1][j - 1] + (AsciiLower(a[i - 1]) == AsciiLower(b[j - 1]) ? 0 : 1)});
                if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                    d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        return d[a.size()][b.size()];
    };
    std::optional<std::string> nearest;
    std::size_t best = word.size() <= 4 ? 1 : 2;  // farther off, it was meant to be something else
    for (const std::string& candidate : candidates) {
        const std::size_t d = distance(word, candidate);
        if (d == 0) continue;
        if (d <= best && (!nearest || d < best)) {
            nearest = candidate;
            best = d;
        }
    }
    if (nearest) return nearest;
    // The start of one word only, two letters at least: "rand" for
    // randomize, "--dry" for --dry-run.
    const std::size_t letters = word.size() - std::min(word.find_first_not_of('-'), word.size());
    if (letters < 2) return std::nullopt;
    for (const std::string& candidate : candidates)
        if (candidate.size() > word.size() && candidate.starts_with(word)) {
            if (nearest) return std::nullopt;
            nearest = candidate;
        }
    return nearest;
}

}  // namespace tavrin::cli
