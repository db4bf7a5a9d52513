#pragma once

// The command line's commands, each one's facts in one place: the word that
// names it (and that, first on the command line, keeps the window closed),
// the run core's operation it runs, if any, and its usage and summary in the
// help. The four that run an operation are named by the operation's own word.

#include <array>
#include <optional>
#include <string_view>

#include "run/Operations.h"

namespace tavrin::cli {

enum class Command { Hide, Randomize, Restore, Undo, History, Show };

struct CommandFacts {
    Command command;
    std::string_view word;
    std::optional<run::Operation> operation;
    std::string_view arguments;  // after the word in the usage line
    std::string_view summary;    // its lines, set beside the word in the help
};

// A command that runs the operation, named by its word.
constexpr CommandFacts OperationCommand(Command command, run::Operation operation, std::string_view arguments,
                                        std::string_view summary) {
    return {command, run::FactsOf(operation).word, operation, arguments, summary};
}

inline constexpr std::array<CommandFacts, 6> kCommands{{
    OperationCommand(Command::Hide, run::Operation::Hide, "--years Y LEAGUE.lge",
                     "Sets every potential to 0 for the players up to the\n"
                     "experience limit given by --years: rookies, 1 to 8 (years and\n"
                     "less), or all.\n"
                     "Example: tavrin hide --years rookies Demo.lge"),
    OperationCommand(Command::Randomize, run::Operation::Randomize, "[--seed N] LEAGUE.lge",
                     "Moves each potential of every player with fewer than 7 years by\n"
                     "a random amount that shrinks with experience, keeping it above\n"
                     "the player's current rating and at most 99.\n"
                     "Example: tavrin randomize --seed 7 Demo.lge"),
    OperationCommand(Command::Restore, run::Operation::Restore, "[--from FILE] LEAGUE.lge",
                     "Brings back the players' true potentials, saved in LEAGUE.pot.\n"
                     "Example: tavrin restore Demo.lge"),
    OperationCommand(Command::Undo, run::Operation::Undo, "[--to N] LEAGUE.lge",
                     "Brings back the player file and LEAGUE.pot as they were before\n"
                     "the last run, or before run N of the history. The undo is a run\n"
                     "too, kept in the history, so it can be undone in turn.\n"
                     "Example: tavrin undo --to 3 Demo.lge"),
    {Command::History, "history", std::nullopt, "[--verbose] LEAGUE.lge",
     "Lists the runs the league's history keeps, oldest first:\n"
     "number, time, operation, players changed, what the run said it\n"
     "did, and the files it kept. With --verbose, also each player\n"
     "whose potentials the run changed.\n"
     "Example: tavrin history --verbose Demo.lge"},
    {Command::Show, "show", std::nullopt, "[--csv] LEAGUE.lge",
     "Lists the league's players (identity, names, position, years,\n"
     "the eight current ratings, the eight potentials, and whether\n"
     "those are true or Tavrin's: hidden or randomized), and the runs\n"
     "the league's history keeps.\n"
     "Example: tavrin show --csv Demo.lge > players.csv"},
}};

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
