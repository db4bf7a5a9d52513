// The player file's substitution: the key permutation built from the header's
// start value and step, and the two code tables derived from it.

#include <gtest/gtest.h>

#include <bitset>

#include "mEncrypt97.h"

namespace tavrin {
namespace {

// The construction done the slow way, as a second opinion: values a, a+1, ...
// go to positions 0, b, 2b, ... (mod 256); a taken position sends the value
// forward to the next free entry, without moving the position itself.
std::array<std::int16_t, 256> ReferenceKeyTable(int a, int b) {
    std::array<std::int16_t, 256> key{};
    std::bitset<256> taken;
    for (int n = 0, p = 0; n < 256; ++n, p = (p + b) % 256) {
        int q = p;
        while (taken[static_cast<std::size_t>(q)]) q = (q + 1) % 256;
        taken[static_cast<std::size_t>(q)] = true;
        key[static_cast<std::size_t>(q)] = static_cast<std::int16_t>((a + n) % 256);
    }
    return key;
}

TEST(CodeTables, EveryStartAndStepGivesTheKeyAndTheInversePairOfItsCube) {
    // The file stores a substituted byte v as K(K(K(v))); decoding undoes it.
    CodeTables t;
    int failures = 0;
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            BuildKeyTable(t, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b));
            const auto k = [&](int x) { return t.iKeyTable[static_cast<std::size_t>(x)]; };
            bool ok = t.iKeyTable == ReferenceKeyTable(a, b);
            for (std::size_t j = 0; ok && j < 256; ++j)
                ok = t.iEncTable[j] == k(k(k(static_cast<int>(j)))) &&
                     t.iDecTable[static_cast<std::size_t>(t.iEncTable[j])] == static_cast<std::int16_t>(j);
            if (!ok && ++failures <= 5) ADD_FAILURE() << "start " << a << ", step " << b;
        }
    }
    EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace tavrin
