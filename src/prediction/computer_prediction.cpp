#include "prediction/computer_prediction.hpp"

#include <algorithm>
#include <cmath>

#include "store/cp932.hpp"
#include "store/lenient.hpp"

namespace tolven {
namespace {

// Whole number with a 0.6 threshold, in single precision as the figure is
// kept: 2.6 gives 3, 2.59 gives 2, -2.6 gives -3.
float whole(float v) {
    return v >= 0 ? std::trunc(v + 0.4f) : std::trunc(v - 0.4f);
}

int near(double y) {
    return static_cast<int>(std::trunc(y + 0.4));
}

// Reduces a pick above the field size to its remainder, and lifts one below
// 1 by the field size.
int wrap(int v, int n) {
    if (v > n) return v % n;
    if (v < 1) return v + n;
    return v;
}

int loaded_races(const RaceDay& day) {
    return std::min(day.race_count, kMaxRaces);
}

// A race whose ratio and field size are known gets marks, ratio numbers and
// a pattern; the others keep them cleared.
bool predictable(const ComputerPrediction& p) {
    return p.ratio_defined && p.runners != 0;
}

}  // namespace

void measure_race_sizes(RaceDay& day) {
    for (int n = 0; n < loaded_races(day); ++n) {
        ComputerPrediction& p = day.prediction[n];
        const std::string& ra = day.race[n];
        std::string_view year = field_text(ra, header::year);
        int distance = field_int(ra, ra::distance);
        int runners = day.runners(n);
        if (!trim(year).empty() && year != "0000" && distance > 0 && runners > 0) {
            p.size = static_cast<double>(runners * distance) / 200;
            p.runners = runners;
        }
    }
}

int neighbour_of(int n) {
    return n == 0 ? 1 : n - 1;
}

float race_value(int own, int neighbour_runners, double ratio) {
    double v;
    if (own == neighbour_runners) {
        v = own * ratio / 3;
    } else {
        double q = static_cast<double>(neighbour_runners) / own;
        v = (q > 0.5 && q < 2) ? (own - neighbour_runners) * ratio
                               : (own - neighbour_runners) * ratio * 2;
    }
    float value = static_cast<float>(v);
    if (ratio > 0 && ratio < 0.5) {
        value = value / 3;
    } else if (ratio >= 1.9) {
        value = value * 3;
    }
    return whole(value);
}

void compare_with_neighbours(RaceDay& day) {
    for (int n = 0; n < loaded_races(day); ++n) {
        ComputerPrediction& p = day.prediction[n];
        int neighbour = neighbour_of(n);
        double divisor = neighbour < kMaxRaces ? day.prediction[neighbour].size : 0;
        if (divisor == 0) continue;  // no neighbour to compare with: not computed
        p.ratio = p.size / divisor;
        p.ratio_defined = true;
        if (p.runners == 0) continue;
        p.direction = p.ratio >= 1 ? "+" : "-";
        p.value = race_value(p.runners, day.prediction[neighbour].runners, p.ratio);
    }
}

RaceMarks race_marks(float value, int size, bool up) {
    RaceMarks m;
    int v = static_cast<int>(value);
    int x = v == 0 ? size : ((v % size) + size) % size;
    if (x == 0) x = size;
    m.cross = x;
    int s = up ? 1 : -1;
    m.down = wrap(x + 3 * s, size);
    m.chu = wrap(x + 1 * s, size);
    m.triangle = wrap(x + 2 * s, size);
    return m;
}

bool counts_upwards(int n, const std::string& direction) {
    bool up = direction == "+";
    if (n == 0 || n == kMaxRaces - 1) up = !up;  // races 1 and 12 turn the other way
    return up;
}

void place_marks(RaceDay& day) {
    for (int n = 0; n < loaded_races(day); ++n) {
        ComputerPrediction& p = day.prediction[n];
        if (!predictable(p)) continue;
        RaceMarks m = race_marks(p.value, p.runners, counts_upwards(n, p.direction));
        p.cross = m.cross;
        p.down = m.down;
        p.chu = m.chu;
        p.triangle = m.triangle;
    }
}

RatioNumbers ratio_numbers(double r, int size) {
    int first = near(r);
    if (first == 0) first = size;
    int second = first + near(3 * r);
    int third = second + near(6 * r);
    if (first > size) first %= size;
    if (second > size) second %= size;
    if (third > size) third %= size;
    if (third == first) {
        third += near(6 * r);
        if (third > size) third %= size;
    }
    if (second == 0) second = size;
    if (third == 0) third = size;
    return {first, second, third};
}

void choose_pattern(ComputerPrediction& p) {
    auto in_s = [&](int h) { return h == p.first || h == p.second || h == p.third; };
    bool cross_in = in_s(p.cross), chu_in = in_s(p.chu), triangle_in = in_s(p.triangle);
    p.axis = p.chu;
    p.axis_is_cross = false;
    if (p.direction == "-") {
        if (cross_in && !chu_in && !triangle_in) {
            p.pattern = Pattern::A;
            p.axis = p.cross;
            p.axis_is_cross = true;
        } else if (chu_in && !cross_in && !triangle_in) {
            p.pattern = Pattern::A;
        } else if (chu_in) {
            p.pattern = Pattern::B;
        } else {
            p.pattern = Pattern::C;
        }
    } else {
        p.pattern = (chu_in && !cross_in && !triangle_in) ? Pattern::B : Pattern::C;
    }
}

void pick_ratio_numbers_and_pattern(RaceDay& day) {
    for (int n = 0; n < loaded_races(day); ++n) {
        ComputerPrediction& p = day.prediction[n];
        if (!predictable(p)) continue;
        RatioNumbers s = ratio_numbers(p.ratio, p.runners);
        p.first = s.first;
        p.second = s.second;
        p.third = s.third;
        choose_pattern(p);
    }
}

void compute_computer_prediction(RaceDay& day) {
    measure_race_sizes(day);
    compare_with_neighbours(day);
    place_marks(day);
    pick_ratio_numbers_and_pattern(day);
}

std::array<std::string, kMaxRunners> mark_cells(const RaceDay& day, int n) {
    std::array<std::string, kMaxRunners> cells;
    const ComputerPrediction& p = day.prediction[n];
    int size = day.runners(n);
    auto put = [&](int horse, const char* mark) {
        if (horse >= 1 && horse <= size) cells[static_cast<std::size_t>(horse - 1)] = sj(mark);
    };
    put(p.chu, "注");
    put(p.cross, "×");
    put(p.down, "↓");
    put(p.triangle, "▲");
    return cells;
}

}  // namespace tolven
