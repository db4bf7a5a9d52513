// The player file's substitution: the key permutation built from the header's
// start value and step, and the two code tables derived from it.

#include <gtest/gtest.h>

#include <array>
#include <bitset>
#include <cstdint>
#include <sstream>

#include "mEncrypt97.h"

namespace tavrin {
namespace {

using Table = std::array<std::int16_t, 256>;

// The game's construction, step by step, as a second opinion: values a, a+1,
// ... go to positions 0, b, 2b, ... (mod 256); a taken position sends the
// value forward to the next free entry, without moving the position itself.
Table ReferenceKeyTable(std::uint8_t a, std::uint8_t b) {
    Table key;
    const std::int16_t freeMark = static_cast<std::int16_t>(a - 1);
    key.fill(freeMark);
    key[0] = a;
    int v = a, p = 0;
    for (int pass = 0; pass < 255; ++pass) {
        v = (v + 1) % 256;
        p = (p + b) % 256;
        int q = p;
        while (key[q] != freeMark) q = (q + 1) % 256;
        key[q] = static_cast<std::int16_t>(v);
    }
    return key;
}

bool IsPermutation(const Table& t) {
    std::bitset<256> seen;
    for (auto v : t) {
        if (v < 0 || v > 255 || seen[v]) return false;
        seen[v] = true;
    }
    return true;
}

// Everything that must hold for one pair; empty when it all does.
std::string CheckPair(const CodeTables& t, int a, int b) {
    std::ostringstream out;
    if (!IsPermutation(t.iKeyTable)) out << "iKeyTable is no permutation; ";
    if (!IsPermutation(t.iEncTable)) out << "iEncTable is no permutation; ";
    if (!IsPermutation(t.iDecTable)) out << "iDecTable is no permutation; ";
    if (!out.str().empty()) return out.str();
    if (t.iKeyTable != ReferenceKeyTable(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)))
        out << "iKeyTable differs from the construction; ";
    for (int j = 0; j < 256; ++j) {
        if (t.iDecTable[t.iEncTable[j]] != j || t.iEncTable[t.iDecTable[j]] != j) {
            out << "not inverse at " << j << "; ";
            break;
        }
        const auto k = [&](int x) { return t.iKeyTable[x]; };
        if (t.iEncTable[j] != k(k(k(j)))) {
            out << "iEncTable[" << j << "] is not K(K(K(" << j << "))); ";
            break;
        }
    }
    return out.str();
}

TEST(CodeTables, EveryStartAndStepGivesInversePermutations) {
    CodeTables t;
    int failures = 0;
    std::string first;
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            BuildKeyTable(t, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b));
            if (auto problem = CheckPair(t, a, b); !problem.empty()) {
                if (failures++ == 0)
                    first = "start " + std::to_string(a) + ", step " + std::to_string(b) + ": " + problem;
            }
        }
    }
    EXPECT_EQ(failures, 0) << "first: " << first;
}

TEST(CodeTables, StepZeroFillsTheKeyInOrderFromTheStartValue) {
    CodeTables t;
    for (int a = 0; a < 256; ++a) {
        BuildKeyTable(t, static_cast<std::uint8_t>(a), 0);
        for (int j = 0; j < 256; ++j)
            ASSERT_EQ(t.iKeyTable[j], (a + j) % 256) << "start " << a << ", entry " << j;
    }
}

TEST(CodeTables, StartZeroStepOneIsTheIdentity) {
    CodeTables t;
    BuildKeyTable(t, 0, 1);
    for (int j = 0; j < 256; ++j) {
        EXPECT_EQ(t.iKeyTable[j], j);
        EXPECT_EQ(t.iEncTable[j], j);
        EXPECT_EQ(t.iDecTable[j], j);
    }
}

TEST(CodeTables, StartValue255UsesTheLastValueAsFreeMarker) {
    // The free marker is 254, the last value placed; it must not make any
    // entry filled before it look free.
    CodeTables t;
    BuildKeyTable(t, 255, 1);
    for (int j = 0; j < 256; ++j) EXPECT_EQ(t.iKeyTable[j], (255 + j) % 256) << j;
    for (int b : {0, 2, 3, 128, 254, 255}) {
        BuildKeyTable(t, 255, static_cast<std::uint8_t>(b));
        EXPECT_EQ(t.iKeyTable[0], 255) << "step " << b;
        EXPECT_TRUE(IsPermutation(t.iKeyTable)) << "step " << b;
    }
}

TEST(CodeTables, Step128AlternatesBetweenTheTwoHalves) {
    // Position p alternates between 128 and 0: odd values fill 128.. in
    // order, even values walk from 0 into 1, 2, ...
    CodeTables t;
    for (int a : {0, 1, 100, 255}) {
        BuildKeyTable(t, static_cast<std::uint8_t>(a), 128);
        for (int j = 0; j < 128; ++j) {
            ASSERT_EQ(t.iKeyTable[j], (a + 2 * j) % 256) << "start " << a << ", entry " << j;
            ASSERT_EQ(t.iKeyTable[128 + j], (a + 2 * j + 1) % 256) << "start " << a << ", entry " << 128 + j;
        }
    }
}

TEST(CodeTables, ABuildReplacesEverythingOfTheOneBefore) {
    CodeTables first, again;
    BuildKeyTable(first, 173, 37);
    BuildKeyTable(again, 173, 37);
    EXPECT_EQ(first.iKeyTable, again.iKeyTable);
    EXPECT_EQ(first.iEncTable, again.iEncTable);
    EXPECT_EQ(first.iDecTable, again.iDecTable);

    BuildKeyTable(again, 4, 64);
    BuildKeyTable(again, 173, 37);
    EXPECT_EQ(first.iKeyTable, again.iKeyTable);
    EXPECT_EQ(first.iEncTable, again.iEncTable);
    EXPECT_EQ(first.iDecTable, again.iDecTable);

    // BuildCodeTables alone derives the same pair from the key.
    CodeTables derived;
    derived.iKeyTable = first.iKeyTable;
    derived.iEncTable.fill(-7);
    BuildCodeTables(derived);
    EXPECT_EQ(derived.iEncTable, first.iEncTable);
    EXPECT_EQ(derived.iDecTable, first.iDecTable);
}

}  // namespace
}  // namespace tavrin
