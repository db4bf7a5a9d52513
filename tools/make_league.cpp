// tavrin-make-league: writes a plausible league for trying Tavrin out, made
// entirely by our own generator and encoder.
//
//   tavrin-make-league <dir> [--players N] [--base NAME] [--start S --step T] [--l03]
//
// Prints the path of the .lge file it wrote.

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "tools/LeagueGenerator.h"

namespace {

constexpr std::string_view kUsage =
    "usage: tavrin-make-league <dir> [--players N] [--base NAME] [--start S --step T] [--l03]\n";

std::optional<unsigned long> ParseNumber(std::string_view text, unsigned long max) {
    unsigned long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value > max) return std::nullopt;
    return value;
}

int Fail(const std::string& message) {
    std::cerr << "tavrin-make-league: " << message << "\n" << kUsage;
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<std::filesystem::path> dir;
    std::size_t players = 300;
    std::string base = "Demo";
    // Not the identity and not a trivial step, so the demo's player file
    // really is substituted.
    std::uint8_t start = 173;
    std::uint8_t step = 37;
    bool l03 = false;

    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= argc) return std::nullopt;
            return std::string_view(argv[++i]);
        };
        if (arg == "--players" || arg == "--start" || arg == "--step") {
            const auto text = value();
            if (!text) return Fail(std::string(arg) + " needs a value");
            const unsigned long max = arg == "--players" ? 65536 : 255;
            const auto n = ParseNumber(*text, max);
            if (!n) return Fail(std::string(arg) + " takes a number from 0 to " + std::to_string(max));
            if (arg == "--players") players = *n;
            else if (arg == "--start") start = static_cast<std::uint8_t>(*n);
            else step = static_cast<std::uint8_t>(*n);
        } else if (arg == "--base") {
            const auto text = value();
            if (!text || text->empty()) return Fail("--base needs a name");
            base = std::string(*text);
        } else if (arg == "--l03") {
            l03 = true;
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (!arg.empty() && arg.front() == '-') {
            return Fail("unknown option " + std::string(arg));
        } else if (!dir) {
            dir = std::filesystem::path(std::string(arg));
        } else {
            return Fail("only one folder may be given");
        }
    }
    if (!dir) return Fail("no folder given");

    try {
        std::filesystem::create_directories(*dir);
        tavrin::gen::League league;
        league.kind = l03 ? tavrin::gen::Kind::L03 : tavrin::gen::Kind::L02;
        league.start = start;
        league.step = step;
        // The game keeps more in the header record; Tavrin writes it back as
        // found, so give it some non-zero bytes to carry.
        for (std::uint8_t b = 0; b < 16; ++b) league.headerRest.push_back(static_cast<std::uint8_t>(0x10 + 7 * b));
        league.players = tavrin::gen::MakePlayers(players, 0x7A5715D0u);
        const auto lge = tavrin::gen::WriteLeague(*dir, base, league);
        std::cout << lge.string() << "\n";
    } catch (const std::exception& e) {
        std::cerr << "tavrin-make-league: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
