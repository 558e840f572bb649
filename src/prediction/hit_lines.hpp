#pragma once

#include <string>
#include <vector>

#include "model/race_day.hpp"

namespace tolven {

// The hits of one day's computer bets against its payouts. Race by race, its
// quinella bets are checked against the quinella payouts, then against the
// wide payouts, then its bracket bets against the bracket-quinella payouts;
// each hit above the threshold (the higher one of "穴的中" when longshot) gives
// one line of the HTML list and one line of the cumulative list (CP932).
struct DayHits {
    std::vector<std::string> html;
    std::vector<std::string> cumulative;
};
DayHits day_hits(const RaceDay& day, bool longshot);

// What a day adds to the name of the TK file: year, month-day and course of
// its first race.
std::string hit_file_key(const RaceDay& day);

}  // namespace tolven
