#pragma once

#include <array>

#include "model/race_day.hpp"

namespace tolven {

// Ranks the figures of runners 0..runners-1: the largest gets rank 1; values
// are compared as their "%10.4f" texts, and on a tie the higher horse number
// ranks first; values of 0 or below are not ranked (rank 0).
RankArray rank_figures(const std::array<double, kMaxRunners>& values, int runners);

}  // namespace tolven
