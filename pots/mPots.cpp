#include "pots/mPots.h"

#include <array>
#include <optional>
#include <cmath>
#include <string>
#include <vector>

#include "db/Error.h"
#include "db/PlayersTable.h"
#include "db/mDbEngine.h"

namespace tavrin {

namespace {

constexpr std::string_view kRestoringPots = "Restoring Pots";

std::int64_t Checked(const db::Cursor& row, int index, std::int64_t lo, std::int64_t hi, std::string_view column) {
    const std::int64_t v = row.Int(index);
    if (v < lo || v > hi)
        throw Error("Overflow: " + std::string(column) + " holds " + std::to_string(v));
    return v;
}

db::Query PlayersWhereYearsBelow(std::int64_t limit, std::vector<std::string> columns = {}) {
    return {"Players", {{"Years", db::Condition::Op::Less, limit}}, std::move(columns)};
}

}  // namespace

std::int64_t HidePots(const ProgramState& state, std::int16_t iYearsLimit) {
    // One statement for every player below the limit: the same rows and the
    // same values as an edit of each in turn, in the step's one transaction.
    auto database = db::Database::OpenDatabase(state.WorkingDatabasePath());
    std::vector<std::pair<std::string, std::int64_t>> zero;
    for (const Col pot : kPotColumns) zero.emplace_back(Name(pot), 0);
    const std::int64_t hidden = database->UpdateWhere("Players", zero, PlayersWhereYearsBelow(iYearsLimit).where);
    database->Close();
    return hidden;
}

std::int16_t RandomSpread(std::int16_t iYears, std::uint8_t bPot) {
    // The spread shrinks with experience: a tenth of the potential for a
    // rookie, a hundredth at six years, nothing after that.
    static constexpr std::array<double, 7> kVariation{0.1, 0.08, 0.07, 0.06, 0.04, 0.02, 0.01};
    if (iYears < 0 || iYears > 6) return 0;
    // Half to even, in double precision: 25 × 0.1 = 2.5 gives 2, while
    // 50 × 0.07 is just above 3.5 and gives 4.
    return static_cast<std::int16_t>(std::nearbyint(bPot * kVariation[static_cast<std::size_t>(iYears)]));
}

std::int16_t RandomPot(std::int16_t iYears, std::uint8_t bPot, std::uint8_t bAct, RandomSource& random) {
    const std::int16_t spread = RandomSpread(iYears, bPot);
    const float u = random.Next();
    // Single precision throughout, each step rounded on its own (the build
    // turns off fused multiply-add): floor((2R + 1) × u − R), every whole
    // offset from −R to R equally likely.
    const float width = static_cast<float>(2 * spread + 1);
    const float scaled = width * u;
    const float shifted = scaled - static_cast<float>(spread);
    const auto offset = static_cast<int>(std::floor(shifted));

    int v = bPot + offset;
    if (v < bAct + 1) v = bAct + 1;  // above the current rating…
    if (v > 99) v = 99;              // …but never above 99, which wins
    return static_cast<std::int16_t>(v);
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
            const int pot = 1 + static_cast<int>(a), act = 9 + static_cast<int>(a);
            const auto iYears = static_cast<std::int16_t>(Checked(*rows, 0, -32768, 32767, "Years"));
            const auto bPot = static_cast<std::uint8_t>(Checked(*rows, pot, 0, 255, Name(kPotColumns[a])));
            const auto bAct = static_cast<std::uint8_t>(Checked(*rows, act, 0, 255, Name(kActColumns[a])));
            drawn[a] = RandomPot(iYears, bPot, bAct, random);
        }
        update.Update(rows->RowId(), drawn);
    }
    rows.reset();
    database->Close();
    return players;
}

namespace {

// The saved potentials of every identity. An identity is two bytes, so a flat
// table of 65,536 slots finds every player at once. kNull marks an empty saved
// value, kNone an identity with no saved row.
class SavedPotentials {
public:
    static constexpr std::int16_t kNull = -1;
    static constexpr std::int16_t kNone = -2;
    using Pots = std::array<std::int16_t, 8>;

    // One pass over the saved table, in its order: the first saved row of each
    // identity supplies that player's potentials, later duplicates are passed
    // over.
    explicit SavedPotentials(const std::filesystem::path& path) : pots_(65536) {
        for (Pots& p : pots_) p[0] = kNone;
        auto saved = db::Database::OpenDatabase(path, db::Database::Mode::ReadOnly);
        std::vector<Col> read{Col::PID_a, Col::PID_b};
        read.insert(read.end(), kPotColumns.begin(), kPotColumns.end());
        std::vector<std::string> names;
        for (const Col c : read) names.emplace_back(Name(c));
        auto rows = saved->OpenCursor({"Players", {}, names});
        while (rows->Next()) {
            if (rows->IsNull(0) || rows->IsNull(1)) continue;  // an empty identity matches no player
            const std::int64_t a = rows->Int(0), b = rows->Int(1);
            if (a < 0 || a > 255 || b < 0 || b > 255) continue;  // nor does one no player file holds
            Pots& slot = pots_[static_cast<std::size_t>(a * 256 + b)];
            if (slot[0] != kNone) continue;
            for (std::size_t i = 0; i < kPotColumns.size(); ++i) {
                const int column = static_cast<int>(i) + 2;
                slot[i] = rows->IsNull(column) ? kNull
                                               : static_cast<std::int16_t>(Checked(*rows, column, 0, 255, names[i + 2]));
            }
        }
        saved->Close();
    }

    const Pots& Of(std::int64_t pidA, std::int64_t pidB) const { return pots_[static_cast<std::size_t>(pidA * 256 + pidB)]; }

private:
    std::vector<Pots> pots_;
};

}  // namespace

void RestorePots(const ProgramState& state, const std::filesystem::path& saved) {
    auto working = db::Database::OpenDatabase(state.WorkingDatabasePath());
    auto count = working->OpenCursor("SELECT count(*) FROM Players", {"count"});
    count->Next();
    const std::int64_t players = count->Int(0);
    count.reset();
    if (players == 0) throw Error("No current record: the working database holds no player");
    const double step = 100.0 / static_cast<double>(players);

    // Everything saved is read before the first player changes: a saved
    // table that cannot serve is refused with the league untouched.
    std::optional<SavedPotentials> from;
    try {
        from.emplace(saved);
    } catch (const Error& e) {
        throw Refusal("Cannot restore the potentials from " + PathText(saved) + ": " + e.what());
    }

    ProgressShowing showing(*state.progress);
    auto rows = working->OpenCursor({"Players", {}, ColumnNames(std::array{Col::PID_a, Col::PID_b})});
    db::RowUpdater& update = working->OpenUpdater("Players", ColumnNames(kPotColumns));
    std::array<std::optional<std::int64_t>, 8> values;
    while (rows->Next()) {
        const std::int64_t pidA = Checked(*rows, 0, 0, 255, "PID_a");
        const std::int64_t pidB = Checked(*rows, 1, 0, 255, "PID_b");
        state.progress->UpdateBar(kRestoringPots, step);
        const auto& pots = from->Of(pidA, pidB);
        if (pots[0] == SavedPotentials::kNone)
            throw Error("No current record: player " + std::to_string(pidA) + "/" +
                                                 std::to_string(pidB) + " has no saved potentials in " +
                                                 PathText(saved));
        for (std::size_t i = 0; i < kPotColumns.size(); ++i)
            values[i] = pots[i] == SavedPotentials::kNull ? std::nullopt : std::optional<std::int64_t>(pots[i]);
        update.Update(rows->RowId(), values);
    }
    rows.reset();
    working->Close();
}

}  // namespace tavrin
