#pragma once

#include <string_view>
#include <vector>

#include "store/record.hpp"

namespace tolven {

// The two numbers of a bet text (" 4- 7" gives 4 and 7); a short text gives 0
// for what it lacks.
struct BetNumbers {
    int first = 0;
    int second = 0;
};
BetNumbers bet_numbers(std::string_view bet);

// The hit rule of the hit check: a bet text (" 4- 7": the two numbers at
// characters 1-2 and 4-5) hits a payout entry of a group when its first number
// equals the combination's first number and its second the second, compared
// as numbers. With positive_numbers both bet numbers must be above 0 (the
// quinella). Returns the amount of every entry the bet hits whose amount is
// above 0, in entry order: several with dead heats.
std::vector<int> hit_amounts(std::string_view payout_record, const PayoutGroup& group,
                             std::string_view bet, bool positive_numbers);

}  // namespace tolven
