#pragma once

// The command line's commands and options, each one's facts in one place:
// the words that name it, what it takes, and its lines in the help. The
// parser, the help and the manual page (made from the help) all read them
// from here. The four commands that run an operation are named by the
// operation's own word.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "run/Operations.h"

namespace tavrin::cli {

enum class Option : std::uint8_t { Years, Seed, From, To, Csv, DryRun, Verbose, Help, Version };

struct OptionFacts {
    Option option;
    std::string_view name;   // --name
    char letter;             // -l, or 0 for none
    std::string_view value;  // what it takes ("Y"), or empty for a switch
    std::string_view text;   // its description in the help
};

inline constexpr std::array<OptionFacts, 9> kOptions{{
    {Option::Years, "years", 0, "Y",
     "The experience limit of hide: rookies, 1 to 8 (years and less) or all; or the list's entry as the window shows "
     "it (\"3 yr and less\", \"All Players\"), in any case."},
    {Option::Seed, "seed", 0, "N",
     "Seeds the random draws of randomize with N, from 0 to 18446744073709551615: the same league and seed always "
     "give the same player file."},
    {Option::From, "from", 0, "FILE",
     "Restores from FILE, a saved-potentials file kept in the league's history, instead of LEAGUE.pot."},
    {Option::To, "to", 0, "N",
     "With undo: brings back the files as they were before run N of the league's history (tavrin history lists the "
     "runs), instead of before the last run."},
    {Option::Csv, "csv", 0, "",
     "Writes the players of show as comma-separated values, and nothing else, to standard output; the rest of the "
     "report goes to standard error."},
    {Option::DryRun, "dry-run", 0, "",
     "Computes everything and writes nothing (no player file, no LEAGUE.pot, no history); prints how many players "
     "would change."},
    {Option::Verbose, "verbose", 'v', "",
     "Prints one line for each player whose potentials change (or, with --dry-run, would): slot, identity, names, "
     "years, and the eight potentials before -> after. With history, those of each run under it."},
    {Option::Help, "help", 'h', "",
     "Displays this help; after a command, that command's options and examples."},
    {Option::Version, "version", 'V', "",
     "Displays the version (so does -v alone, as it did before -v meant --verbose)."},
}};

constexpr const OptionFacts& FactsOf(Option option) { return kOptions[static_cast<std::size_t>(option)]; }
static_assert(kOptions[static_cast<std::size_t>(Option::Version)].option == Option::Version);

// A set of options, for what a command takes.
class Options {
public:
    constexpr Options(std::initializer_list<Option> options) {
        for (const Option o : options) bits_ |= Bit(o);
    }
    constexpr bool Has(Option o) const { return (bits_ & Bit(o)) != 0; }

private:
    static constexpr unsigned Bit(Option o) { return 1u << static_cast<unsigned>(o); }
    unsigned bits_ = 0;
};

enum class Command { Hide, Randomize, Restore, Undo, History, Show };

struct CommandFacts {
    Command command;
    std::string_view word;
    std::optional<run::Operation> operation;
    std::string_view arguments;  // after the word in the help's synopsis
    Options takes;               // besides --help
    std::optional<Option> needs; // an option it cannot do without
    std::string_view summary;    // what it does, in a sentence or two
    std::string_view examples;   // its examples, one a line, each after "$ "
};

// A command that runs the operation, named by its word.
constexpr CommandFacts OperationCommand(Command command, run::Operation operation, std::string_view arguments,
                                        Options takes, std::optional<Option> needs, std::string_view summary,
                                        std::string_view examples) {
    return {command, run::FactsOf(operation).word, operation, arguments, takes, needs, summary, examples};
}

inline constexpr std::array<CommandFacts, 6> kCommands{{
    OperationCommand(Command::Hide, run::Operation::Hide, "--years Y LEAGUE.lge",
                     {Option::Years, Option::DryRun, Option::Verbose}, Option::Years,
                     "Sets every potential to 0 for the players up to the experience limit given by --years: "
                     "rookies, 1 to 8 (years and less), or all.",
                     "tavrin hide --years rookies Demo.lge\n"
                     "tavrin hide --years 3 --dry-run --verbose Demo.lge"),
    OperationCommand(Command::Randomize, run::Operation::Randomize, "[--seed N] LEAGUE.lge",
                     {Option::Seed, Option::DryRun, Option::Verbose}, std::nullopt,
                     "Moves each potential of every player with fewer than 7 years by a random amount that shrinks "
                     "with experience, keeping it above the player's current rating and at most 99.",
                     "tavrin randomize --seed 7 Demo.lge\n"
                     "tavrin randomize --dry-run Demo.lge"),
    OperationCommand(Command::Restore, run::Operation::Restore, "[--from FILE] LEAGUE.lge",
                     {Option::From, Option::DryRun, Option::Verbose}, std::nullopt,
                     "Brings back the players' true potentials, saved in LEAGUE.pot.",
                     "tavrin restore Demo.lge\n"
                     "tavrin restore --from \"Demo.history/0002 2026-12-05T21-48-50Z before Randomize.pot\" Demo.lge"),
    OperationCommand(Command::Undo, run::Operation::Undo, "[--to N] LEAGUE.lge", {Option::To, Option::DryRun},
                     std::nullopt,
                     "Undoes the last run, or with --to N every run from run N on: brings back the player file and "
                     "LEAGUE.pot as they were before it. The undo is a run too, kept in the history as \"Undo\", so "
                     "it can be undone in turn.",
                     "tavrin undo Demo.lge\n"
                     "tavrin undo --to 3 --dry-run Demo.lge"),
    {Command::History, "history", std::nullopt, "[--verbose] LEAGUE.lge", {Option::Verbose}, std::nullopt,
     "Lists the runs the league's history keeps, oldest first: number, time, operation, players changed, what the "
     "run said it did, and the files it kept. With --verbose, also each player whose potentials the run changed.",
     "tavrin history Demo.lge\n"
     "tavrin history --verbose Demo.lge"},
    {Command::Show, "show", std::nullopt, "[--csv] LEAGUE.lge", {Option::Csv}, std::nullopt,
     "Lists the league's players (identity, names, position, years, the eight current ratings, the eight "
     "potentials, and whether those are true or Tavrin's: hidden or randomized), and the runs the league's history "
     "keeps.",
     "tavrin show Demo.lge\n"
     "tavrin show --csv Demo.lge > players.csv"},
}};

// `tavrin help [COMMAND]`: the help, as --help gives it.
inline constexpr std::string_view kHelpWord = "help";

constexpr const CommandFacts* CommandOf(std::string_view word) {
    for (const CommandFacts& facts : kCommands)
        if (facts.word == word) return &facts;
    return nullptr;
}

constexpr const CommandFacts& FactsOf(Command command) {
    for (const CommandFacts& facts : kCommands)
        if (facts.command == command) return facts;
    return kCommands.front();
}

}  // namespace tavrin::cli
