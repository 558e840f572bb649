#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "store/bet.hpp"

// Pure functions that turn record codes into the texts of race cards, file
// names and tables. Every text returned is CP932 bytes; inputs are record
// fields as they stand.
namespace tolven {

// The 4-byte racecourse name of a 2-character code ("06" -> "中山"); four
// spaces for a code not in the table. The comparison is exact (upper case).
const std::string& racecourse_name(std::string_view code);

// Number of racecourse codes in the table.
int racecourse_code_count();

// True when name is one of the table's 4-byte names (four spaces included).
bool is_racecourse_name(std::string_view name);

// "0" -> full-width space, "1".."8" -> 土 日 祝 月 火 水 木 金, else "".
std::string weekday_mark(std::string_view code);

// "1" 牡, "2" 牝, "3" half-width "ｾﾝ", else "".
std::string sex_text(std::string_view code);

// a - b as "%2d" when both convert to non-zero numbers, else two spaces.
std::string age_text(std::string_view a, std::string_view b);

// "1" -> half-width "ﾌﾞﾘﾝ", else one space.
std::string blinker_text(std::string_view code);

// "1".."4" -> "1kg減".."4kg減", "9" -> "2kg減", else a full-width space.
std::string apprentice_text(std::string_view code);

// The number right-aligned in the width of the text; blanks when it is 0.
std::string right_aligned_number(std::string_view text);

// "36" -> " 3- 6", "0412" -> " 4-12", "010203" -> " 1- 2- 3"; blanks (5 or 8)
// when a number is out of range. Other input lengths give "".
std::string combination_text(std::string_view combination);
// The bet a two-number combination names ("36" -> {3, 6}, "0412" -> {4, 12}),
// or nothing when it has another length or a number out of range.
std::optional<Bet> combination_bet(std::string_view combination);

// The official bracket (1..8) of horse h among n entries; 0 when n is not
// 1..18 or h is not 1..n.
int bracket_number(int entries, int horse);

// s with the len(t) characters from 1-based position p replaced by t: the
// characters are deleted and t inserted, so a short s simply grows.
std::string overwrite(std::string_view s, std::string_view t, std::size_t p);

// The bet text of two numbers, the smaller first (bet_text of pair_bet).
std::string pair_text(int a, int b);

}  // namespace tolven
