// tavrin-fuzz-seeds: writes the fuzz targets' seed corpus, small player files
// made by our own generator, one folder per target:
//
//   tavrin-fuzz-seeds <dir>    (writes <dir>/import_save/ and <dir>/record_roundtrip/)
//
// The corpus in fuzz/corpus/ is this program's output; run it again there
// when the record layout or the generator changes.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/LeagueGenerator.h"

namespace {

namespace fs = std::filesystem;
using tavrin::gen::Kind;
using tavrin::gen::League;

struct Seed {
    std::string name;
    League league;
};

std::vector<Seed> Seeds() {
    using tavrin::gen::MakePlayers;
    std::vector<std::uint8_t> headerRest;
    for (std::uint8_t b = 0; b < 16; ++b) headerRest.push_back(static_cast<std::uint8_t>(0x10 + 7 * b));

    std::vector<Seed> seeds{
        {"l02-players", {Kind::L02, 173, 37, headerRest, MakePlayers(24, 1), {}}},
        {"l02-bench-and-trailing-bytes", {Kind::L02, 0, 1, {}, MakePlayers(30, 2, true), std::vector<std::uint8_t>(23, 0xEE)}},
        {"l02-every-name-byte", {Kind::L02, 255, 128, {}, MakePlayers(20, 3), {}}},
        {"l02-one-player", {Kind::L02, 7, 0, {}, MakePlayers(1, 4), {}}},
        {"l02-nothing-to-save", {Kind::L02, 99, 10, {}, MakePlayers(3, 5), {}}},
        {"l02-header-only", {Kind::L02, 12, 34, headerRest, {}, {}}},
        {"l03-players", {Kind::L03, 201, 14, headerRest, MakePlayers(20, 6), {1, 2, 3}}},
    };
    // Names that hold every byte from 0 to 255 between them.
    auto& named = seeds[2].league.players;
    for (std::size_t i = 0; i < 2 * named.size(); ++i) {
        std::string& name = i % 2 ? named[i / 2].lastName : named[i / 2].firstName;
        name.clear();
        for (std::size_t k = 0; k < 13; ++k) name.push_back(static_cast<char>((13 * i + k) % 256));
    }
    for (auto& p : seeds[4].league.players) p.position = 15;  // none is written back
    return seeds;
}

void Write(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: tavrin-fuzz-seeds <dir>\n";
        return 2;
    }
    try {
        const fs::path dir(argv[1]);
        fs::create_directories(dir / "import_save");
        fs::create_directories(dir / "record_roundtrip");
        for (const Seed& s : Seeds()) {
            const auto bytes = tavrin::gen::PlayerFileBytes(s.league);
            Write(dir / "import_save" / s.name, bytes);
            // The round trip's first byte picks the record length.
            std::vector<std::uint8_t> prefixed{static_cast<std::uint8_t>(s.league.kind == Kind::L03 ? 1 : 0)};
            prefixed.insert(prefixed.end(), bytes.begin(), bytes.end());
            Write(dir / "record_roundtrip" / s.name, prefixed);
        }
    } catch (const std::exception& e) {
        std::cerr << "tavrin-fuzz-seeds: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
