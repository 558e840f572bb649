#pragma once

#include <string_view>

#include "model/race_day.hpp"

namespace tolven {

// The two indexes of one past run against its base time; 0 means no index.
struct PastRunIndex {
    double time = 0;
    double f3 = 0;
};

// Rates a past run (SE) in the race it belonged to (RA): 100 is a run exactly
// at base time, faster runs score higher. Jump races, missing or sentinel
// times and distances without a base time give 0.
PastRunIndex rate_past_run(std::string_view past_run, std::string_view past_race);

// Writes the two past indexes of [n][r][j] into the day.
void rate_past_run(RaceDay& day, int n, int r, int j);

// Time ability, three-furlong ability, trend and composite score of runner
// [n][r] from its ten past indexes.
void summarise_runner(RaceDay& day, int n, int r);

// The same from the indexes of past runs 1..5.
struct RunnerSummary {
    double time_ability = 0;
    double f3_ability = 0;
    double trend = 0;
    double composite = 0;
};
RunnerSummary summarise(const PastFigures& time_index, const PastFigures& f3_index);

}  // namespace tolven
