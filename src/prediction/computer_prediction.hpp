#pragma once

#include <string>

#include "model/race_day.hpp"

namespace tolven {

// The computer prediction of every loaded race: each race is compared with its
// neighbour (distance times runners), and the result is turned into marked
// horses, a pattern letter and an axis horse by wrapping around the field.
// It runs the four phases below in order; each reads what the one before
// wrote, and a test can call them one at a time.
void compute_computer_prediction(RaceDay& day);

// Phase 1: the race-size figure X = runners * distance / 200 and the field
// size N of every race with a year, a distance and runners.
void measure_race_sizes(RaceDay& day);

// Phase 2: the neighbour ratio R (race 1 against race 2, every other race
// against the race before it), the direction mark and the race value V.
void compare_with_neighbours(RaceDay& day);
// The race slot that race slot n is compared with.
int neighbour_of(int n);
// V of a race of `own` runners against a neighbour of `neighbour_runners`,
// whole after rounding with the 0.6 threshold.
float race_value(int own, int neighbour_runners, double ratio);

// Phase 3: the × horse from V and the ↓, 注 and ▲ horses three, one and two
// places from it, counted up for "+" and down for "-".
void place_marks(RaceDay& day);
struct RaceMarks {
    int cross = 0;
    int down = 0;
    int chu = 0;
    int triangle = 0;
};
RaceMarks race_marks(float value, int size, bool up);
// Whether race slot n counts its marks upwards: "+" does, except in races 1
// and 12, which turn the other way.
bool counts_upwards(int n, const std::string& direction);

// Phase 4: the three ratio numbers from R, then the pattern letter and the
// axis horse from which marked horses they hit.
void pick_ratio_numbers_and_pattern(RaceDay& day);
struct RatioNumbers {
    int first = 0;
    int second = 0;
    int third = 0;
};
RatioNumbers ratio_numbers(double ratio, int size);
// Sets the pattern, the axis and whether the axis is the × horse, from the
// marks, the ratio numbers and the direction already in p.
void choose_pattern(ComputerPrediction& p);

// The 印 cell texts of race n, by runner slot: 注, then ×, ↓, ▲, a later mark
// overwriting an earlier one on the same horse (CP932; "" for no mark).
std::array<std::string, kMaxRunners> mark_cells(const RaceDay& day, int n);

}  // namespace tolven
