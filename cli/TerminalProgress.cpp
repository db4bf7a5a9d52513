#include "cli/TerminalProgress.h"

#include <algorithm>
#include <cmath>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tavrin::cli {

bool IsTerminal(std::FILE* stream) {
#if defined(_WIN32)
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

namespace {

constexpr int kBarWidth = 30;

}  // namespace

void TerminalProgress::Show() {
    shown_ = true;
    value_ = 0.0;
    text_.clear();
    drawnPercent_ = -1;
}

void TerminalProgress::UpdateBar(std::string_view text, double increment) {
    const double sum = value_ + increment;
    if (!(sum <= 100.0)) return;
    value_ = sum;
    const int percent = static_cast<int>(std::floor(value_));
    if (percent == drawnPercent_ && text == text_) return;
    text_ = text;
    drawnPercent_ = percent;
    Draw();
}

void TerminalProgress::Draw() {
    const int filled = std::clamp(drawnPercent_ * kBarWidth / 100, 0, kBarWidth);
    std::string line = text_ + " [";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    line += "] " + std::to_string(drawnPercent_) + "%";
    // Shorter than the line before (a shorter text): blank out its rest.
    const std::size_t width = line.size();
    if (width < drawnWidth_) line.append(drawnWidth_ - width, ' ');
    drawnWidth_ = width;
    std::fputs(("\r" + line).c_str(), out_);
    std::fflush(out_);
}

void TerminalProgress::Unload() {
    if (!shown_) return;
    shown_ = false;
    if (drawnWidth_ > 0) {
        std::fputs(("\r" + std::string(drawnWidth_, ' ') + "\r").c_str(), out_);
        std::fflush(out_);
    }
    drawnWidth_ = 0;
}

}  // namespace tavrin::cli
