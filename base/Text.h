#pragma once

// Small text helpers every layer uses: a path as UTF-8 text and back, and
// names compared regardless of case.

#include <filesystem>
#include <string>
#include <string_view>

namespace tavrin {

// A path's UTF-8 text, as it is (no separators changed).
inline std::string Utf8Of(const std::filesystem::path& p) {
    const std::u8string u8 = p.u8string();
    return {reinterpret_cast<const char*>(u8.data()), u8.size()};
}

// The path whose UTF-8 text this is.
inline std::filesystem::path PathOfUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// ASCII letters compared without regard to case (column names, options).
constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

// A file name's letter as Windows and macOS fold it for comparing names:
// ASCII, the Latin-1 letters and those of Latin Extended-A, Greek and
// Cyrillic, which covers the names of leagues as people type them.
constexpr char16_t FoldedForNames(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 32);
    if (c == 0x178) return 0xFF;  // Ÿ
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F)
        return (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E) ? static_cast<char16_t>(c + (c % 2))
                                                                          : static_cast<char16_t>(c | 1);
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 32);
    if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
    return c;
}
constexpr bool NamesEqualNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldedForNames(a[i]) != FoldedForNames(b[i])) return false;
    return true;
}

// Lower-case hexadecimal digits of bytes.
inline std::string HexOf(std::basic_string_view<unsigned char> bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const unsigned char b : bytes) {
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

}  // namespace tavrin
