#pragma once

#include <cstddef>
#include <string_view>

namespace tolven {

// Decimal text to integer the way every numeric field of a record is read:
// leading blanks skipped, an optional "+" or "-", then digits up to the first
// character that is not one. No digit gives 0, and 0 means "absent" to every
// reader ("0012" -> 12, "12 " -> 12, "A" -> 0, "-3" -> -3). Values too large
// for an int saturate instead of overflowing.
int lenient_int(std::string_view text);

// The text without leading and trailing blanks and control characters (bytes
// up to 0x20). Full-width blanks are kept: they are part of a padded text.
std::string_view trim(std::string_view text);

// The position of the first CR or LF at or after from, npos when there is
// none. As find_first_of("\r\n", from), in two scans for one byte each
// instead of a search of the two-byte set for every byte of the text.
std::size_t find_line_break(std::string_view text, std::size_t from = 0);

}  // namespace tolven
