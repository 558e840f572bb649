#pragma once

#include <string>
#include <string_view>

namespace tolven {

// The rules of the numeric entry field: a plain value text (optional "-",
// digits, optional "." and decimals) that is only ever appended to or cut at
// its end, and its formatted display.
struct NumericFormat {
    int integer_length = 9;
    int decimal_length = 3;
    bool minus = true;
    bool comma = true;
    bool decimal_fixed = false;
    bool integer_fixed = false;
};

// Integer digits (sign not counted) and decimals of a value text.
int integer_digits(std::string_view value);
int decimal_digits(std::string_view value);

// Turns any text (CP932) into a value text: full-width digits, minus and full
// stop become plain, a full-width comma is dropped, any other double-byte
// character ends the text; then digits, "-", "." and "," are taken from the
// start ("," skipped, a second "." or a "-" not first ends the text), decimals
// beyond the limit are cut, and too many integer digits empty the result.
std::string filter_numeric(std::string_view text, const NumericFormat& format);

// Leading zeros dropped ("0" when only zeros), "0" before a leading ".".
std::string normalise_numeric(std::string_view value);

// The display: sign, integer digits grouped by "," in threes, "." and
// decimals, padded by the fixed options.
std::string display_numeric(std::string_view value, const NumericFormat& format);

// Typing at the end of a value: the new value, or nothing when refused.
// digit: '0'..'9', '.', '-'.
bool type_numeric(std::string& value, char key, const NumericFormat& format);

// Backspace: the last character dropped, and a "." left at the end with it.
std::string erase_numeric(std::string_view value);

}  // namespace tolven
