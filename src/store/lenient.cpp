#include "store/lenient.hpp"

#include <climits>

namespace tolven {

int lenient_int(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) value = INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

std::string_view trim(std::string_view text) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::size_t find_line_break(std::string_view text, std::size_t from) {
    std::size_t cr = text.find('\r', from);
    // The LF can only matter before the first CR.
    std::string_view before = text.substr(0, cr);
    std::size_t lf = from < before.size() ? before.find('\n', from) : std::string_view::npos;
    return lf < cr ? lf : cr;
}

}  // namespace tolven
