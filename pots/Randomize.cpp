#include "pots/Randomize.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>

#include "db/Database.h"
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

std::int16_t RandomPot(std::int16_t years, std::uint8_t pot, std::uint8_t act, RandomSource& random) {
    const std::int16_t spread = RandomSpread(years, pot);
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
    // One UPDATE of the players below 7 years, in rowid order (the order of
    // the records), through a function of ours that draws each player's
    // eight potentials at once, in Tavrin's attribute order, the first time
    // the statement asks for one of them: the same draws in the same order as
    // a walk over the rows would make, whatever order the engine asks in.
    auto database = db::Database::OpenDatabase(state.WorkingDatabasePath());
    std::int64_t row = -1;
    std::array<std::uint8_t, 8> drawn{};
    database->DefineFunction("tavrin_drawn", 19, [&](std::span<const std::int64_t> a) -> std::int64_t {
        // (attribute, rowid, Years, the eight potentials, the eight ratings)
        if (a[1] != row) {
            row = a[1];
            const auto years = static_cast<std::int16_t>(a[2]);
            for (std::size_t k = 0; k < drawn.size(); ++k)
                drawn[k] = static_cast<std::uint8_t>(
                    RandomPot(years, static_cast<std::uint8_t>(a[3 + k]), static_cast<std::uint8_t>(a[11 + k]), random));
        }
        return drawn[static_cast<std::size_t>(a[0])];
    });
    std::string arguments = "rowid, Years";
    for (const Col c : kPotColumns) arguments += ", " + std::string(Name(c));
    for (const Col c : kActColumns) arguments += ", " + std::string(Name(c));
    std::string sql = "UPDATE Players SET ";
    for (std::size_t a = 0; a < kPotColumns.size(); ++a)
        sql += (a ? ", " : "") + std::string(Name(kPotColumns[a])) + " = tavrin_drawn(" + std::to_string(a) + ", " +
               arguments + ")";
    const std::int64_t players =
        database->Execute(sql + " WHERE Years < " + std::to_string(kRandomizedBelowYears));
    database->Close();
    return players;
}

}  // namespace tavrin
