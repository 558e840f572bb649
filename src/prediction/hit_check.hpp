#pragma once

#include <string_view>
#include <vector>

#include "store/bet.hpp"
#include "store/record.hpp"

namespace tolven {

// The hit rule of the hit check: a bet hits a payout entry of a group when
// its first number equals the combination's first number and its second the
// second, compared as numbers (a bet kept as read from a user file compares
// the numbers at its characters 1-2 and 4-5). With positive_numbers both bet
// numbers must be above 0 (the quinella). Returns the amount of every entry
// the bet hits whose amount is above 0, in entry order: several with dead
// heats.
std::vector<int> hit_amounts(std::string_view payout_record, const PayoutGroup& group,
                             const Bet& bet, bool positive_numbers);

}  // namespace tolven
