#pragma once

// What the arguments ask for: the window, or a command with its league and
// options, or the help or the version. Each argument is UTF-8 text (on
// Windows too: ArgumentsOf in CommandLine.h reads them so).

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"

namespace tavrin::cli {

// The command line was not understood: nothing is done. The message says
// what was wrong, in sentences; `command` names the command whose help
// tells more, if one was given.
struct UsageError {
    std::string message;
    std::optional<Command> command;
};

struct Invocation {
    enum class Asks { Run, Help, Version };
    Asks asks = Asks::Run;
    // Run: the command. Help: the command whose help was asked for; none
    // for the whole help.
    std::optional<Command> command;
    std::filesystem::path league;
    std::optional<std::int16_t> yearsLimit;
    std::optional<std::uint64_t> seed;
    std::filesystem::path from;
    int undoTo = 0;  // undo --to N; 0: the last run
    bool csv = false, dryRun = false, verbose = false;
};

// The command, its league and its options, checked against what the command
// takes; or help or version asked for, which win over anything else on the
// line. A UsageError for anything not understood. `withWindow`: whether this
// program has a window, for what a message says of a league file given alone.
Invocation ReadArguments(const std::vector<std::string>& arguments, bool withWindow);

// The word of `candidates` a mistyped `word` was most likely meant to be: one
// or two letters off (a transposition counts as one), or the start of only
// one of them.
std::optional<std::string> NearestWord(const std::string& word, const std::vector<std::string>& candidates);

}  // namespace tavrin::cli
