#pragma once

// Names in the player file are one byte per character in the Windows "ANSI"
// code page 1252. The five bytes that code page leaves unassigned (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) are taken as the C1 control characters of the same value,
// so every byte 0 to 255 has a character and every such character its byte.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tavrin::cp1252 {

// The Unicode code point of a byte.
char32_t ToUnicode(std::uint8_t byte);
// The byte of a code point, or nothing where code page 1252 has none.
std::optional<std::uint8_t> FromUnicode(char32_t codePoint);

// Bytes to UTF-8 text, one character per byte (NULs included). The second
// form writes into `out`, reusing its buffer.
std::string BytesToUtf8(std::string_view bytes);
void BytesToUtf8(std::string_view bytes, std::string& out);
// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string& out, char32_t codePoint);
// Splits UTF-8 text into code points, into `out` (its buffer reused);
// false for malformed input.
bool Utf8ToCodePoints(std::string_view utf8, std::u32string& out);

// Writes UTF-8 text as one byte per character into `out`: its first
// out.size() characters, NUL-padded where the text is shorter; characters
// after those are left out (but must still be valid UTF-8).
enum class ToBytes { Done, NotUtf8, NoByte };
ToBytes Utf8ToBytes(std::string_view utf8, std::span<std::uint8_t> out);

}  // namespace tavrin::cp1252
