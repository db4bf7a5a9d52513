#pragma once

// The command line: `tavrin hide|randomize|restore|undo|history|show ...
// LEAGUE.lge` runs headless, on the same run core as the window, and exits
// with a status a script can test. Standard C++ only: it runs where there is
// no display, and in a build without the window at all.

#include <optional>
#include <string>
#include <vector>

namespace tavrin::cli {

// What the exit status tells a script.
enum ExitStatus : int {
    kExitDone = 0,
    kExitRefused = 1,  // bad input, a file in use, a question not answered: nothing was changed
    kExitUsage = 2,    // the command line was not understood: nothing was done
    kExitFailed = 3,   // the run stopped part-way; the league's files as they were
};

// The program's arguments after its name, as UTF-8 text: on Windows read
// again from the command line as the system keeps it (argv holds them in the
// local code page, which cannot hold every name).
std::vector<std::string> ArgumentsOf(int argc, char** argv);

// Whether the arguments ask for the window: none at all, or only Qt's own
// options and files that exist (a league to open). Anything else is the
// command line's: a command, help, the version, or a mistake, which it
// reports.
bool AsksForTheWindow(const std::vector<std::string>& arguments);

// Why the window cannot open: on a system whose windows need a display
// server, none is named (DISPLAY, WAYLAND_DISPLAY) and no Qt platform is
// chosen (-platform, QT_QPA_PLATFORM). A message for the user, who then
// gets kExitUsage rather than the toolkit's abort.
std::optional<std::string> WhyTheWindowCannotOpen(const std::vector<std::string>& arguments);

// Runs the command line to its end; the program's exit status. `withWindow`:
// whether this program has a window (for what a message says of a league
// given alone).
int RunCommandLine(const std::vector<std::string>& arguments, bool withWindow);

}  // namespace tavrin::cli
