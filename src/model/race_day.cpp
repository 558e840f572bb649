#include "model/race_day.hpp"

#include <algorithm>

#include "store/cp932.hpp"

namespace tolven {

RaceDay::RaceDay() {
    blank();
}

void RaceDay::reset_predictions() {
    prediction.fill(ComputerPrediction{});
    bets.fill(RaceBets{});
}

void RaceDay::blank() {
    for (auto& r : race) r.assign(kRaceRecordSize, ' ');
    for (auto& p : payout) p.assign(kPayoutRecordSize, ' ');
    for (int n = 0; n < kMaxRaces; ++n) {
        for (int r = 0; r < kMaxRunners; ++r) {
            runner[n][r].assign(kRunnerRecordSize, ' ');
            for (int j = 1; j <= kPastRuns; ++j) {
                past_run[n][r][j].assign(kRunnerRecordSize, ' ');
                past_race[n][r][j].assign(kRaceRecordSize, ' ');
            }
        }
    }
    figures.fill(RaceFigures{});
    race_count = 0;
}

int RaceDay::runners(int n) const {
    return std::clamp(field_int(race[n], ra::entries), 0, kMaxRunners);
}

std::string RaceDay::horse_name(int n, int r) const {
    return std::string(cp932::cut(field_text(runner[n][r], se::horse_name), 18));
}

}  // namespace tolven
