#include "pots/Hide.h"

#include <string>
#include <utility>
#include <vector>

#include "db/Database.h"
#include "league/WorkingDatabase.h"
#include "league/PlayersTable.h"

namespace tavrin {

std::int64_t HidePots(const ProgramState& state, std::int16_t yearsLimit) {
    // One statement for every player below the limit: the same rows and the
    // same values as an edit of each in turn, in the step's one transaction.
    auto database = OpenWorkingDatabase(state);
    std::vector<std::pair<std::string, std::int64_t>> zero;
    for (const Col pot : kPotColumns) zero.emplace_back(Name(pot), 0);
    const std::int64_t hidden = database->UpdateWhere("Players", zero, PlayersWhereYearsBelow(yearsLimit).where);
    database->Close();
    return hidden;
}

}  // namespace tavrin
