#include "pots/Restore.h"

#include <array>
#include <string>

#include "db/Database.h"
#include "league/PlayersTable.h"

namespace tavrin {

namespace {

constexpr std::string_view kRestoringPots = "Restoring Pots";

}  // namespace

std::int64_t RestorePots(const ProgramState& state, const std::vector<std::optional<Potentials>>& targets) {
    ProgressShowing showing(*state.progress);
    auto working = db::Database::OpenDatabase(state.WorkingDatabasePath());
    const double step = 100.0 / static_cast<double>(std::max<std::size_t>(targets.size(), 1));
    db::RowUpdater& update = working->OpenUpdater("Players", ColumnNames(kPotColumns));
    std::array<std::optional<std::int64_t>, 8> values;
    std::int64_t restored = 0;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        state.progress->UpdateBar(kRestoringPots, step);
        if (!targets[i]) continue;
        for (std::size_t a = 0; a < values.size(); ++a) values[a] = (*targets[i])[a];
        update.Update(static_cast<std::int64_t>(i) + 1, values);
        ++restored;
    }
    working->Close();
    return restored;
}

}  // namespace tavrin
