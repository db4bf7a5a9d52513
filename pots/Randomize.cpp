#include "pots/Randomize.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

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
    // Years, then the eight potentials, then the eight current ratings.
    constexpr std::array<Col, 17> kRead{Col::Years,  Col::Pot_SP, Col::Pot_AC, Col::Pot_AG, Col::Pot_ST, Col::Pot_HA,
                                        Col::Pot_EN, Col::Pot_IN, Col::Pot_DI, Col::Act_SP, Col::Act_AC, Col::Act_AG,
                                        Col::Act_ST, Col::Act_HA, Col::Act_EN, Col::Act_IN, Col::Act_DI};
    auto database = db::Database::OpenDatabase(state.WorkingDatabasePath());
    auto rows = database->OpenCursor(PlayersWhereYearsBelow(kRandomizedBelowYears, ColumnNames(kRead)));
    db::RowUpdater& update = database->OpenUpdater("Players", ColumnNames(kPotColumns));
    std::array<std::optional<std::int64_t>, 8> drawn;
    std::int64_t players = 0;
    for (; rows->Next(); ++players) {
        for (std::size_t a = 0; a < kPotColumns.size(); ++a) {
            // Each attribute reads its own old potential, in Tavrin's order:
            // the order of the draws.
            const auto years = static_cast<std::int16_t>(rows->IntIn(0, -32768, 32767));
            const auto pot = static_cast<std::uint8_t>(rows->IntIn(1 + static_cast<int>(a), 0, 255));
            const auto act = static_cast<std::uint8_t>(rows->IntIn(9 + static_cast<int>(a), 0, 255));
            drawn[a] = RandomPot(years, pot, act, random);
        }
        update.Update(rows->RowId(), drawn);
    }
    rows.reset();
    database->Close();
    return players;
}

}  // namespace tavrin
