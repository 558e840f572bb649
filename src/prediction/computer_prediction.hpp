#pragma once

#include <string>

#include "model/race_day.hpp"

namespace tolven {

// The computer prediction of every loaded race: each race is compared with its
// neighbour (distance times runners), and the result is turned into marked
// horses, a pattern letter and an axis horse by wrapping around the field.
void compute_computer_prediction(RaceDay& day);

// The 印 cell texts of race n, by runner slot: 注, then ×, ↓, ▲, a later mark
// overwriting an earlier one on the same horse (CP932; "" for no mark).
std::array<std::string, kMaxRunners> mark_cells(const RaceDay& day, int n);

}  // namespace tolven
