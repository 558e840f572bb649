#include "sample/sample_race.hpp"

#include <algorithm>
#include <cmath>

#include "store/code_tables.hpp"

namespace tolven::sample {

std::vector<Runner> entries(const RacePlan& plan, const std::vector<Horse*>& field, int year,
                            Rng& rng) {
    int size = static_cast<int>(field.size());
    std::vector<Runner> runners;
    for (int i = 0; i < size; ++i) {
        Runner r;
        r.horse = field[static_cast<std::size_t>(i)];
        const Horse& h = *r.horse;
        r.number = i + 1;
        r.bracket = bracket_number(size, r.number);
        r.jockey = rng.chance(0.7) ? h.jockey : rng.below(static_cast<int>(jockeys().size()));
        int age = year - h.birth_year;
        int weight = age <= 2 ? 550 : plan.jump ? 600 : 570;
        if (!young_race(plan) && age == 3) weight -= 20;
        if (h.sex == '2') weight -= 20;
        int wins = plan.jump ? h.jump_wins : h.wins;
        if (plan.weight_type == 1) weight += (wins - 2) * 10 + rng.below(3) * 5;
        if (plan.weight_type == 2) weight += std::min(wins, 6) * 5;
        char apprentice = jockeys()[static_cast<std::size_t>(r.jockey)].apprentice;
        if (apprentice >= '1' && apprentice <= '3' && plan.grade == ' ') {
            weight -= (apprentice - '0') * 10;
        }
        r.weight = weight;
        runners.push_back(r);
    }
    return runners;
}

Going draw_going(Rng& rng) {
    auto going_of = [&](bool turf) {
        int g = rng.below(100);
        if (turf) return g < 72 ? 1 : g < 88 ? 2 : g < 96 ? 3 : 4;
        return g < 55 ? 1 : g < 78 ? 2 : g < 92 ? 3 : 4;
    };
    Going going;
    going.turf = going_of(true);
    going.dirt = going_of(false);
    return going;
}

// Times, last three furlongs and finishing order: the fastest time wins,
// positions follow the times, and now and then two share a place.
void run_race(const RacePlan& plan, const Course& c, const Going& going,
              std::vector<Runner>& runners, Rng& rng) {
    int g = plan.turf ? going.turf : going.dirt;
    double base =
        plan.jump ? plan.distance * 0.0655 : standard_time(plan.distance, plan.turf) * c.speed;
    if (g >= 3) base *= plan.turf ? 1.018 : 0.994;
    if (g == 2) base *= plan.turf ? 1.006 : 0.998;
    double pace = rng.normal(0, 0.004);
    double base3f = plan.turf ? 34.9 : 37.7;
    base3f += (plan.distance - 1600) * 0.0006;
    if (g >= 3) base3f += plan.turf ? 0.7 : -0.2;
    base3f += rng.normal(0, 0.5);
    for (auto& r : runners) {
        const Horse& h = *r.horse;
        double fit = (plan.turf ? h.turf_preference : -h.turf_preference) * 0.6 -
                     std::abs(std::log(static_cast<double>(plan.distance) / h.best_distance)) * 5.0;
        double skill = jockeys()[static_cast<std::size_t>(r.jockey)].skill;
        r.strength = h.ability + fit + skill;
        r.expected = r.strength + rng.normal(0, kMarketError);
        r.performance = r.strength + rng.normal(0, kFormSpread);
        r.time = base * (1.0 + pace) * (1.0 + (100.0 - r.performance) / 220.0);
        double l3 = base3f + (100.0 - r.performance) * 0.09 - h.kick * 0.35 + rng.normal(0, 0.3);
        r.last3f_tenths = static_cast<int>(std::lround(std::clamp(l3, 31.5, 45.0) * 10));
    }
    std::vector<Runner*> order;
    for (auto& r : runners) order.push_back(&r);
    std::sort(order.begin(), order.end(), [](const Runner* a, const Runner* b) {
        return a->time != b->time ? a->time < b->time : a->number < b->number;
    });
    // A dead heat now and then, for one of the first three places.
    int dead_heat = rng.chance(0.006) ? 1 + rng.below(3) : 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i]->time_tenths = static_cast<int>(std::lround(order[i]->time * 10));
        if (i > 0) {
            order[i]->time_tenths = std::max(order[i]->time_tenths, order[i - 1]->time_tenths);
        }
        order[i]->position = static_cast<int>(i) + 1;
        if (dead_heat > 0 && static_cast<int>(i) == dead_heat) {
            order[i]->time_tenths = order[i - 1]->time_tenths;
            order[i]->position = order[i - 1]->position;
        }
    }
}

}  // namespace tolven::sample
