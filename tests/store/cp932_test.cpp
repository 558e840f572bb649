#include "store/cp932.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tolven {
namespace {

TEST(Cp932, ConvertsBothWays) {
    EXPECT_EQ(sj("中山"), "\x92\x86\x8E\x52");
    EXPECT_EQ(sj("ｾﾝ"), "\xBE\xDD");  // half-width katakana are single bytes
    EXPECT_EQ(sj("　"), "\x81\x40");
    // CP932 (not plain Shift_JIS) maps the full-width tilde and the numbered
    // circles the data service uses.
    EXPECT_EQ(cp932::to_utf8(sj("～①Ⅰ")), "～①Ⅰ");
    EXPECT_EQ(cp932::to_utf8("\x92\x86\x8E\x52"), "中山");
    EXPECT_EQ(cp932::to_utf8("ABC 123"), "ABC 123");
}

TEST(Cp932, BadInputIsReplacedNotFatal) {
    struct Row {
        std::string in, out;
    };
    // CP932 to UTF-8: one U+FFFD for the lead byte of a pair that is no
    // character, and the byte after it read again on its own.
    const Row decoding[] = {
        {"A\x92", "A\xEF\xBF\xBD"},         // lead byte at the end
        {"\x85\x40Z", "\xEF\xBF\xBD@Z"},    // unassigned pair
        {"\x81\x20", "\xEF\xBF\xBD "},      // trail byte below 40
        {"\x81\x7F", "\xEF\xBF\xBD\x7F"},   // 7F is never a trail byte
        {"\x85\x81\x40", "\xEF\xBF\xBD\xE3\x80\x80"},  // 85 81 none, then 81 40
        {std::string("\x81\0", 2), std::string("\xEF\xBF\xBD\0", 4)},
    };
    for (const Row& r : decoding) EXPECT_EQ(cp932::to_utf8(r.in), r.out) << r.in;
    // UTF-8 to CP932: one "?" for a character CP932 cannot hold and for each
    // broken sequence.
    const Row encoding[] = {
        {"a😀b", "a?b"},
        {"a\xE4\xB8", "a?"},                // cut off at the end
        {"\xE4\xB8" "A", "?A"},             // cut off before a letter
        {"\x80" "A", "?A"},                 // a lone continuation byte
        {"\xC0\xAF", "?"},                  // overlong "/"
        {"\xED\xA0\x80", "?"},              // a surrogate
        {"\xF4\x90\x80\x80", "?"},          // beyond U+10FFFF
        {"\xEF\xBB\xBFX", "?X"},            // a byte-order mark is no character here
    };
    for (const Row& r : encoding) EXPECT_EQ(sj(r.in), r.out) << r.in;
}

TEST(Cp932, CutBacksOffToCharacterBoundary) {
    std::string name = sj("アイネスフウジン");  // eight double-byte characters
    EXPECT_EQ(cp932::cut(name, 5), name.substr(0, 4));
    EXPECT_EQ(cp932::cut(name, 6), name.substr(0, 6));
    EXPECT_EQ(cp932::cut(name, 100), name);
    std::string mixed = "A" + sj("中") + "B";
    EXPECT_EQ(cp932::cut(mixed, 2), "A");
    EXPECT_EQ(cp932::cut(mixed, 3), mixed.substr(0, 3));
}

std::string utf8_of(char32_t c) {
    std::string s;
    if (c < 0x80) return std::string(1, static_cast<char>(c));
    if (c < 0x800) {
        s += static_cast<char>(0xC0 | c >> 6);
    } else {
        s += static_cast<char>(0xE0 | c >> 12);
        s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    }
    return s + static_cast<char>(0x80 | (c & 0x3F));
}

std::string bytes_of(int code) {
    if (code < 0x100) return std::string(1, static_cast<char>(code));
    return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

// Windows writes a character that has several codes with the first of: a JIS
// X 0208 row, the NEC row 87, the IBM rows FA..FC, the NEC-selected rows ED..EE.
int rank(int code) {
    int lead = code >> 8;
    return lead == 0x87 ? 1 : lead >= 0xFA ? 2 : lead == 0xED || lead == 0xEE ? 3 : 0;
}

// Every single byte, every lead/trail pair and every character of the Basic
// Multilingual Plane, through the conversion functions, against the table.
TEST(Cp932, EveryCodeAndCharacterConvertsAsTheTableSays) {
    std::array<int, 0x10000> expected;  // code per character; -1 none
    expected.fill(-1);
    int codes = 0, shared = 0;
    auto record = [&](int code, char16_t c) {
        ++codes;
        int& e = expected[c];
        if (e >= 0) ++shared;
        if (e < 0 || rank(code) < rank(e)) e = code;
    };
    for (int b = 0; b < 0x100; ++b) {
        char16_t c = cp932::character_of(static_cast<std::uint16_t>(b));
        std::string in(1, static_cast<char>(b));
        if (cp932::is_lead_byte(static_cast<unsigned char>(b))) {
            ASSERT_EQ(c, cp932::kNoCharacter) << b;
            ASSERT_EQ(cp932::to_utf8(in), "\xEF\xBF\xBD") << b;
        } else {
            ASSERT_NE(c, cp932::kNoCharacter) << b;  // every other byte is a character
            ASSERT_EQ(cp932::to_utf8(in), utf8_of(c)) << b;
            record(b, c);
        }
    }
    for (int code = 0x8100; code < 0x10000; ++code) {
        int lead = code >> 8, trail = code & 0xFF;
        char16_t c = cp932::character_of(static_cast<std::uint16_t>(code));
        if (!cp932::is_lead_byte(static_cast<unsigned char>(lead))) {
            ASSERT_EQ(c, cp932::kNoCharacter) << code;
            continue;
        }
        std::string in = bytes_of(code);
        if (c == cp932::kNoCharacter) {
            ASSERT_EQ(cp932::to_utf8(in), "\xEF\xBF\xBD" + cp932::to_utf8(in.substr(1))) << code;
        } else {
            ASSERT_TRUE(trail >= 0x40 && trail <= 0xFC && trail != 0x7F) << code;
            ASSERT_EQ(cp932::to_utf8(in), utf8_of(c)) << code;
            record(code, c);
        }
    }
    EXPECT_EQ(codes, 9800);  // 196 single bytes and 9604 pairs, user-defined rows included
    EXPECT_EQ(shared, 398);  // codes beyond the first of their character
    int characters = 0;
    for (unsigned u = 0; u < 0x10000; ++u) {
        if (u >= 0xD800 && u < 0xE000) continue;
        int e = expected[u];
        if (e >= 0) ++characters;
        ASSERT_EQ(cp932::code_of(u), e) << u;
        ASSERT_EQ(sj(utf8_of(u)), e < 0 ? "?" : bytes_of(e)) << u;
    }
    EXPECT_EQ(characters, 9402);
}

// Where Windows code page 932 differs from other CP932 converters (glibc's,
// Python's encoder): both directions where the text has a code, else "?".
TEST(Cp932, CharactersWhereConvertersDisagree) {
    struct Row {
        const char* utf8;
        std::string cp932;
    };
    const Row rows[] = {
        {"¢", "?"}, {"£", "?"}, {"¥", "?"}, {"¬", "?"}, {"—", "?"}, {"‖", "?"},
        {"‾", "?"}, {"−", "?"}, {"〜", "?"},
        {"\u0080", "\x80"}, {"\uF8F0", "\xA0"}, {"\uF8F1", "\xFD"}, {"\uF8F2", "\xFE"},
        {"\uF8F3", "\xFF"},
        {"￠", "\x81\x91"}, {"￡", "\x81\x92"}, {"￢", "\x81\xCA"}, {"―", "\x81\x5C"},
        {"∥", "\x81\x61"}, {"－", "\x81\x7C"}, {"～", "\x81\x60"},
        {"∵", "\x81\xE6"}, {"≒", "\x81\xE0"}, {"Ⅰ", "\x87\x54"}, {"№", "\x87\x82"},
        {"㈱", "\x87\x8A"}, {"ⅰ", "\xFA\x40"}, {"￤", "\xFA\x55"}, {"＇", "\xFA\x56"},
        {"＂", "\xFA\x57"}, {"纊", "\xFA\x5C"}, {"黑", "\xFC\x4B"},
        {"\uE000", "\xF0\x40"}, {"\uE757", "\xF9\xFC"},  // the user-defined rows
    };
    for (const Row& r : rows) {
        EXPECT_EQ(sj(r.utf8), r.cp932) << r.utf8;
        if (r.cp932 != "?") {
            EXPECT_EQ(cp932::to_utf8(r.cp932), r.utf8) << r.utf8;
        }
    }
    // The other codes of a shared character read as that character.
    EXPECT_EQ(cp932::to_utf8("\xED\x40\xEE\xEF\x87\x9A\xFA\x5B"), "纊ⅰ∵∵");
}

// The table against the system's own code page 932 (Windows, or Wine).
TEST(Cp932, TableIsTheSystemsCodePage932) {
#ifndef _WIN32
    GTEST_SKIP() << "compares with MultiByteToWideChar/WideCharToMultiByte, built for Windows only";
#else
    for (int code = 0; code < 0x10000; ++code) {
        int lead = code >> 8;
        if (code >= 0x100 && !cp932::is_lead_byte(static_cast<unsigned char>(lead))) continue;
        if (code < 0x100 && cp932::is_lead_byte(static_cast<unsigned char>(code))) continue;
        std::string in = bytes_of(code);
        wchar_t w[2] = {};
        char16_t c = cp932::character_of(static_cast<std::uint16_t>(code));
        if (c != cp932::kNoCharacter) {
            int n = MultiByteToWideChar(932, 0, in.data(), static_cast<int>(in.size()), w, 2);
            ASSERT_EQ(n, 1) << code;
            ASSERT_EQ(static_cast<char16_t>(w[0]), c) << code;
        } else {
            int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, in.data(),
                                        static_cast<int>(in.size()), w, 2);
            ASSERT_EQ(n, 0) << code;  // no character for Windows either
        }
    }
    for (unsigned u = 0; u < 0x10000; ++u) {
        if (u >= 0xD800 && u < 0xE000) continue;
        wchar_t w = static_cast<wchar_t>(u);
        char out[2];
        BOOL used_default = FALSE;
        int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &w, 1, out, 2, nullptr,
                                    &used_default);
        int code = used_default || n == 0 ? -1
                   : n == 1          ? static_cast<unsigned char>(out[0])
                                     : static_cast<unsigned char>(out[0]) << 8 |
                                  static_cast<unsigned char>(out[1]);
        ASSERT_EQ(cp932::code_of(u), code) << u;
    }
#endif
}

}  // namespace
}  // namespace tolven
