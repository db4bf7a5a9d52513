// tavrin-make-league: writes a plausible league for trying Tavrin out, made
// entirely by our own generator and encoder.
//
//   tavrin-make-league FOLDER [--players N] [--base NAME] [--start S] [--step T] [--l03]
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

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#endif

namespace {

// A league of the game holds at most 65,536 players (a player's identity is
// two bytes); larger ones repeat the identities, as the benchmark's do, and
// a million is the largest the benchmark and the tests ask for.
constexpr unsigned long kMaxPlayers = 1'000'000;

constexpr std::string_view kUsage =
    "Usage: tavrin-make-league FOLDER [--players N] [--base NAME] [--start S] [--step T] [--l03]\n";

constexpr std::string_view kHelp =
    "\n"
    "Writes a league made up by Tavrin's own generator into FOLDER (made if\n"
    "missing): NAME.lge and its player file NAME.pyr, encoded as the game\n"
    "encodes it, with plausible players (names, positions, years, ratings and\n"
    "potentials at or above them). The same options always give the same files.\n"
    "Prints the path of the league file.\n"
    "\n"
    "Options:\n"
    "  --players N  How many players, from 0 to 1000000 (default 300). The\n"
    "               first 65,536 have identities of their own, as a league of\n"
    "               the game can hold no more; after them the identities repeat.\n"
    "  --base NAME  The files' name without extension (default Demo).\n"
    "  --start S    The player file's encoding: its start value and step, each\n"
    "  --step T     from 0 to 255 (default 173 and 37).\n"
    "  --l03        A league of the L03 format (longer records), which Tavrin\n"
    "               only loads.\n"
    "  -h, --help   Shows this help.\n"
    "\n"
    "Examples:\n"
    "  $ tavrin-make-league demo\n"
    "  $ tavrin-make-league /tmp/big --players 1000000 --base Big\n"
    "\n"
    "Exit status: 0 written, 1 the files could not be written, 2 the command\n"
    "line was not understood.\n";

std::optional<unsigned long> ParseNumber(std::string_view text, unsigned long max) {
    unsigned long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > max) return std::nullopt;
    return value;
}

int Usage(const std::string& message) {
    std::cerr << "tavrin-make-league: " << message << " See tavrin-make-league --help.\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
    // Lines end in \n, as Tavrin's own do and scripts on any system read them.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
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
            if (!text) return Usage("The option " + std::string(arg) + " needs a value.");
            const unsigned long max = arg == "--players" ? kMaxPlayers : 255;
            const auto n = ParseNumber(*text, max);
            if (!n)
                return Usage("The option " + std::string(arg) + " takes a whole number from 0 to " +
                             std::to_string(max) + ", not '" + std::string(*text) + "'.");
            if (arg == "--players") players = *n;
            else if (arg == "--start") start = static_cast<std::uint8_t>(*n);
            else step = static_cast<std::uint8_t>(*n);
        } else if (arg == "--base") {
            const auto text = value();
            if (!text || text->empty()) return Usage("The option --base needs a name.");
            base = std::string(*text);
        } else if (arg == "--l03") {
            l03 = true;
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage << kHelp;
            return 0;
        } else if (!arg.empty() && arg.front() == '-') {
            return Usage("Unknown option '" + std::string(arg) + "'.");
        } else if (!dir) {
            dir = std::filesystem::path(std::string(arg));
        } else {
            return Usage("Give one folder, not two ('" + dir->string() + "' and '" + std::string(arg) + "').");
        }
    }
    if (!dir) return Usage("Give the folder to write the league in.");

    try {
        std::filesystem::create_directories(*dir);
        tavrin::gen::League league;
        league.kind = l03 ? tavrin::gen::Kind::L03 : tavrin::gen::Kind::L02;
        league.start = start;
        league.step = step;
        // The game keeps more in the header record; Tavrin writes it back as
        // found, so give it some non-zero bytes to carry.
        for (std::uint8_t b = 0; b < 16; ++b) league.headerRest.push_back(static_cast<std::uint8_t>(0x10 + 7 * b));
        tavrin::gen::PlayerMaker maker(0x7A5715D0u);
        const auto lge = tavrin::gen::WriteLeague(*dir, base, league, maker, players);
        std::cout << lge.string() << "\n";
    } catch (const std::exception& e) {
        std::cerr << "tavrin-make-league: Cannot write the league: " << e.what() << ".\n";
        return 1;
    }
    return 0;
}
