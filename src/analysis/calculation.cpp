#include "analysis/calculation.hpp"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/ability_index.hpp"
#include "prediction/bet_builder.hpp"
#include "prediction/computer_prediction.hpp"

namespace tolven {

RankArray rank_figures(const std::array<double, kMaxRunners>& values, int runners) {
    // Each ranked runner becomes the text "%10.4f%2d", so values equal to four
    // decimals tie and the horse number (the last two characters) decides.
    std::vector<std::string> entries;
    for (int p = 0; p < runners && p < kMaxRunners; ++p) {
        if (values[p] <= 0) continue;
        char text[64];
        std::snprintf(text, sizeof text, "%10.4f%2d", values[p], p + 1);
        entries.emplace_back(text);
    }
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    RankArray ranks{};
    int count = static_cast<int>(entries.size());
    for (int k = count - 1; k >= 0; --k) {
        const std::string& e = entries[static_cast<std::size_t>(k)];
        int horse = std::atoi(e.substr(e.size() - 2).c_str());
        if (horse >= 1 && horse <= kMaxRunners) ranks[horse] = count - k;
    }
    return ranks;
}

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
