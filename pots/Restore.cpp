#include "pots/Restore.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/Error.h"
#include "db/Database.h"
#include "db/PlayersTable.h"

namespace tavrin {

namespace {

constexpr std::string_view kRestoringPots = "Restoring Pots";

}  // namespace

namespace {

// The saved potentials of every identity. An identity is two bytes, so a flat
// table of 65,536 slots finds every player at once. kNull marks an empty saved
// value, kNone an identity with no saved row.
class SavedByIdentity {
public:
    static constexpr std::int16_t kNull = -1;
    static constexpr std::int16_t kNone = -2;
    using Pots = std::array<std::int16_t, 8>;

    // One pass over the saved table, in its order: the first saved row of each
    // identity supplies that player's potentials, later duplicates are passed
    // over.
    explicit SavedByIdentity(const std::filesystem::path& path) : pots_(65536) {
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
                                               : static_cast<std::int16_t>(rows->IntIn(column, 0, 255));
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
    const std::int64_t players = [&] {
        auto count = working->OpenCursor("SELECT count(*) FROM Players", {"count"});
        count->Next();
        return count->Int(0);
    }();
    if (players == 0) throw Error("No current record: the working database holds no player");
    const double step = 100.0 / static_cast<double>(players);

    // Everything saved is read before the first player changes: a saved
    // table that cannot serve is refused with the league untouched.
    std::optional<SavedByIdentity> from;
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
        const std::int64_t pidA = rows->IntIn(0, 0, 255);
        const std::int64_t pidB = rows->IntIn(1, 0, 255);
        state.progress->UpdateBar(kRestoringPots, step);
        const auto& pots = from->Of(pidA, pidB);
        if (pots[0] == SavedByIdentity::kNone)
            throw Error("No current record: player " + std::to_string(pidA) + "/" +
                                                 std::to_string(pidB) + " has no saved potentials in " +
                                                 PathText(saved));
        for (std::size_t i = 0; i < kPotColumns.size(); ++i)
            values[i] = pots[i] == SavedByIdentity::kNull ? std::nullopt : std::optional<std::int64_t>(pots[i]);
        update.Update(rows->RowId(), values);
    }
    rows.reset();
    working->Close();
}

}  // namespace tavrin
