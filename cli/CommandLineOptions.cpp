#include "cli/CommandLineOptions.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <charconv>
#include <initializer_list>
#include <string_view>

#include "cli/CommandLineHelp.h"

namespace tavrin::cli {

namespace fs = std::filesystem;

namespace {

// "hide, randomize, restore, undo, history, show"
std::string CommandWords() {
    std::string words;
    for (const CommandFacts& c : kCommands) words += (words.empty() ? "" : ", ") + std::string(c.word);
    return words;
}

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

}  // namespace

CommandLineOptions::CommandLineOptions() {
    parser_.setApplicationDescription(HelpDescription());
    // -dash.lge is one word, an unknown option, never the options d, a,
    // s, h (help!), ... bundled; -h and -v still answer on their own.
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser_.addOptions({help_, version_, years_, seed_, from_, to_, csv_, dryRun_, verbose_});
}

Invocation CommandLineOptions::Read() const {
    const QStringList words = parser_.positionalArguments();
    const std::string word = ToStd(words.value(0));
    const CommandFacts* command = CommandOf(word);
    if (!command) throw UsageError{"the first argument must be a command (" + CommandWords() + ")"};
    if (words.size() < 2) throw UsageError{word + " needs a league file (LEAGUE.lge)"};
    if (words.size() > 2) throw UsageError{word + " takes one league file, not " + std::to_string(words.size() - 1)};

    Invocation in;
    in.command = command->command;
    in.league = PathOf(words[1]);
    // Which options each command takes.
    const auto takes = [&](const QCommandLineOption& option, std::initializer_list<Command> commands) {
        if (!parser_.isSet(option)) return false;
        for (const Command c : commands)
            if (c == in.command) return true;
        throw UsageError{"--" + ToStd(option.names().constLast()) + " is not an option of " + word};
    };
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
        if (!in.seed) throw UsageError{"--seed takes a whole number from 0 to 18446744073709551615, not '" + text + "'"};
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
    in.dryRun = takes(dryRun_, {Command::Hide, Command::Randomize, Command::Restore});
    in.verbose = takes(verbose_, {Command::Hide, Command::Randomize, Command::Restore, Command::History});
    return in;
}

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

QString ProgramName() {
    return QFileInfo(QCoreApplication::arguments().value(0, QStringLiteral("tavrin"))).fileName();
}

}  // namespace tavrin::cli
