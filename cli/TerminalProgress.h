#pragma once

// The progress of a command-line run: while a long step goes through the
// players (loading, restoring, saving) a bar on standard error shows the
// step's text and how far it is, redrawn in place on one line. Only a person
// at a terminal wants that; a script that reads standard error does not, so
// the command line lends the run this bar only when the stream is a terminal.

#include <cstdio>
#include <string>
#include <string_view>

#include "league/Progress.h"

namespace tavrin::cli {

// Whether the stream is a terminal (a console, on Windows).
bool IsTerminal(std::FILE* stream);

class TerminalProgress final : public Progress {
public:
    explicit TerminalProgress(std::FILE* out) : out_(out) {}

    // A fresh bar at 0.
    void Show() override;
    // Adds the increment and shows the step's text, unless the sum would
    // pass 100 (as the progress window does). The line is redrawn only when
    // the text or the whole percentage changes: a step calls this once per
    // player.
    void UpdateBar(std::string_view text, double increment) override;
    // Clears the line, so that what is written next starts on a clean one.
    void Unload() override;

private:
    void Draw();

    std::FILE* out_;
    bool shown_ = false;
    double value_ = 0.0;
    std::string text_;
    int drawnPercent_ = -1;
    std::size_t drawnWidth_ = 0;
};

}  // namespace tavrin::cli
