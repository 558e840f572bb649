// CP932 and UTF-8 conversion and the character-safe cut, on any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "store/cp932.hpp"

using namespace tolven;

namespace {

// True when text is well-formed UTF-8 (no overlong forms, no surrogates).
bool valid_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        std::size_t n;
        std::uint32_t c;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            n = 1, c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 2, c = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 3, c = b & 0x07;
        } else {
            return false;
        }
        if (i + n >= text.size()) return false;
        for (std::size_t k = 1; k <= n; ++k) {
            auto t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            c = (c << 6) | (t & 0x3F);
        }
        if ((n == 2 && c < 0x800) || (n == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
            (c >= 0xD800 && c <= 0xDFFF)) {
            return false;
        }
        i += n + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);

    // Any bytes read as CP932 (a damaged record) give well-formed UTF-8.
    std::string utf8 = cp932::to_utf8(input);
    if (!valid_utf8(utf8)) fuzz::finding("to_utf8 gave malformed UTF-8");

    // Any bytes read as UTF-8 give CP932 that converts to Unicode and back
    // unchanged: the texts the program composes survive the screen edge.
    std::string cp932_text = cp932::from_utf8(input);
    std::string shown = cp932::to_utf8(cp932_text);
    if (!valid_utf8(shown)) fuzz::finding("from_utf8 gave CP932 that is not CP932");
    if (cp932::from_utf8(shown) != cp932_text) fuzz::finding("CP932 did not survive a round trip");

    // A cut never splits a double-byte character and never grows the text.
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{18}, size / 2, size}) {
        std::string_view cut = cp932::cut(input, n);
        if (cut.size() > n && cut.size() != input.size()) fuzz::finding("a cut longer than asked");
        if (input.substr(0, cut.size()) != cut) fuzz::finding("a cut that is not a prefix");
        if (cut.size() < input.size() && cut.size() + 1 < n) fuzz::finding("a cut too short");
        // Walking characters from the start ends exactly at the cut.
        std::size_t i = 0;
        while (i < cut.size()) i += cp932::is_lead_byte(static_cast<unsigned char>(cut[i])) ? 2 : 1;
        if (i != cut.size() && cut.size() != input.size())
            fuzz::finding("a cut inside a character");
    }
    return 0;
}
