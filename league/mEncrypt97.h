#pragma once

// The player file stores most of its bytes through a byte substitution built
// from two parameters in the file's own header record: a start value a and a
// step b. From them we build a key permutation and, from that, the pair of
// tables used to read and write the file.

#include <array>
#include <cstdint>

namespace tavrin {

struct CodeTables {
    std::array<std::int16_t, 256> iKeyTable{};  // the key permutation K
    std::array<std::int16_t, 256> iDecTable{};  // value = iDecTable[stored byte]
    std::array<std::int16_t, 256> iEncTable{};  // stored byte = iEncTable[value]
};

// Builds iKeyTable from start value a and step b, then the two code tables.
void BuildKeyTable(CodeTables& tables, std::uint8_t start, std::uint8_t step);

// Derives iDecTable and iEncTable from iKeyTable: iEncTable[j] = K(K(K(j)))
// and iDecTable is its inverse.
void BuildCodeTables(CodeTables& tables);

}  // namespace tavrin
