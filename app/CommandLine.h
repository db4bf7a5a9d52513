#pragma once

// The command line: `tavrin hide|randomize|restore|show ... LEAGUE.lge`
// runs headless, on the same run core as the window, and exits with a status
// a script can test.

namespace tavrin::app {

// Whether the arguments ask for the command line (a command, --help or
// --version) rather than the window.
bool IsCommandLine(int argc, char** argv);

// Runs the command line to its end; the program's exit status.
int RunCommandLine(int argc, char** argv);

}  // namespace tavrin::app
