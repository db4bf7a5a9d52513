#pragma once

// Shared helpers of the league tests: leagues made by our generator, the
// working database read back as plain rows, and a progress window stand-in
// that records what it was told.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "LeagueGenerator.h"
#include "Progress.h"
#include "mDbEngine.h"

namespace tavrin::test {

class RecordingProgress final : public Progress {
public:
    struct Update {
        std::string text;
        double increment;
    };
    void Show() override { ++shows; }
    void UpdateBar(std::string_view sText, double iIncrement) override {
        updates.push_back({std::string(sText), iIncrement});
    }
    void Unload() override { ++unloads; }

    int shows = 0;
    int unloads = 0;
    std::vector<Update> updates;
};

using Row = std::map<std::string, db::Value>;

// Every row of Players, in table order, keyed by column name.
std::vector<Row> ReadPlayers(const std::filesystem::path& database);

// A league of `count` generated players with this header.
gen::League MakeLeague(gen::Kind kind, std::uint8_t start, std::uint8_t step, std::size_t count,
                       std::uint64_t seed = 1, bool withBench = false);

// The text a name column holds for these name bytes: 13 characters, NUL padded.
std::string NameText(const std::string& bytes);

// Checks that a Players row holds exactly the player's values; the L03-only
// columns hold his extra bytes for an L03 league and are null for L02, and
// Team, JNum and INJStatus are always null.
void ExpectRowIsPlayer(const Row& row, const gen::Player& player, gen::Kind kind);

}  // namespace tavrin::test
