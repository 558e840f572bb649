#pragma once

// A sample race run: the field's numbers, jockeys and weights, the going,
// and the times and finishing order the runners' performances give. Only the
// sample feed uses it.

#include <vector>

#include "sample/sample_programme.hpp"
#include "sample/sample_stable.hpp"
#include "sample/sample_world.hpp"

namespace tolven::sample {

struct Runner {
    Horse* horse = nullptr;
    int number = 0;
    int bracket = 0;
    int jockey = 0;
    int weight = 550;
    double strength = 0;  // what the horse is worth on the day's race, before its form
    double expected = 0;  // what the market expects
    double performance = 0;
    double time = 0;  // seconds
    int time_tenths = 0;
    int last3f_tenths = 0;
    int position = 0;
};

// Horse numbers, brackets, jockeys and carried weights of a field.
std::vector<Runner> entries(const RacePlan& plan, const std::vector<Horse*>& field, int year,
                            Rng& rng);

// How a race's result varies: a runner's performance on the day is its
// strength with a normal error of this spread (a standard deviation).
constexpr double kFormSpread = 1.4;
// How far the public's view of a runner (what the market expects of it) is
// off its strength: the error drawn, and the part of it the public keeps
// (the rest it reads off the paddock, the stable and the money).
constexpr double kMarketError = 0.7;
constexpr double kPublicError = 0.2;

struct Going {
    int turf = 1;
    int dirt = 1;
};

// The going of a race day's turf and dirt tracks.
Going draw_going(Rng& rng);

// Times, last three furlongs and finishing order: the fastest time wins,
// positions follow the times, and now and then two share a place.
void run_race(const RacePlan& plan, const Course& c, const Going& going,
              std::vector<Runner>& runners, Rng& rng);

}  // namespace tolven::sample
