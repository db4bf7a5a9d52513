#pragma once

// The help. `tavrin --help` (and `tavrin help`) describes every command and
// option, then the files, examples and exit status; `tavrin hide --help`
// (and `tavrin help hide`) only that command: its usage, its options and its
// examples.
//
// The whole help is also the manual page's only source (help2man reads it):
// its "Usage:" and "  or:" lines become the synopsis, each "Heading:" a
// section or subsection, and "  term  text" lines with their continuations,
// indented to the text, become tagged paragraphs.

#include <string>

#include "cli/Commands.h"

namespace tavrin::cli {

std::string HelpText();

std::string CommandHelpText(Command command);

}  // namespace tavrin::cli
