#pragma once

// The help, `tavrin --help`: the usage of each command, the commands, the
// options and the sections after them (the files, examples, exit status).
//
// The help is also the manual page's only source (help2man reads it): its
// "Usage:" and "  or:" lines become the synopsis, each "Heading:" a section
// or subsection, and "  term  text" lines with their continuations, indented
// to the text, become tagged paragraphs.

#include <QString>

#include <string>

class QCommandLineParser;

namespace tavrin::cli {

// What Tavrin is and does, the help's first paragraphs: the parser's
// application description.
QString HelpDescription();

// The whole help, around the parser's own description of the options.
std::string HelpText(const QCommandLineParser& parser);

}  // namespace tavrin::cli
