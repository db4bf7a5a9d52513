#pragma once

// What a command writes: its results on standard output, its messages on
// standard error, one line each, so that a script can read both.

#include <string>

namespace tavrin::cli {

// A line of the command's result.
void Out(const std::string& line);

// A message: "tavrin: " and the text on one line (the run's messages are
// written for a message box, in paragraphs, and a script reads standard
// error line by line). Every message is whole sentences, each beginning with
// a capital letter (or a name as the user typed it) and ending with a full
// stop or a question mark; a text that ends otherwise (a reason in the
// system's words) gets its full stop here.
void Message(const std::string& text);

}  // namespace tavrin::cli
