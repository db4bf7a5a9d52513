#pragma once

// The player file stores most of its bytes through a byte substitution built
// from two parameters in the file's own header record: a start value a and a
// step b. From them we build a key permutation and, from that, the pair of
// tables used to read and write the file.

#include <array>
#include <cstdint>

namespace tavrin {

struct CodeTables {
    std::array<std::int16_t, 256> key{};     // the key permutation K
    std::array<std::int16_t, 256> decode{};  // value = decode[stored byte]
    std::array<std::int16_t, 256> encode{};  // stored byte = encode[value]
};

// Builds the key permutation from start value a and step b, then the two
// code tables from it.
void BuildTables(CodeTables& tables, std::uint8_t start, std::uint8_t step);

}  // namespace tavrin
