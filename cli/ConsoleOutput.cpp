#include "cli/ConsoleOutput.h"

#include <cstdio>

namespace tavrin::cli {

namespace {

std::string OneLine(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

void Out(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

void Message(const std::string& text) {
    std::string line = "tavrin: " + OneLine(text);
    while (line.back() == ' ') line.pop_back();
    if (line.back() != '.' && line.back() != '?') line += '.';
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace tavrin::cli
