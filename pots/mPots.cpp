#include "mPots.h"

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "Error.h"
#include "mDbEngine.h"

namespace tavrin {

namespace {

// Tavrin's attribute order.
constexpr std::array<std::string_view, 8> kPotColumns{"Pot_SP", "Pot_AC", "Pot_AG", "Pot_ST",
                                                      "Pot_HA", "Pot_EN", "Pot_IN", "Pot_DI"};
constexpr std::array<std::string_view, 8> kActColumns{"Act_SP", "Act_AC", "Act_AG", "Act_ST",
                                                      "Act_HA", "Act_EN", "Act_IN", "Act_DI"};

constexpr std::string_view kRestoringPots = "Restoring Pots";

std::array<int, 8> Indexes(const db::Recordset& rs, const std::array<std::string_view, 8>& names) {
    std::array<int, 8> out{};
    for (std::size_t i = 0; i < names.size(); ++i) out[i] = rs.FieldIndex(names[i]);
    return out;
}

std::int64_t Checked(std::int64_t v, std::int64_t lo, std::int64_t hi, const db::Recordset& rs, int index) {
    if (v < lo || v > hi)
        throw Error(kErrOverflow, "Overflow: " + rs.Fields()[static_cast<std::size_t>(index)].name + " holds " +
                                      std::to_string(v));
    return v;
}

}  // namespace

void HidePots(ProgramState& state, std::int16_t iYearsLimit) {
    auto database = db::Database::OpenDatabase(state.WorkingDatabasePath());
    db::Recordset& rs = database->OpenRecordset("SELECT * FROM Players WHERE Years < " + std::to_string(iYearsLimit));
    const auto pots = Indexes(rs, kPotColumns);
    while (!rs.IsEOF()) {
        rs.Edit();
        for (int index : pots) rs.SetField(index, std::int64_t{0});
        rs.Update();
        rs.MoveNext();
    }
    database->Close();
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

void RandomizePots(ProgramState& state, RandomSource& random) {
    auto database = db::Database::OpenDatabase(state.WorkingDatabasePath());
    db::Recordset& rs = database->OpenRecordset("SELECT * FROM Players WHERE Years < 7");
    const int years = rs.FieldIndex("Years");
    const auto pots = Indexes(rs, kPotColumns);
    const auto acts = Indexes(rs, kActColumns);
    while (!rs.IsEOF()) {
        rs.Edit();
        for (std::size_t a = 0; a < pots.size(); ++a) {
            // Each attribute reads its own old potential; the edit is stored
            // only by Update, so the order changes nothing but the draws.
            const auto iYears = static_cast<std::int16_t>(Checked(rs.Int(years), -32768, 32767, rs, years));
            const auto bPot = static_cast<std::uint8_t>(Checked(rs.Int(pots[a]), 0, 255, rs, pots[a]));
            const auto bAct = static_cast<std::uint8_t>(Checked(rs.Int(acts[a]), 0, 255, rs, acts[a]));
            rs.SetField(pots[a], std::int64_t{RandomPot(iYears, bPot, bAct, random)});
        }
        rs.Update();
        rs.MoveNext();
    }
    database->Close();
}

void RestorePots(ProgramState& state) {
    auto working = db::Database::OpenDatabase(state.WorkingDatabasePath());
    db::Recordset& rs = working->OpenRecordset("SELECT * FROM Players");
    rs.MoveLast();  // no player at all: "No current record", before anything else
    const double step = 100.0 / static_cast<double>(rs.RecordCount());
    rs.MoveFirst();

    auto saved = db::Database::OpenDatabase(state.sPotPath, db::Database::Mode::ReadOnly);

    // One pass over the saved table, in its order: the first saved row of
    // each identity supplies that player's potentials, later duplicates are
    // passed over. An identity is two bytes, so a flat table of 65,536 slots
    // finds every player at once. -1 marks an empty saved value, kEmpty a
    // player with no saved row.
    constexpr std::int16_t kNull = -1;
    constexpr std::int16_t kEmpty = -2;
    std::vector<std::array<std::int16_t, 8>> savedPots(65536);
    for (auto& p : savedPots) p[0] = kEmpty;
    {
        db::Recordset& src = saved->OpenRecordset("SELECT * FROM Players");
        const int a = src.FieldIndex("PID_a");
        const int b = src.FieldIndex("PID_b");
        const auto pots = Indexes(src, kPotColumns);
        for (; !src.IsEOF(); src.MoveNext()) {
            const db::Value va = src.Field(a), vb = src.Field(b);
            const auto* ia = std::get_if<std::int64_t>(&va);
            const auto* ib = std::get_if<std::int64_t>(&vb);
            if (!ia || !ib || *ia < 0 || *ia > 255 || *ib < 0 || *ib > 255) continue;  // matches no player
            auto& slot = savedPots[static_cast<std::size_t>(*ia * 256 + *ib)];
            if (slot[0] != kEmpty) continue;
            for (std::size_t i = 0; i < pots.size(); ++i) {
                const db::Value v = src.Field(pots[i]);
                const auto* n = std::get_if<std::int64_t>(&v);
                if (db::IsNull(v)) {
                    slot[i] = kNull;
                } else {  // a text is read as a number, or refused
                    slot[i] = static_cast<std::int16_t>(Checked(n ? *n : src.Int(pots[i]), 0, 255, src, pots[i]));
                }
            }
        }
    }

    ProgressShowing showing(*state.progress);
    const int a = rs.FieldIndex("PID_a");
    const int b = rs.FieldIndex("PID_b");
    const auto pots = Indexes(rs, kPotColumns);
    while (!rs.IsEOF()) {
        const std::int64_t pidA = Checked(rs.Int(a), 0, 255, rs, a);
        const std::int64_t pidB = Checked(rs.Int(b), 0, 255, rs, b);
        state.progress->UpdateBar(kRestoringPots, step);
        const auto& from = savedPots[static_cast<std::size_t>(pidA * 256 + pidB)];
        if (from[0] == kEmpty)
            throw Error(kErrNoCurrentRecord, "No current record: player " + std::to_string(pidA) + "/" +
                                                 std::to_string(pidB) + " has no saved potentials in " +
                                                 PathText(state.sPotPath));
        rs.Edit();
        for (std::size_t i = 0; i < pots.size(); ++i) {
            if (from[i] == kNull)
                rs.SetNull(pots[i]);
            else
                rs.SetField(pots[i], std::int64_t{from[i]});
        }
        rs.Update();
        rs.MoveNext();
    }
    working->Close();
    saved->Close();
}

}  // namespace tavrin
