// Hide Pots: all eight potentials to 0 below an experience limit.

#include <gtest/gtest.h>

#include <vector>

#include "PotsTestSupport.h"
#include "TempDir.h"
#include "mGlobal.h"
#include "mPots.h"

namespace tavrin {
namespace {

using test::PlayerRow;
using test::TempDir;

std::vector<PlayerRow> Roster() {
    std::vector<PlayerRow> rows;
    int pid = 0;
    for (int years : {0, 1, 0, 2, 7, 49, 50, 51, 255, 6}) {
        PlayerRow r;
        r.pidA = pid;
        r.pidB = 255 - pid;
        r.years = years;
        r.firstName = "P" + std::to_string(pid);
        for (int a = 0; a < 8; ++a) {
            r.pot[a] = 60 + pid + a;
            r.act[a] = 70 + a;  // above some potentials: hiding never looks at them
        }
        rows.push_back(r);
        ++pid;
    }
    return rows;
}

TEST(HidePots, OnlyPlayersBelowTheLimitLoseTheirPotentials) {
    // "Rookies" 1, "1 yr and less" 2, "6 yr and less" 7, "All Players" 50,
    // and limits no player is below.
    for (const std::int16_t limit : {1, 2, 7, 50, 0, -5}) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        TempDir dir;
        ProgramState state;
        state.appDir = dir.path();
        const auto before = Roster();
        test::MakePlayersDatabase(state.WorkingDatabasePath(), before);

        HidePots(state, limit);

        auto expected = before;
        for (auto& r : expected)
            if (r.years < limit) r.pot.fill(0);
        EXPECT_EQ(test::ReadPlayerRows(state.WorkingDatabasePath()), expected);
    }
}

TEST(HidePots, HidingTwiceIsHidingOnce) {
    TempDir dir;
    ProgramState state;
    state.appDir = dir.path();
    test::MakePlayersDatabase(state.WorkingDatabasePath(), Roster());
    HidePots(state, 3);
    const auto once = test::ReadPlayerRows(state.WorkingDatabasePath());
    HidePots(state, 3);
    EXPECT_EQ(test::ReadPlayerRows(state.WorkingDatabasePath()), once);
}

TEST(HidePots, AnEmptyTableIsNoError) {
    TempDir dir;
    ProgramState state;
    state.appDir = dir.path();
    test::MakePlayersDatabase(state.WorkingDatabasePath(), {});
    HidePots(state, 50);
    EXPECT_TRUE(test::ReadPlayerRows(state.WorkingDatabasePath()).empty());
}

}  // namespace
}  // namespace tavrin
