#include "pipeline/calculation.hpp"

#include <algorithm>

#include "analysis/ability_index.hpp"
#include "analysis/ranking.hpp"
#include "prediction/bet_builder.hpp"
#include "prediction/computer_prediction.hpp"

namespace tolven {

void run_calculation(RaceDay& day) {
    compute_computer_prediction(day);

    int races = std::min(day.race_count, kMaxRaces);
    for (int n = 0; n < races; ++n) {
        for (int r = 0; r < kMaxRunners; ++r) {
            for (int j = 1; j <= kPastRuns; ++j) rate_past_run(day, n, r, j);
        }
    }
    for (int n = 0; n < races; ++n) {
        for (int r = 0; r < kMaxRunners; ++r) summarise_runner(day, n, r);
    }
    for (int n = 0; n < races; ++n) {
        RaceFigures& f = day.figures[n];
        std::array<double, kMaxRunners> time{}, f3{}, trend{}, composite{};
        for (int r = 0; r < kMaxRunners; ++r) {
            time[r] = f.runner[r].time_ability;
            f3[r] = f.runner[r].f3_ability;
            trend[r] = f.runner[r].trend;
            composite[r] = f.runner[r].composite;
        }
        int runners = day.runners(n);
        f.time_rank = rank_figures(time, runners);
        f.f3_rank = rank_figures(f3, runners);
        f.trend_rank = rank_figures(trend, runners);
        f.composite_rank = rank_figures(composite, runners);
    }
    for (int n = 0; n < races; ++n) build_computer_bets(day, n);
}

}  // namespace tolven
