// The substitution and the record layout on any bytes. Whatever start value
// and step a header holds, the tables built from them are a pair of inverse
// permutations; decoding a record and encoding it again gives back the
// stored bytes, and encoding and decoding plain bytes gives back the plain
// ones; plain offsets pass through unchanged. Records of both lengths, and a
// last record cut short, as at the end of a player file.
//
// Input: one byte whose low bit picks the record length (51 or 60), then a
// player file: the header record (its first two bytes the start and the
// step) and the records.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "league/Substitution.h"
#include "league/RecordLayout.h"

namespace {

using tavrin::CodeTables;

void Require(bool ok) {
    if (!ok) std::abort();
}

void CheckTables(const CodeTables& t) {
    std::array<bool, 256> seen{};
    for (std::size_t j = 0; j < 256; ++j) {
        const int e = t.encode[j];
        Require(e >= 0 && e < 256 && !seen[static_cast<std::size_t>(e)]);
        seen[static_cast<std::size_t>(e)] = true;
        Require(t.decode[static_cast<std::size_t>(e)] == static_cast<std::int16_t>(j));
    }
}

// One record, or the first `n` bytes of one: both directions, and nothing
// written past the shorter of the two spans.
void CheckRecord(const std::uint8_t* bytes, std::size_t n, std::size_t length, const CodeTables& t) {
    constexpr std::uint8_t kUntouched = 0xA5;
    std::array<std::uint8_t, tavrin::kRecordLenL03 + 8> plain, again, stored;
    plain.fill(kUntouched);
    again.fill(kUntouched);
    const std::span<const std::uint8_t> in(bytes, n);

    tavrin::DecodeRecord(in, std::span(plain.data(), length), t);
    tavrin::EncodeRecord(std::span(plain.data(), n), std::span(again.data(), length), t);
    Require(std::memcmp(again.data(), bytes, n) == 0);
    for (std::size_t i = 0; i < n; ++i)
        Require(tavrin::IsSubstitutedOffset(i) ? plain[i] == t.decode[bytes[i]] : plain[i] == bytes[i]);
    for (std::size_t i = n; i < plain.size(); ++i) Require(plain[i] == kUntouched && again[i] == kUntouched);

    // The same bytes taken as plain values.
    stored.fill(kUntouched);
    tavrin::EncodeRecord(in, std::span(stored.data(), length), t);
    tavrin::DecodeRecord(std::span(stored.data(), n), std::span(again.data(), length), t);
    Require(std::memcmp(again.data(), bytes, n) == 0);
    for (std::size_t i = n; i < stored.size(); ++i) Require(stored[i] == kUntouched);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::size_t length = (data[0] & 1) ? tavrin::kRecordLenL03 : tavrin::kRecordLenL02;
    const std::uint8_t* file = data + 1;
    const std::size_t fileSize = size - 1;

    CodeTables tables;
    tavrin::BuildTables(tables, file[tavrin::kHeaderStartOffset], file[tavrin::kHeaderStepOffset]);
    CheckTables(tables);

    std::size_t at = fileSize < length ? fileSize : length;  // past the header
    for (; at + length <= fileSize; at += length) CheckRecord(file + at, length, length, tables);
    if (at < fileSize) CheckRecord(file + at, fileSize - at, length, tables);
    return 0;
}
