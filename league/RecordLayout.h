#pragma once

// The game's records, as Tavrin reads and writes them.
//
// The player file is a run of fixed-length records: the header record at
// offset 0, then one record per player, with no count, separator or trailer.
// An L02 record is 51 bytes; an L03 record is the same 51 bytes and nine more.
// Every field is one byte or a run of bytes (no byte order). Some bytes are
// stored plain, the rest through the file's substitution (Substitution.h).
//
// The layout below is the one description of a player record: the decoder,
// the saver and our own league generator all work from it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "league/PlayersTable.h"
#include "league/Substitution.h"

namespace tavrin {

inline constexpr std::size_t kRecordLenL02 = 51;
inline constexpr std::size_t kRecordLenL03 = 60;
inline constexpr std::size_t kNameLen = 13;

// The league file's header: only its first field, the four-character format
// tag, is read; the rest of the header is of no use to Tavrin.
struct LeagueFileRec {
    std::array<char, 4> tag{};
};

using HeaderRecL02 = std::array<std::uint8_t, kRecordLenL02>;
using PlayerRecL02 = std::array<std::uint8_t, kRecordLenL02>;

// The two kinds of player file: their records' lengths.
enum class RecordKind { L02, L03 };
constexpr std::size_t RecordLength(RecordKind kind) { return kind == RecordKind::L02 ? kRecordLenL02 : kRecordLenL03; }

// Header bytes 0 and 1: the substitution's start value and step (plain).
inline constexpr std::size_t kHeaderStartOffset = 0;
inline constexpr std::size_t kHeaderStepOffset = 1;

enum class Stored : std::uint8_t {
    Plain,        // the byte is the value
    Substituted,  // the byte is encode[value]
    Name,         // 13 substituted bytes, one character each, NUL-padded
};

struct FieldLayout {
    Col column;               // the Players column it fills (so always one)
    std::uint8_t offset;      // in the record
    Stored stored;
};

// The fields of an L02 record, in the order the decoder sets their columns.
// Ratings are stored in the record in the order AC, AG, DI, EN, HA, IN, SP,
// ST; the columns are set in Tavrin's usual order SP, AC, AG, ST, HA, EN, IN, DI.
inline constexpr std::array<FieldLayout, 27> kPlayerFieldsL02{{
    {Col::PID_a, 0, Stored::Plain},
    {Col::PID_b, 1, Stored::Plain},
    {Col::FirstName, 2, Stored::Name},
    {Col::LastName, 15, Stored::Name},
    {Col::Years, 50, Stored::Substituted},
    {Col::Position, 41, Stored::Substituted},
    {Col::PositionGen, 40, Stored::Substituted},
    {Col::INJ_Sev_a, 36, Stored::Plain},
    {Col::INJ_Sev_b, 37, Stored::Plain},
    {Col::INJ_Type, 38, Stored::Plain},
    {Col::INJ_Week, 39, Stored::Plain},
    {Col::Pot_SP, 34, Stored::Substituted},
    {Col::Pot_AC, 28, Stored::Substituted},
    {Col::Pot_AG, 29, Stored::Substituted},
    {Col::Pot_ST, 35, Stored::Substituted},
    {Col::Pot_HA, 32, Stored::Substituted},
    {Col::Pot_EN, 31, Stored::Substituted},
    {Col::Pot_IN, 33, Stored::Substituted},
    {Col::Pot_DI, 30, Stored::Substituted},
    {Col::Act_SP, 48, Stored::Substituted},
    {Col::Act_AC, 42, Stored::Substituted},
    {Col::Act_AG, 43, Stored::Substituted},
    {Col::Act_ST, 49, Stored::Substituted},
    {Col::Act_HA, 46, Stored::Substituted},
    {Col::Act_EN, 45, Stored::Substituted},
    {Col::Act_IN, 47, Stored::Substituted},
    {Col::Act_DI, 44, Stored::Substituted},
}};

// The nine plain bytes an L03 record adds behind the 51 of L02.
inline constexpr std::array<FieldLayout, 9> kPlayerFieldsL03Extra{{
    {Col::Height, 51, Stored::Plain},
    {Col::Weight, 52, Stored::Plain},
    {Col::SkinColor, 53, Stored::Plain},
    {Col::OrgTeam, 54, Stored::Plain},
    {Col::OrgJerseyNum, 55, Stored::Plain},
    {Col::fBWPicture, 56, Stored::Plain},
    {Col::fColorPicture, 57, Stored::Plain},
    {Col::fPlayerCard, 58, Stored::Plain},
    {Col::fAudioPBP, 59, Stored::Plain},
}};

// The offset of a column's byte in a player record (the first byte, for a
// name); for a column no record holds, the record's length.
namespace layout_detail {
// Every column's offset, looked up once at compile time.
inline constexpr auto kOffsets = [] {
    std::array<std::uint8_t, kPlayersColumnCount> offsets{};
    offsets.fill(static_cast<std::uint8_t>(kRecordLenL03));
    for (const FieldLayout& f : kPlayerFieldsL02) offsets[static_cast<std::size_t>(f.column)] = static_cast<std::uint8_t>(f.offset);
    for (const FieldLayout& f : kPlayerFieldsL03Extra)
        offsets[static_cast<std::size_t>(f.column)] = static_cast<std::uint8_t>(f.offset);
    return offsets;
}();
}  // namespace layout_detail

constexpr std::size_t OffsetOf(Col column) { return layout_detail::kOffsets[static_cast<std::size_t>(column)]; }

// A name of a record's plain bytes as UTF-8 text, up to its first NUL (the
// padding left out): for what Tavrin shows a user.
std::string NameText(std::span<const std::uint8_t> plain, Col column);

namespace detail {
constexpr std::array<bool, kRecordLenL03> SubstitutedMask() {
    std::array<bool, kRecordLenL03> mask{};
    for (const FieldLayout& f : kPlayerFieldsL02) {
        if (f.stored == Stored::Substituted) mask[f.offset] = true;
        if (f.stored == Stored::Name)
            for (std::size_t i = 0; i < kNameLen; ++i) mask[f.offset + i] = true;
    }
    return mask;
}
inline constexpr std::array<bool, kRecordLenL03> kSubstituted = SubstitutedMask();
}  // namespace detail

// Whether the byte at this offset of a player record is stored substituted.
// 45 of the 51 L02 bytes are; the 6 L02 plain bytes and the 9 L03 bytes are not.
constexpr bool IsSubstitutedOffset(std::size_t offset) {
    return offset < detail::kSubstituted.size() && detail::kSubstituted[offset];
}

// Turns plain record bytes (the values, names as their character bytes) into
// the bytes the file stores, and back. Works for both record lengths.
void EncodeRecord(std::span<const std::uint8_t> plain, std::span<std::uint8_t> stored,
                  const CodeTables& tables);
void DecodeRecord(std::span<const std::uint8_t> stored, std::span<std::uint8_t> plain,
                  const CodeTables& tables);

// The Players columns of a record kind's layout, in layout order: what the
// import adds and the save reads.
std::vector<std::string> LayoutColumns(RecordKind kind);

}  // namespace tavrin
