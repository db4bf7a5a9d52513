#include "pots/Randomize.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>

#include "db/Database.h"
#include "league/WorkingDatabase.h"
#include "league/PlayersTable.h"

namespace tavrin {

std::int16_t RandomSpread(std::int16_t years, std::uint8_t pot) {
    // The spread shrinks with experience: a tenth of the potential for a
    // rookie, a hundredth at six years, nothing after that.
    static constexpr std::array<double, kRandomizedBelowYears> kVariation{0.1, 0.08, 0.07, 0.06, 0.04, 0.02, 0.01};
    if (years < 0 || years >= kRandomizedBelowYears) return 0;
    // Half to even, in double precision: 25 × 0.1 = 2.5 gives 2, while
    // 50 × 0.07 is just above 3.5 and gives 4.
    return static_cast<std::int16_t>(std::nearbyint(pot * kVariation[static_cast<std::size_t>(years)]));
}

namespace {

// RandomSpread for every years below the limit and every potential, worked
// out once: a league's draws look it up.
const auto kSpreads = [] {
    std::array<std::array<std::int16_t, 256>, kRandomizedBelowYears> spreads{};
    for (std::size_t y = 0; y < spreads.size(); ++y)
        for (std::size_t p = 0; p < 256; ++p)
            spreads[y][p] = RandomSpread(static_cast<std::int16_t>(y), static_cast<std::uint8_t>(p));
    return spreads;
}();

}  // namespace

std::int16_t RandomPot(std::int16_t years, std::uint8_t pot, std::uint8_t act, RandomSource& random) {
    const std::int16_t spread =
        years >= 0 && years < kRandomizedBelowYears ? kSpreads[static_cast<std::size_t>(years)][pot] : 0;
    const float u = random.Next();
    // Single precision throughout, each step rounded on its own (the build
    // turns off fused multiply-add): floor((2R + 1) × u − R), every whole
    // offset from −R to R equally likely.
    const float width = static_cast<float>(2 * spread + 1);
    const float scaled = width * u;
    const float shifted = scaled - static_cast<float>(spread);
    const auto offset = static_cast<int>(std::floor(shifted));

    // Above the current rating, but never above 99, which wins.
    return static_cast<std::int16_t>(std::min(std::max(pot + offset, act + 1), 99));
}

std::int64_t RandomizePots(const ProgramState& state, RandomSource& random) {
    // One UPDATE, in rowid order (the order of the records). Its WHERE clause
    // hands each player to a function of ours, which for a player below 7
    // years draws his eight potentials in Tavrin's attribute order and keeps
    // them; the SET clause then takes them. The same draws in the same order
    // as a walk over the rows would make, whatever order the engine asks for
    // the eight in.
    auto database = OpenWorkingDatabase(state);
    std::array<std::uint8_t, 8> drawn{};
    database->DefineFunction("tavrin_draw", 17, [&](std::span<const std::int64_t> a) -> std::int64_t {
        // (Years, the eight potentials, the eight ratings)
        const auto years = static_cast<std::int16_t>(a[0]);
        if (years >= kRandomizedBelowYears) return 0;
        for (std::size_t k = 0; k < drawn.size(); ++k)
            drawn[k] = static_cast<std::uint8_t>(
                RandomPot(years, static_cast<std::uint8_t>(a[1 + k]), static_cast<std::uint8_t>(a[9 + k]), random));
        return 1;
    });
    database->DefineFunction("tavrin_drawn", 1, [&](std::span<const std::int64_t> a) -> std::int64_t {
        return drawn[static_cast<std::size_t>(a[0])];
    });
    std::string arguments = "Years";
    for (const Col c : kPotColumns) arguments += ", " + std::string(Name(c));
    for (const Col c : kActColumns) arguments += ", " + std::string(Name(c));
    std::string sql = "UPDATE Players SET ";
    for (std::size_t a = 0; a < kPotColumns.size(); ++a)
        sql += (a ? ", " : "") + std::string(Name(kPotColumns[a])) + " = tavrin_drawn(" + std::to_string(a) + ")";
    // (The function checks the years itself: it draws for no one else,
    // whether or not the engine asks it about the others.)
    const std::int64_t players = database->Execute(sql + " WHERE Years < " + std::to_string(kRandomizedBelowYears) +
                                                   " AND tavrin_draw(" + arguments + ")");
    database->Close();
    return players;
}

}  // namespace tavrin
