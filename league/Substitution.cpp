#include "league/Substitution.h"

namespace tavrin {

namespace {

// Derives the code tables from the key permutation: encode[j] = K(K(K(j)))
// and decode is its inverse.
void DeriveCodeTables(CodeTables& tables) {
    // Where each value sits in the key permutation (its inverse).
    std::array<std::int16_t, 256> indexOf{};
    for (int j = 0; j < 256; ++j) indexOf[static_cast<std::size_t>(tables.key[static_cast<std::size_t>(j)])] =
        static_cast<std::int16_t>(j);

    for (std::size_t i = 0; i < 256; ++i) {
        const auto k = static_cast<std::size_t>(tables.key[i]);
        const auto x = static_cast<std::size_t>(indexOf[i]);
        const auto y = static_cast<std::size_t>(indexOf[x]);
        tables.decode[k] = static_cast<std::int16_t>(y);
        tables.encode[y] = static_cast<std::int16_t>(k);
    }
}

}  // namespace

void BuildTables(CodeTables& tables, std::uint8_t start, std::uint8_t step) {
    auto& key = tables.key;

    // Free entries hold a - 1 (as a signed 16-bit value: -1 when a is 0). For
    // a > 0 that is also the last value placed, and it goes into the last free
    // entry, so the marker never makes a filled entry look free.
    const auto freeMark = static_cast<std::int16_t>(start - 1);
    key.fill(freeMark);

    key[0] = start;
    int value = start;
    int p = 0;
    for (int pass = 0; pass < 255; ++pass) {
        value = (value + 1) & 0xFF;
        p += step;
        if (p > 255) p -= 256;
        // Taken: walk forward, wrapping, to the first free entry. The walk does
        // not move p; the next pass steps on from p itself.
        int slot = p;
        while (key[static_cast<std::size_t>(slot)] != freeMark) slot = (slot + 1) & 0xFF;
        key[static_cast<std::size_t>(slot)] = static_cast<std::int16_t>(value);
    }
    DeriveCodeTables(tables);
}


}  // namespace tavrin
