#pragma once

// What the command line asks for: its options, and the command, league and
// options read from the arguments, each checked against what the command
// takes.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "cli/Commands.h"

namespace tavrin::cli {

// The command line was not understood: nothing is done.
struct UsageError {
    std::string message;
};

struct Invocation {
    Command command = Command::Show;
    std::filesystem::path league;
    std::optional<std::int16_t> yearsLimit;
    std::optional<std::uint64_t> seed;
    std::filesystem::path from;
    int undoTo = 0;  // undo --to N; 0: the last run
    bool csv = false, dryRun = false, verbose = false;
};

class CommandLineOptions {
public:
    CommandLineOptions();

    QCommandLineParser& Parser() { return parser_; }
    bool Help() const { return parser_.isSet(help_); }
    bool Version() const { return parser_.isSet(version_); }

    // The command, its league and its options; a UsageError for anything
    // the command does not take.
    Invocation Read() const;

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

// What the parser could not read, for a UsageError. An unknown option may be
// a league file whose name begins with '-': the message says how to give it.
std::string ParseErrorText(const QCommandLineParser& parser, const QStringList& arguments);

// The program's name as it was started, without its folder.
QString ProgramName();

inline std::string ToStd(const QString& text) { return text.toStdString(); }

}  // namespace tavrin::cli
