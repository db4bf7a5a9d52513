#pragma once

// The command line: `tavrin hide|randomize|restore|show ... LEAGUE.lge`
// runs headless, on the same run core as the window, and exits with a status
// a script can test.

namespace tavrin::app {

// Whether the arguments ask for the command line rather than the window: a
// command, or any option (--help, --version, and those the command line
// refuses as a usage error rather than open a window). The window takes no
// argument or one league file.
bool IsCommandLine(int argc, char** argv);

// Runs the command line to its end; the program's exit status (ExitStatus).
int RunCommandLine(int argc, char** argv);

// What the exit status tells a script.
enum ExitStatus : int {
    kExitDone = 0,
    kExitRefused = 1,  // bad input, a file in use, a question not answered: nothing was changed
    kExitUsage = 2,    // the command line was not understood: nothing was done
    kExitFailed = 3,   // the run stopped part-way; the league's files as they were
};

}  // namespace tavrin::app
