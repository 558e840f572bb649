#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Conversion between CP932 (Shift_JIS as Windows writes it) and UTF-8.
//
// The conversion is the project's own table of Windows code page 932 (the same
// on every platform), so a file written here reads the same on Windows and the
// other way round.
//
// Records, display texts and the files the system writes stay CP932 bytes from
// end to end so that every fixed byte width holds; UTF-8 appears only at the
// edges (the screen, the command line, file names on disk).
namespace tolven::cp932 {

// CP932 bytes to UTF-8. A byte sequence that is not valid CP932 becomes U+FFFD
// and conversion goes on with the next byte, so a damaged record never stops a
// display.
std::string to_utf8(std::string_view cp932);

// UTF-8 to CP932 bytes. A character CP932 cannot hold (or a broken UTF-8
// sequence) becomes "?".
std::string from_utf8(std::string_view utf8);

// True when byte b starts a double-byte CP932 character.
constexpr bool is_lead_byte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The table itself. The character of a single byte (code 0x00..0xFF) or of a
// double-byte code (lead << 8 | trail), kNoCharacter when the code is none (a
// lead byte alone, an unassigned pair, a bad trail byte).
inline constexpr char16_t kNoCharacter = 0xFFFF;
char16_t character_of(std::uint16_t code);

// The code written for character c (below 0x100 one byte, else lead << 8 |
// trail), -1 when code page 932 has no code for it. A character with two or
// three codes gets the one Windows writes.
int code_of(char32_t c);

// The first at most max_bytes bytes of text, backing off by one byte when the
// cut would split a double-byte character.
std::string_view cut(std::string_view text, std::size_t max_bytes);

}  // namespace tolven::cp932

namespace tolven {

// Literal texts are written in the source as UTF-8 and used as CP932 bytes:
// sj("中山") is the four bytes 92 86 8E 52.
inline std::string sj(std::string_view utf8) {
    return cp932::from_utf8(utf8);
}

}  // namespace tolven
