#include "store/cp932.hpp"

#include "platform/codepage.hpp"

namespace tolven::cp932 {

std::string to_utf8(std::string_view cp932) {
    return platform::cp932_to_utf8(cp932);
}

std::string from_utf8(std::string_view utf8) {
    return platform::utf8_to_cp932(utf8);
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
