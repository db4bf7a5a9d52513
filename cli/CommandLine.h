#pragma once

// The command line: `tavrin hide|randomize|restore|show ... LEAGUE.lge`
// runs headless, on the same run core as the window, and exits with a status
// a script can test.

namespace tavrin::cli {

// Whether the arguments ask for the command line rather than the window: the
// first is a command, or is --help, -h, --version or -v. Everything else is
// the window's: a league file, and Qt's own options (-style, -platform,
// -reverse ...), which QApplication takes out before the window sees the rest.
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

}  // namespace tavrin::cli
