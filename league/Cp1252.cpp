#include "league/Cp1252.h"

#include <array>

namespace tavrin::cp1252 {

namespace {

// Bytes 0x80 to 0x9F; the rest of code page 1252 is Latin-1. The five
// unassigned bytes keep their own value as a C1 control character.
constexpr std::array<char16_t, 32> kHigh{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

}  // namespace

char32_t ToUnicode(std::uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHigh[byte - 0x80];
    return byte;
}

std::optional<std::uint8_t> FromUnicode(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<std::uint8_t>(cp);
    for (std::size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == cp) return static_cast<std::uint8_t>(0x80 + i);
    return std::nullopt;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

namespace {

// The UTF-8 form of every byte, worked out once: a name's 13 characters then
// cost 13 table lookups.
struct Utf8OfByte {
    std::array<char, 3> bytes{};
    std::uint8_t length = 0;
};

const std::array<Utf8OfByte, 256>& Utf8Table() {
    static const std::array<Utf8OfByte, 256> table = [] {
        std::array<Utf8OfByte, 256> t{};
        for (int b = 0; b < 256; ++b) {
            std::string s;
            AppendUtf8(s, ToUnicode(static_cast<std::uint8_t>(b)));
            auto& entry = t[static_cast<std::size_t>(b)];
            entry.length = static_cast<std::uint8_t>(s.size());
            for (std::size_t i = 0; i < s.size(); ++i) entry.bytes[i] = s[i];
        }
        return t;
    }();
    return table;
}

}  // namespace

void BytesToUtf8(std::string_view bytes, std::string& out) {
    const auto& table = Utf8Table();
    out.resize(bytes.size() * 3);
    std::size_t n = 0;
    for (const char c : bytes) {
        const Utf8OfByte& e = table[static_cast<std::uint8_t>(c)];
        for (std::size_t i = 0; i < e.length; ++i) out[n++] = e.bytes[i];
    }
    out.resize(n);
}

std::string BytesToUtf8(std::string_view bytes) {
    std::string out;
    BytesToUtf8(bytes, out);
    return out;
}

namespace {

// The code point that starts at s[i], i moved past it; nothing where the
// text is not well-formed UTF-8 there.
std::optional<char32_t> NextCodePoint(std::string_view s, std::size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t length = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || i + length > s.size()) return std::nullopt;
    char32_t cp = length == 1 ? b : b & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (c & 0x3F);
    }
    i += length;
    return cp;
}

}  // namespace

bool Utf8ToCodePoints(std::string_view s, std::u32string& out) {
    out.clear();
    for (std::size_t i = 0; i < s.size();) {
        const auto cp = NextCodePoint(s, i);
        if (!cp) return false;
        out += *cp;
    }
    return true;
}

ToBytes Utf8ToBytes(std::string_view s, std::span<std::uint8_t> out) {
    std::size_t written = 0;
    for (std::size_t i = 0; i < s.size();) {
        // ASCII, most of every name, is its own byte.
        if (const auto c = static_cast<unsigned char>(s[i]); c < 0x80) {
            if (written < out.size()) out[written++] = c;
            ++i;
            continue;
        }
        const auto cp = NextCodePoint(s, i);
        if (!cp) return ToBytes::NotUtf8;
        if (written < out.size()) {  // characters after the last place are checked as UTF-8 only
            const auto byte = FromUnicode(*cp);
            if (!byte) return ToBytes::NoByte;
            out[written++] = *byte;
        }
    }
    for (; written < out.size(); ++written) out[written] = 0;
    return ToBytes::Done;
}

}  // namespace tavrin::cp1252
