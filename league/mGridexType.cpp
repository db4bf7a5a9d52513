#include "mGridexType.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string>

namespace tavrin {

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

static_assert([] {
    int n = 0;
    for (std::size_t i = 0; i < kRecordLenL02; ++i) n += IsSubstitutedOffset(i) ? 1 : 0;
    return n;
}() == 45, "an L02 record has 45 substituted bytes");

}  // namespace

std::size_t PlayerFieldOffset(std::string_view column) {
    for (const FieldLayout& f : kPlayerFieldsL02)
        if (EqualsNoCase(f.column, column)) return f.offset;
    for (const FieldLayout& f : kPlayerFieldsL03Extra)
        if (EqualsNoCase(f.column, column)) return f.offset;
    throw std::logic_error("no player record field for column " + std::string(column));
}

void EncodeRecord(std::span<const std::uint8_t> plain, std::span<std::uint8_t> stored, const CodeTables& tables) {
    const std::size_t n = std::min(plain.size(), stored.size());
    for (std::size_t i = 0; i < n; ++i)
        stored[i] = IsSubstitutedOffset(i) ? static_cast<std::uint8_t>(tables.iEncTable[plain[i]]) : plain[i];
}

void DecodeRecord(std::span<const std::uint8_t> stored, std::span<std::uint8_t> plain, const CodeTables& tables) {
    const std::size_t n = std::min(plain.size(), stored.size());
    for (std::size_t i = 0; i < n; ++i)
        plain[i] = IsSubstitutedOffset(i) ? static_cast<std::uint8_t>(tables.iDecTable[stored[i]]) : stored[i];
}

}  // namespace tavrin
