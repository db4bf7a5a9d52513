// Randomize and Restore Pots over the working database, and the draw behind
// Randomize. (Hide Pots is proved by the save after it.)

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "Fixture.h"

namespace tavrin {
namespace {

using test::kPot;
using test::Row;
using test::RunFolder;

constexpr float kLargest = 1.0f - 0x1p-24f;  // the largest draw there is
constexpr float kSmallest = 0x1p-24f;        // the smallest draw above 0

// Yields the given draws in turn, over and over, and counts them.
struct FixedRandom final : RandomSource {
    explicit FixedRandom(std::vector<float> d) : draws(std::move(d)) {}
    float Next() override { return draws[count++ % draws.size()]; }
    std::vector<float> draws;
    std::size_t count = 0;
};

int PotWith(float u, int years, int pot, int act) {
    FixedRandom random({u});
    return RandomPot(static_cast<std::int16_t>(years), static_cast<std::uint8_t>(pot), static_cast<std::uint8_t>(act), random);
}

TEST(RandomPot, SpreadDrawAndClampsOnExamples) {
    // The spread R is the potential times 0.1, 0.08, 0.07, 0.06, 0.04, 0.02 or
    // 0.01 for 0 to 6 years, rounded half to even; draw 0 gives -R.
    struct Case { float u; int years, pot, act, expected; };
    for (const Case& c : std::initializer_list<Case>{
             {0, 0, 25, 0, 23}, {0, 0, 35, 0, 31}, {0, 6, 50, 0, 50},  // 2.5, 3.5 and 0.5 round to even
             {0, 2, 50, 0, 46},                                        // 50 × 0.07 is just above 3.5
             {0, 1, 100, 0, 92}, {0, 3, 75, 0, 71}, {0, 4, 99, 0, 95}, {0, 5, 99, 0, 97},
             {kLargest, 0, 60, 0, 66}, {0.5f, 0, 60, 0, 60},
             {kSmallest, 0, 60, 0, 54},  // the offset is rounded down, not towards 0
             {kLargest, 7, 80, 10, 80}, {kLargest, -1, 80, 10, 80}, {kLargest, 255, 80, 10, 80},  // no spread
             {0, 0, 60, 70, 71}, {kLargest, 0, 60, 70, 71}, {0, 0, 0, 40, 41},  // above the current rating
             {kLargest, 0, 95, 50, 99}, {0.5f, 0, 60, 98, 99}, {0.5f, 0, 60, 200, 99}})  // but 99 at most
        EXPECT_EQ(PotWith(c.u, c.years, c.pot, c.act), c.expected) << c.u << " " << c.years << " " << c.pot << " " << c.act;
}

TEST(RandomPot, TheOffsetIsComputedInSinglePrecision) {
    // Next to a boundary between two offsets, rounding the product (2R+1)u
    // and then the sum to single precision lands on the next whole number
    // where the exact value, a fused multiply-add or double precision would
    // stay below it: at 0 years R = pot / 10, and act 0 keeps the clamps
    // away. Each draw beside the first of a pair, one step of 2^-24 below,
    // stays below.
    struct Case { int R; long k; int expected; };  // the draw is k × 2^-24
    for (const Case& c : {Case{2, 3355443, 19}, Case{2, 3355442, 18}, Case{3, 2396745, 28}, Case{3, 2396744, 27},
                          Case{5, 7626007, 50}, Case{5, 7626006, 49}, Case{5, 15252014, 55}, Case{7, 1118481, 64},
                          Case{7, 1118480, 63}})
        EXPECT_EQ(PotWith(static_cast<float>(c.k) * 0x1p-24f, 0, 10 * c.R, 0), c.expected) << c.R << " " << c.k;
}

TEST(ClockRandomSource, DrawsAreUniformTwentyFourBitFractions) {
    ClockRandomSource source;
    constexpr int kDraws = 256000, kBins = 64;
    std::vector<double> bins(kBins, 0);
    std::set<float> first;
    for (int i = 0; i < kDraws; ++i) {
        const float u = source.Next();
        ASSERT_TRUE(u >= 0 && u < 1 && u * 0x1p24f == std::floor(u * 0x1p24f)) << u;
        ++bins[static_cast<std::size_t>(u * kBins)];
        if (i < 1000) first.insert(u);
    }
    EXPECT_GE(first.size(), 990u);  // draws within one clock tick differ too
    // Below the value 63 degrees of freedom exceed with probability about 1e-9
    // (Wilson-Hilferty, z = 6): far above anything a sound source gives.
    double chi = 0;
    for (const double b : bins) chi += (b - kDraws / kBins) * (b - kDraws / kBins) / (kDraws / kBins);
    const double t = 2.0 / (9.0 * (kBins - 1));
    EXPECT_LT(chi, (kBins - 1) * std::pow(1 - t + 6 * std::sqrt(t), 3));
}

TEST(RandomizePots, PlayersUnderSevenYearsGetOneDrawPerAttributeInOrder) {
    auto league = test::MakeLeague(173, 37, 6, 8);
    for (std::size_t i = 0; const int years : {0, 7, 6, 15, 3, 200}) {
        auto& p = league.players[i++];
        p.years = static_cast<std::uint8_t>(years);
        for (std::size_t a = 0; a < 8; ++a) {
            p.pot[a] = static_cast<std::uint8_t>(40 + 6 * a);  // a different spread for each
            p.act[a] = static_cast<std::uint8_t>(30 + a);
        }
        p.act[2] = 97;  // AG: 98 whatever the draw
        p.act[5] = 99;  // EN: 99
        p.act[7] = 0;   // DI: no rating yet
    }
    league.players[0].pot[3] = 0;  // ST: no potential at all
    RunFolder r;
    r.Load(league);
    // The draws alternate between the ends, so SP moves down, AC up and so on:
    // an attribute that took another's draw, rating or potential would show.
    auto expected = r.Working();
    for (std::size_t i = 0; i < 6; ++i) {
        const auto& p = league.players[i];
        for (std::size_t a = 0; p.years < 7 && a < 8; ++a) {
            const int R = RandomSpread(p.years, p.pot[a]);
            expected[i][kPot[a]] = std::int64_t{std::min(99, std::max(p.act[a] + 1, a % 2 ? p.pot[a] + R : p.pot[a] - R))};
        }
    }
    FixedRandom random({0.0f, kLargest});
    RandomizePots(r.state, random);
    EXPECT_EQ(random.count, 3u * 8u);
    EXPECT_EQ(r.Working(), expected);
}

gen::Player Player(int pidA, int pidB, int potBase) {
    gen::Player p{static_cast<std::uint8_t>(pidA), static_cast<std::uint8_t>(pidB), "First", "Last"};
    for (std::size_t a = 0; a < 8; ++a) p.pot[a] = static_cast<std::uint8_t>(potBase + static_cast<int>(a));
    return p;
}

// A .pot whose Players are `saved` (slot k the k-th) and whose record says
// Tavrin wrote 0s in place of the potentials of the players at `hidden`
// slots, as a Hide leaves it.
void SavePot(RunFolder& r, const std::vector<gen::Player>& saved, const std::vector<int>& hidden) {
    r.Load({gen::Kind::L02, 173, 37, {}, saved, {}});
    fs::copy_file(r.state.WorkingDatabasePath(), r.pot);
    std::string sql = "CREATE TABLE WrittenPotentials (Slot INTEGER, PID_a, PID_b";
    for (const char* kind : {"Written_", "Read_"})
        for (const std::string_view code : kAttributeCodes) sql += ", " + std::string(kind) + std::string(code);
    sql += "); CREATE TABLE SavedRun (Operation, SavedAt, ReadFingerprint, Fingerprint, Recorded); ";
    for (const int slot : hidden) {
        const gen::Player& p = saved[static_cast<std::size_t>(slot - 1)];
        sql += "INSERT INTO WrittenPotentials VALUES (" + std::to_string(slot) + ", " + std::to_string(p.pidA) + ", " +
               std::to_string(p.pidB);
        for (std::size_t a = 0; a < 8; ++a) sql += ", 0";
        for (std::size_t a = 0; a < 8; ++a) sql += ", " + std::to_string(p.pot[a]);
        sql += "); ";
    }
    sql += "INSERT INTO SavedRun VALUES ('Hide', '2026-12-01T10:00:00Z', '', '', " + std::to_string(hidden.size()) + ")";
    test::SqlExec(r.pot, sql);
}

TEST(TruthFirst, EachPlayerIsFoundByHisIdentityAndEachPotentialJudgedOnItsOwn) {
    // The .pot of a season's start: six players, those of slots 1, 4 and 5
    // hidden (their potentials 0 in the file); slots 1 and 2 share an
    // identity, and only their slots tell them apart.
    const std::vector<gen::Player> saved{Player(7, 7, 70), Player(7, 7, 20), Player(1, 1, 61),
                                         Player(1, 2, 30), Player(2, 1, 50), Player(3, 3, 40)};
    const auto hidden = [&](int slot) {
        gen::Player p = saved[static_cast<std::size_t>(slot - 1)];
        p.pot.fill(0);
        return p;
    };
    const auto as = [&](int slot) { return saved[static_cast<std::size_t>(slot - 1)]; };
    struct Case {
        std::string name;
        std::vector<gen::Player> file;  // the player file the game saved since
        std::vector<int> restored;      // by the file's slot: the saved slot whose truth goes back, 0 none
        std::int64_t gameChanged = 0, unsaved = 0;
    };
    gen::Player raised = as(3);
    raised.pot[0] = 62;  // the game raised a veteran's potential
    gen::Player touched = hidden(4);
    touched.pot[3] = 5;  // and one of a hidden rookie's
    const std::vector<Case> cases{
        {"as Tavrin left it", {hidden(1), as(2), as(3), hidden(4), hidden(5), as(6)}, {1, 0, 0, 4, 5, 0}},
        {"a veteran retired: the rest moved up", {hidden(1), as(2), hidden(4), hidden(5), as(6)}, {1, 0, 4, 5, 0}},
        {"two hidden rookies swapped places", {hidden(1), as(2), as(3), hidden(5), hidden(4), as(6)}, {1, 0, 0, 5, 4, 0}},
        {"a draftee added at the end",
         {hidden(1), as(2), as(3), hidden(4), hidden(5), as(6), Player(9, 9, 0)}, {1, 0, 0, 4, 5, 0, 0}, 0, 1},
        {"the game changed potentials", {hidden(1), as(2), raised, touched, hidden(5), as(6)}, {1, 0, 0, 4, 5, 0}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunFolder r;
        SavePot(r, saved, {1, 4, 5});
        const gen::League league{gen::Kind::L02, 173, 37, {}, c.file, {}};
        gen::WriteLeague(r.dir.path(), "lg", league);
        TruthFirst truth(r.pot, TruthFirst::Use::Restore);
        r.imported = ImportLeague(r.state, r.pyr, RecordKind::L02, truth.Hook());
        truth.Finish(r.state);
        ASSERT_EQ(truth.Targets().size(), c.file.size());
        for (std::size_t i = 0; i < c.file.size(); ++i) {
            const int from = c.restored[i];
            std::optional<Potentials> expected;
            if (from) {
                expected = as(from).pot;
                if (c.file[i].pot != hidden(from).pot)  // what the game changed stays
                    for (std::size_t a = 0; a < 8; ++a)
                        if (c.file[i].pot[a] != 0) (*expected)[a] = c.file[i].pot[a];
            }
            EXPECT_EQ(truth.Targets()[i], expected) << "slot " << i + 1;
        }
        EXPECT_EQ(truth.GameChanged(), c.gameChanged);
        EXPECT_EQ(truth.Unsaved(), c.unsaved);
    }
}

TEST(RestorePots, EachPlayerWithATargetGetsItAndTheBarStepsOncePerPlayer) {
    RunFolder r;
    r.Load({gen::Kind::L02, 173, 37, {}, {Player(1, 1, 0), Player(1, 2, 10), Player(2, 1, 20)}, {}});
    auto expected = r.Working();
    for (std::size_t a = 0; a < 8; ++a) expected[1][kPot[a]] = std::int64_t{40 + static_cast<int>(a)};
    r.progress = {};
    const Potentials pots{40, 41, 42, 43, 44, 45, 46, 47};
    const std::vector<bool> restoring{false, true, false};
    const std::vector<Potentials> truths{{}, pots, {}};
    EXPECT_EQ(RestorePots(r.state, {restoring, truths}), 1);
    EXPECT_EQ(r.Working(), expected);
    EXPECT_EQ(r.progress.texts, std::vector<std::string>(3, "Restoring Pots"));
    EXPECT_EQ(r.progress.steps, std::vector<double>(3, 100.0 / 3));
    EXPECT_TRUE(r.progress.shows == 1 && r.progress.unloads == 1);
}

}  // namespace
}  // namespace tavrin
