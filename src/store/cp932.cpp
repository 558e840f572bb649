#include "store/cp932.hpp"

#include <array>

namespace tolven::cp932 {
namespace {

constexpr char16_t kNone = kNoCharacter;

struct Preferred {
    char16_t character;
    std::uint16_t code;
};

#include "store/cp932_table.inc"

// The character of a lead byte followed by trail, kNone when the pair is none.
char16_t double_byte(unsigned char lead, unsigned char trail) {
    if (trail < 0x40 || trail > 0xFC) return kNone;
    int row = lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 0x1F;
    return kDoubleByte[row][trail - 0x40];
}

// The table reversed: the code of every character of the Basic Multilingual
// Plane, built once from the decoding tables on first use.
class Encoder {
  public:
    static constexpr std::uint16_t kUnmapped = 0xFFFF;  // no code: FF is not a lead byte

    Encoder() {
        codes_.fill(kUnmapped);
        for (unsigned b = 0; b < 0x100; ++b) {
            if (kSingleByte[b] != kNone) codes_[kSingleByte[b]] = static_cast<std::uint16_t>(b);
        }
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!is_lead_byte(static_cast<unsigned char>(lead))) continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                char16_t c = double_byte(static_cast<unsigned char>(lead),
                                         static_cast<unsigned char>(trail));
                if (c != kNone && codes_[c] == kUnmapped) {
                    codes_[c] = static_cast<std::uint16_t>(lead << 8 | trail);
                }
            }
        }
        for (const Preferred& p : kPreferred) codes_[p.character] = p.code;
    }

    std::uint16_t operator[](char32_t c) const { return c < 0x10000 ? codes_[c] : kUnmapped; }

  private:
    std::array<std::uint16_t, 0x10000> codes_;
};

const Encoder& encoder() {
    static const Encoder table;
    return table;
}

// Writes c (below U+10000) as UTF-8 at out and returns the end.
char* put_utf8(char* out, char16_t c) {
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | c >> 6);
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xE0 | c >> 12);
        *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// The number of bytes the UTF-8 sequence at the start of s takes: as many as
// its first byte announces, fewer when a continuation byte is missing. A bad
// sequence is replaced as one unit of this length.
std::size_t utf8_sequence_length(std::string_view s) {
    auto b = static_cast<unsigned char>(s[0]);
    std::size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    for (std::size_t i = 1; i < n; ++i) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return i;
    }
    return n;
}

constexpr char32_t kInvalid = 0xFFFFFFFF;

// The code point of a sequence of utf8_sequence_length bytes, kInvalid when it
// is cut short, overlong, a surrogate or beyond U+10FFFF.
char32_t decode_utf8(std::string_view s) {
    auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    switch (s.size()) {
        case 2:
            if (b(0) < 0xC2 || b(0) > 0xDF) return kInvalid;
            return static_cast<char32_t>((b(0) & 0x1F) << 6 | (b(1) & 0x3F));
        case 3: {
            if (b(0) < 0xE0 || b(0) > 0xEF) return kInvalid;
            char32_t c = static_cast<char32_t>((b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 |
                                               (b(2) & 0x3F));
            return c < 0x800 || (c >= 0xD800 && c < 0xE000) ? kInvalid : c;
        }
        case 4: {
            if (b(0) > 0xF4) return kInvalid;
            char32_t c = static_cast<char32_t>((b(0) & 0x07) << 18 | (b(1) & 0x3F) << 12 |
                                               (b(2) & 0x3F) << 6 | (b(3) & 0x3F));
            return c < 0x10000 || c > 0x10FFFF ? kInvalid : c;
        }
        default:
            return kInvalid;
    }
}

}  // namespace

char16_t character_of(std::uint16_t code) {
    if (code < 0x100) return kSingleByte[code];
    auto lead = static_cast<unsigned char>(code >> 8);
    if (!is_lead_byte(lead)) return kNone;
    return double_byte(lead, static_cast<unsigned char>(code & 0xFF));
}

int code_of(char32_t c) {
    std::uint16_t code = encoder()[c];
    return code == Encoder::kUnmapped ? -1 : code;
}

// Both conversions write into a string sized for the longest possible result
// and cut it to what was written: no byte is appended one at a time.

std::string to_utf8(std::string_view cp932) {
    // A byte gives at most three bytes of UTF-8 (half-width katakana), a pair
    // at most three.
    std::string out(cp932.size() * 3, '\0');
    char* o = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(cp932.data());
    const auto* end = p + cp932.size();
    while (p < end) {
        unsigned char b = *p++;
        if (b < 0x80) {
            *o++ = static_cast<char>(b);
            continue;
        }
        char16_t c = kSingleByte[b];
        if (is_lead_byte(b)) {
            c = p < end ? double_byte(b, *p) : kNone;
            // A pair that is no character gives one replacement for the lead
            // byte; the next byte is read again on its own.
            if (c == kNone) {
                c = 0xFFFD;
            } else {
                ++p;
            }
        }
        o = put_utf8(o, c);
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

std::string from_utf8(std::string_view utf8) {
    const Encoder& table = encoder();
    // Every character and every broken sequence gives at most as many bytes as
    // it takes in UTF-8.
    std::string out(utf8.size(), '\0');
    char* o = out.data();
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n) {
        auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            *o++ = static_cast<char>(b);
            ++i;
            continue;
        }
        std::size_t length = utf8_sequence_length(utf8.substr(i));
        std::uint16_t code = table[decode_utf8(utf8.substr(i, length))];
        i += length;
        if (code == Encoder::kUnmapped) {
            *o++ = '?';
        } else if (code < 0x100) {
            *o++ = static_cast<char>(code);
        } else {
            *o++ = static_cast<char>(code >> 8);
            *o++ = static_cast<char>(code & 0xFF);
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

std::string_view cut(std::string_view text, std::size_t max_bytes) {
    if (text.size() <= max_bytes) return text;
    std::size_t i = 0;
    while (i < max_bytes) {
        std::size_t width = is_lead_byte(static_cast<unsigned char>(text[i])) ? 2 : 1;
        if (i + width > max_bytes) break;
        i += width;
    }
    return text.substr(0, i);
}

}  // namespace tolven::cp932
