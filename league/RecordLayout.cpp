#include "league/RecordLayout.h"

#include "league/Cp1252.h"

#include <algorithm>

namespace tavrin {

namespace {

static_assert(std::count(detail::kSubstituted.begin(), detail::kSubstituted.end(), true) == 45,
              "a player record has 45 substituted bytes");

}  // namespace

void EncodeRecord(std::span<const std::uint8_t> plain, std::span<std::uint8_t> stored, const CodeTables& tables) {
    const std::size_t n = std::min(plain.size(), stored.size());
    for (std::size_t i = 0; i < n; ++i)
        stored[i] = IsSubstitutedOffset(i) ? static_cast<std::uint8_t>(tables.encode[plain[i]]) : plain[i];
}

void DecodeRecord(std::span<const std::uint8_t> stored, std::span<std::uint8_t> plain, const CodeTables& tables) {
    const std::size_t n = std::min(plain.size(), stored.size());
    for (std::size_t i = 0; i < n; ++i)
        plain[i] = IsSubstitutedOffset(i) ? static_cast<std::uint8_t>(tables.decode[stored[i]]) : stored[i];
}

std::string NameText(std::span<const std::uint8_t> plain, Col column) {
    std::string_view bytes(reinterpret_cast<const char*>(plain.data() + OffsetOf(column)), kNameLen);
    return cp1252::BytesToUtf8(bytes.substr(0, bytes.find('\0')));
}

std::vector<std::string> LayoutColumns(RecordKind kind) {
    std::vector<std::string> names;
    for (const FieldLayout& f : kPlayerFieldsL02) names.emplace_back(Name(f.column));
    if (kind == RecordKind::L03)
        for (const FieldLayout& f : kPlayerFieldsL03Extra) names.emplace_back(Name(f.column));
    return names;
}

}  // namespace tavrin
