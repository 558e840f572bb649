#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "model/race_day.hpp"
#include "store/code_tables.hpp"
#include "store/record_builder.hpp"

namespace tolven::testing {

// Fills the race and runner records of a day in memory: one race per
// (distance, runners) pair, runners with official brackets.
inline void set_races(RaceDay& day, const std::vector<std::pair<int, int>>& races,
                      int date = 20261205) {
    day.blank();
    day.reset_predictions();
    day.race_count = static_cast<int>(races.size());
    for (std::size_t n = 0; n < races.size(); ++n) {
        auto [distance, runners] = races[n];
        day.race[n] = RecordBuilder(RecordKind::Race)
                          .race(date, "06", 5, 3, static_cast<int>(n) + 1)
                          .number(ra::distance, distance)
                          .number(ra::entries, runners)
                          .number(ra::track, 17)
                          .str();
        for (int r = 0; r < runners && r < kMaxRunners; ++r) {
            day.runner[n][static_cast<std::size_t>(r)] =
                RecordBuilder(RecordKind::Runner)
                    .race(date, "06", 5, 3, static_cast<int>(n) + 1)
                    .number(se::bracket, bracket_number(runners, r + 1))
                    .number(se::horse_number, r + 1)
                    .str();
        }
    }
}

// A bet list written as the texts the lists show (" 4- 7"), from slot 0.
inline BetList bet_list(std::initializer_list<const char*> texts) {
    BetList list;
    std::size_t slot = 0;
    for (const char* text : texts) list.at(slot++) = bet_from_text(text);
    return list;
}

// The texts of bets, as the lists show them.
template <typename Bets>
std::vector<std::string> bet_texts(const Bets& bets) {
    std::vector<std::string> texts;
    for (const Bet& bet : bets) texts.push_back(bet_text(bet));
    return texts;
}

}  // namespace tolven::testing
