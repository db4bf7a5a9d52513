#include "pots/Restore.h"

#include <array>
#include <string>

#include "db/Database.h"
#include "league/WorkingDatabase.h"
#include "league/PlayersTable.h"

namespace tavrin {

namespace {

constexpr std::string_view kRestoringPots = "Restoring Pots";

}  // namespace

std::int64_t RestorePots(const ProgramState& state, const RestoreTargets& targets) {
    // One UPDATE: the WHERE clause asks for every player in turn (advancing
    // the progress window) whether he has a target; those who have get it.
    ProgressShowing showing(*state.progress);
    auto working = OpenWorkingDatabase(state);
    const double step = 100.0 / static_cast<double>(std::max<std::size_t>(targets.size(), 1));
    const auto target = [&](std::int64_t rowid) -> const Potentials* {
        return rowid >= 1 ? targets.At(static_cast<std::size_t>(rowid - 1)) : nullptr;
    };
    working->DefineFunction("tavrin_restoring", 1, [&](std::span<const std::int64_t> a) -> std::int64_t {
        state.progress->UpdateBar(kRestoringPots, step);
        const auto* t = target(a[0]);
        return t != nullptr;
    });
    working->DefineFunction("tavrin_restored", 2, [&](std::span<const std::int64_t> a) -> std::int64_t {
        return (*target(a[0]))[static_cast<std::size_t>(a[1])];
    });
    std::string sql = "UPDATE Players SET ";
    for (std::size_t a = 0; a < kPotColumns.size(); ++a)
        sql += (a ? ", " : "") + std::string(Name(kPotColumns[a])) + " = tavrin_restored(rowid, " + std::to_string(a) + ")";
    const std::int64_t restored = working->Execute(sql + " WHERE tavrin_restoring(rowid)");
    working->Close();
    return restored;
}

}  // namespace tavrin
