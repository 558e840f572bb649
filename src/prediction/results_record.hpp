#pragma once

#include <string>
#include <vector>

#include "model/race_day.hpp"

namespace tolven {

// The results record of the loaded day ("実績表"): the official quinella,
// bracket-quinella and wide payouts of every race, first against the
// computer bets, then against the user bets, with the hits marked "的中".
// With hits_only only the hit lines are listed. Lines are CP932.
std::vector<std::string> results_record(const RaceDay& day, bool hits_only);

}  // namespace tolven
