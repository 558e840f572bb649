#include "layouts/numeric_text.hpp"

#include "store/cp932.hpp"

namespace tolven {

int integer_digits(std::string_view value) {
    std::size_t point = value.find('.');
    std::string_view whole = value.substr(0, point);
    if (!whole.empty() && whole.front() == '-') whole.remove_prefix(1);
    return static_cast<int>(whole.size());
}

int decimal_digits(std::string_view value) {
    std::size_t point = value.find('.');
    return point == std::string_view::npos ? 0 : static_cast<int>(value.size() - point - 1);
}

std::string filter_numeric(std::string_view text, const NumericFormat& format) {
    // Full-width forms to plain ones.
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto b = static_cast<unsigned char>(text[i]);
        if (!cp932::is_lead_byte(b)) {
            plain += text[i];
            continue;
        }
        if (i + 1 >= text.size()) break;
        auto t = static_cast<unsigned char>(text[i + 1]);
        if (b == 0x82 && t >= 0x4F && t <= 0x58) {
            plain += static_cast<char>('0' + (t - 0x4F));
        } else if (b == 0x81 && t == 0x7C) {
            plain += '-';
        } else if (b == 0x81 && t == 0x44) {
            plain += '.';
        } else if (b == 0x81 && t == 0x43) {
            // a full-width comma is dropped
        } else {
            break;
        }
        ++i;
    }
    std::string value;
    bool point = false;
    for (char c : plain) {
        if (c >= '0' && c <= '9') {
            value += c;
        } else if (c == ',') {
            continue;
        } else if (c == '.') {
            if (format.decimal_length <= 0 || point) break;
            point = true;
            value += c;
        } else if (c == '-') {
            if (!format.minus || !value.empty()) break;
            value += c;
        } else {
            break;
        }
    }
    if (point) {
        std::size_t p = value.find('.');
        std::size_t keep = p + 1 + static_cast<std::size_t>(format.decimal_length);
        if (value.size() > keep) value.resize(keep);
    }
    if (integer_digits(value) > format.integer_length) return {};
    return value;
}

std::string normalise_numeric(std::string_view value) {
    std::string sign;
    if (!value.empty() && value.front() == '-') {
        sign = "-";
        value.remove_prefix(1);
    }
    std::size_t point = value.find('.');
    std::string whole(value.substr(0, point));
    std::string rest(point == std::string_view::npos ? "" : value.substr(point));
    std::size_t first = whole.find_first_not_of('0');
    if (first == std::string::npos) {
        whole = whole.empty() ? "" : "0";
    } else {
        whole = whole.substr(first);
    }
    if (whole.empty() && !rest.empty()) whole = "0";
    return sign + whole + rest;
}

std::string display_numeric(std::string_view value, const NumericFormat& format) {
    if (value.empty()) return {};
    std::string sign;
    if (value.front() == '-') {
        sign = "-";
        value.remove_prefix(1);
    }
    std::size_t point = value.find('.');
    std::string whole(value.substr(0, point));
    std::string decimals(point == std::string_view::npos ? "" : value.substr(point + 1));
    bool has_point = point != std::string_view::npos;
    if (whole.empty() && (format.integer_fixed || format.decimal_fixed)) whole = "0";
    if (format.comma) {
        std::string grouped;
        for (std::size_t i = 0; i < whole.size(); ++i) {
            if (i > 0 && (whole.size() - i) % 3 == 0) grouped += ',';
            grouped += whole[i];
        }
        whole = grouped;
    }
    if (format.decimal_fixed && format.decimal_length > 0) {
        decimals.resize(static_cast<std::size_t>(format.decimal_length), '0');
        has_point = true;
    }
    return sign + whole + (has_point ? "." + decimals : "");
}

bool type_numeric(std::string& value, char key, const NumericFormat& format) {
    if (key >= '0' && key <= '9') {
        bool point = value.find('.') != std::string::npos;
        if (point ? decimal_digits(value) >= format.decimal_length
                  : integer_digits(value) >= format.integer_length) {
            return false;
        }
        value = normalise_numeric(value + key);
        return true;
    }
    if (key == '.') {
        if (format.decimal_length <= 0 || value.find('.') != std::string::npos) return false;
        value = normalise_numeric(value + '.');
        return true;
    }
    if (key == '-') {
        if (!format.minus) return false;
        value = value.empty() || value.front() != '-' ? "-" + value : value.substr(1);
        return true;
    }
    return false;
}

std::string erase_numeric(std::string_view value) {
    if (value.empty()) return {};
    std::string v(value.substr(0, value.size() - 1));
    if (!v.empty() && v.back() == '.') v.pop_back();
    return v;
}

}  // namespace tolven
