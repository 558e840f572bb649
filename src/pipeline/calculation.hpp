#pragma once

#include "model/race_day.hpp"

namespace tolven {

// The calculation run of a freshly built day, in this order, each step for
// every race before the next: the computer prediction's figures, the past-run
// indexes, the runner summaries, the four rankings, the computer bets.
void run_calculation(RaceDay& day);

}  // namespace tolven
