// Randomize Pots: the spread, the single-precision offset, the clamps, the
// clock-seeded source, and the operation over the working database.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "PotsTestSupport.h"
#include "RandomSource.h"
#include "TempDir.h"
#include "mGlobal.h"
#include "mPots.h"

namespace tavrin {
namespace {

using test::FixedRandom;
using test::PlayerRow;
using test::TempDir;

constexpr float kJustBelowOne = 1.0f - 0x1p-24f;  // the largest draw there is
constexpr float kSmallest = 0x1p-24f;             // the smallest draw above 0

int Clamp(int v, int act) { return std::min(99, std::max(act + 1, v)); }

std::int16_t PotWith(float u, int years, int pot, int act) {
    FixedRandom random({u});
    const auto result = RandomPot(static_cast<std::int16_t>(years), static_cast<std::uint8_t>(pot),
                                  static_cast<std::uint8_t>(act), random);
    EXPECT_EQ(random.count, 1u) << "one draw per potential";
    return result;
}

// The offset for draw u and spread R, with the product and the sum each
// rounded to single precision, as the game computes it.
int SinglePrecisionOffset(float u, int R) {
    volatile float width = static_cast<float>(2 * R + 1);
    volatile float product = width * u;
    volatile float sum = product + static_cast<float>(-R);
    return static_cast<int>(std::floor(sum));
}

// Wilson-Hilferty: the chi-square value that k degrees of freedom exceed with
// probability about 1e-9 (z = 6). Far above anything a sound source gives.
double ChiSquareBound(int k) {
    const double t = 2.0 / (9.0 * k);
    return k * std::pow(1.0 - t + 6.0 * std::sqrt(t), 3);
}

double ChiSquare(const std::vector<long>& counts, double expected) {
    double chi = 0;
    for (long c : counts) chi += (c - expected) * (c - expected) / expected;
    return chi;
}

TEST(RandomPot, TheSpreadIsTheRoundedShareOfThePotential) {
    EXPECT_EQ(RandomSpread(0, 25), 2);   // 2.5, halves to even
    EXPECT_EQ(RandomSpread(0, 35), 4);   // 3.5
    EXPECT_EQ(RandomSpread(0, 5), 0);    // 0.5
    EXPECT_EQ(RandomSpread(2, 50), 4);   // 50 * 0.07 is just above 3.5
    EXPECT_EQ(RandomSpread(6, 50), 0);   // 0.5
    EXPECT_EQ(RandomSpread(0, 95), 10);  // 9.5
    EXPECT_EQ(RandomSpread(0, 255), 26);
    EXPECT_EQ(RandomSpread(1, 100), 8);
    EXPECT_EQ(RandomSpread(3, 75), 4);   // 4.5
    EXPECT_EQ(RandomSpread(4, 99), 4);
    EXPECT_EQ(RandomSpread(5, 99), 2);
    for (const std::int16_t years : {7, 8, 15, 255, -1, 32767, -32768}) EXPECT_EQ(RandomSpread(years, 255), 0) << years;
}

TEST(RandomPot, TheClampsKeepItAboveTheCurrentRatingAndAtMost99) {
    // 60 at 0 years: R = 6, so 54 to 66, every one of them reachable.
    std::set<int> seen;
    for (int i = 0; i < 4096; ++i) {
        const int v = PotWith(static_cast<float>(i) / 4096.0f, 0, 60, 40);
        EXPECT_GE(v, 54);
        EXPECT_LE(v, 66);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 13u);

    for (const float u : {0.0f, 0.5f, kJustBelowOne}) {
        EXPECT_EQ(PotWith(u, 0, 60, 70), 71) << u;  // every raw value is below 71
        // 95 at 0 years: R = 10; the raw values 99 to 105 all give 99.
        EXPECT_EQ(PotWith(u, 0, 95, 50), u == 0.0f ? 85 : u == 0.5f ? 95 : 99) << u;
        for (const int act : {98, 99, 200, 255}) {
            EXPECT_EQ(PotWith(u, 0, 60, act), 99) << "act " << act;  // 99 wins over act + 1
            EXPECT_EQ(PotWith(u, 3, 99, act), 99) << "act " << act;
        }
        // A hidden potential: R = 0, so the current rating plus one.
        for (const int act : {0, 40, 97}) EXPECT_EQ(PotWith(u, 0, 0, act), act + 1) << "act " << act;
        EXPECT_EQ(PotWith(u, 6, 50, 10), 50);  // R = 0 keeps the potential
        EXPECT_EQ(PotWith(u, 7, 80, 10), 80);  // no spread from 7 years on
    }
}

TEST(RandomPot, TheEndsOfTheDrawGiveTheEndsOfTheSpread) {
    // u = 0 gives -R, the largest u gives +R, the smallest u above 0 still
    // -R (the offset is rounded down, not towards 0), and 1/2 gives 0, at
    // every spread the years and potentials produce.
    std::set<int> spreads;
    for (int years = 0; years <= 6; ++years) {
        for (int pot = 0; pot <= 255; ++pot) {
            const int R = RandomSpread(static_cast<std::int16_t>(years), static_cast<std::uint8_t>(pot));
            spreads.insert(R);
            for (const int act : {0, 50}) {
                ASSERT_EQ(PotWith(0.0f, years, pot, act), Clamp(pot - R, act)) << years << "/" << pot;
                ASSERT_EQ(PotWith(kSmallest, years, pot, act), Clamp(pot - R, act)) << years << "/" << pot;
                ASSERT_EQ(PotWith(0.5f, years, pot, act), Clamp(pot, act)) << years << "/" << pot;
                ASSERT_EQ(PotWith(kJustBelowOne, years, pot, act), Clamp(pot + R, act)) << years << "/" << pot;
            }
        }
    }
    EXPECT_EQ(spreads.size(), 27u);  // 0 to 26
}

TEST(RandomPot, TheOffsetIsComputedInSinglePrecision) {
    // Next to each boundary between two offsets, rounding the product (2R+1)u
    // and then the sum to single precision can land on the next whole number
    // where the exact value, a fused multiply-add or double precision would
    // stay below it. The potentials are chosen so that no clamp hides the
    // offset (at 0 years R = pot / 10).
    int differsFromExact = 0;
    for (int R = 1; R <= 9; ++R) {
        const int pot = 10 * R;
        ASSERT_EQ(RandomSpread(0, static_cast<std::uint8_t>(pot)), R);
        const long width = 2 * R + 1;
        for (long n = 1; n <= 2 * R; ++n) {
            const long kBelow = (n * (1L << 24) - 1) / width;
            for (const long k : {kBelow - 1, kBelow, kBelow + 1}) {
                const float u = static_cast<float>(k) * 0x1p-24f;
                const int d = SinglePrecisionOffset(u, R);
                const double exact = std::floor(static_cast<double>(width * k) / (1L << 24) - R);
                if (d != exact) ++differsFromExact;
                ASSERT_EQ(PotWith(u, 0, pot, 0), pot + d) << "R " << R << ", u = " << k << " * 2^-24";
            }
        }
    }
    EXPECT_GT(differsFromExact, 10) << "the cases do not tell single from exact arithmetic";
}

TEST(ClockRandomSource, DrawsAreUniformTwentyFourBitFractions) {
    ClockRandomSource source;
    constexpr int kDraws = 256000;
    constexpr int kBins = 64;
    std::vector<long> bins(kBins, 0);
    std::set<float> firstThousand;
    for (int i = 0; i < kDraws; ++i) {
        const float u = source.Next();
        ASSERT_GE(u, 0.0f);
        ASSERT_LT(u, 1.0f);
        const float scaled = u * 0x1p24f;
        ASSERT_EQ(scaled, std::floor(scaled)) << "not a multiple of 2^-24: " << u;
        ++bins[static_cast<int>(u * kBins)];
        if (i < 1000) firstThousand.insert(u);
    }
    // Draws in quick succession, many within one clock tick, still differ.
    EXPECT_GE(firstThousand.size(), 990u);
    EXPECT_LT(ChiSquare(bins, double(kDraws) / kBins), ChiSquareBound(kBins - 1));
}

TEST(ClockRandomSource, EveryOffsetComesAboutEquallyOften) {
    ClockRandomSource source;
    for (const auto& [pot, R] : {std::pair{60, 6}, std::pair{25, 2}}) {
        constexpr long kPerOffset = 10000;
        const int outcomes = 2 * R + 1;
        std::vector<long> counts(outcomes, 0);
        for (long i = 0; i < kPerOffset * outcomes; ++i) {
            const int v = RandomPot(0, static_cast<std::uint8_t>(pot), 0, source);
            ASSERT_GE(v, pot - R);
            ASSERT_LE(v, pot + R);
            ++counts[v - (pot - R)];
        }
        EXPECT_LT(ChiSquare(counts, kPerOffset), ChiSquareBound(outcomes - 1)) << "pot " << pot;
    }
}

std::vector<PlayerRow> YoungAndOld() {
    std::vector<PlayerRow> rows;
    int pid = 1;
    for (int years : {0, 7, 6, 15, 3, 200}) {
        PlayerRow r;
        r.pidA = pid;
        r.pidB = pid * 3;
        r.years = years;
        for (int a = 0; a < 8; ++a) {
            r.pot[a] = 40 + 6 * a;  // 40 .. 82, a different spread per attribute
            r.act[a] = 30 + a;
        }
        r.act[2] = 97;  // AG: raised to 98 whatever the draw
        r.act[5] = 99;  // EN: 99
        rows.push_back(r);
        ++pid;
    }
    return rows;
}

TEST(RandomizePots, YoungPlayersGetOneDrawPerAttributeInOrder) {
    TempDir dir;
    ProgramState state;
    state.appDir = dir.path();
    const auto before = YoungAndOld();
    test::MakePlayersDatabase(state.WorkingDatabasePath(), before);

    // Draws alternate between the two ends, so SP moves down, AC up, and so on:
    // an attribute that took another's draw, rating or potential would show.
    FixedRandom random({0.0f, kJustBelowOne});
    RandomizePots(state, random);

    auto expected = before;
    for (auto& r : expected) {
        if (r.years >= 7) continue;
        for (int a = 0; a < 8; ++a) {
            const int R = RandomSpread(static_cast<std::int16_t>(r.years), static_cast<std::uint8_t>(r.pot[a]));
            r.pot[a] = Clamp(a % 2 == 0 ? r.pot[a] - R : r.pot[a] + R, r.act[a]);
        }
    }
    EXPECT_EQ(random.count, 3u * 8u);
    EXPECT_EQ(test::ReadPlayerRows(state.WorkingDatabasePath()), expected);
    EXPECT_NE(expected, before);
}

TEST(RandomizePots, NoPlayerUnderSevenYearsChangesNothing) {
    TempDir dir;
    ProgramState state;
    state.appDir = dir.path();
    auto rows = YoungAndOld();
    for (auto& r : rows) r.years = std::max(r.years, 7);
    test::MakePlayersDatabase(state.WorkingDatabasePath(), rows);

    FixedRandom random({0.0f});
    RandomizePots(state, random);
    EXPECT_EQ(random.count, 0u);
    EXPECT_EQ(test::ReadPlayerRows(state.WorkingDatabasePath()), rows);
}

}  // namespace
}  // namespace tavrin
