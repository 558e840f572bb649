#include "prediction/computer_prediction.hpp"

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

}  // namespace

void compute_computer_prediction(RaceDay& day) {
    int count = std::min(day.race_count, kMaxRaces);
    for (int n = 0; n < count; ++n) {
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
    for (int n = 0; n < count; ++n) {
        ComputerPrediction& p = day.prediction[n];
        // Race 1 is compared with the race after it, every other race with
        // the race before it.
        int neighbour = n == 0 ? 1 : n - 1;
        double divisor = neighbour < kMaxRaces ? day.prediction[neighbour].size : 0;
        if (divisor == 0) continue;  // no neighbour to compare with: not computed
        p.ratio = p.size / divisor;
        p.ratio_defined = true;
        int m = day.prediction[neighbour].runners;
        int own = p.runners;
        if (own == 0) continue;
        double v;
        if (own == m) {
            v = own * p.ratio / 3;
        } else {
            double q = static_cast<double>(m) / own;
            v = (q > 0.5 && q < 2) ? (own - m) * p.ratio : (own - m) * p.ratio * 2;
        }
        float value = static_cast<float>(v);
        if (p.ratio > 0 && p.ratio < 0.5) {
            value = value / 3;
        } else if (p.ratio >= 1.9) {
            value = value * 3;
        }
        p.direction = p.ratio >= 1 ? "+" : "-";
        value = whole(value);
        p.value = value;
    }
    for (int n = 0; n < count; ++n) {
        ComputerPrediction& p = day.prediction[n];
        if (!p.ratio_defined || p.runners == 0) continue;
        int size = p.runners;
        int v = static_cast<int>(p.value);
        int x = v == 0 ? size : ((v % size) + size) % size;
        if (x == 0) x = size;
        p.cross = x;
        bool up = p.direction == "+";
        if (n == 0 || n == 11) up = !up;  // races 1 and 12 turn the other way
        int s = up ? 1 : -1;
        p.down = wrap(x + 3 * s, size);
        p.chu = wrap(x + 1 * s, size);
        p.triangle = wrap(x + 2 * s, size);
    }
    for (int n = 0; n < count; ++n) {
        ComputerPrediction& p = day.prediction[n];
        if (!p.ratio_defined || p.runners == 0) continue;
        int size = p.runners;
        double r = p.ratio;
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
        p.first = first;
        p.second = second;
        p.third = third;
        auto in_s = [&](int h) { return h == first || h == second || h == third; };
        bool cross_in = in_s(p.cross), chu_in = in_s(p.chu), triangle_in = in_s(p.triangle);
        p.axis = p.chu;
        p.axis_is_cross = false;
        if (p.direction == "-") {
            if (cross_in && !chu_in && !triangle_in) {
                p.pattern = "A";
                p.axis = p.cross;
                p.axis_is_cross = true;
            } else if (chu_in && !cross_in && !triangle_in) {
                p.pattern = "A";
            } else if (chu_in) {
                p.pattern = "B";
            } else {
                p.pattern = "C";
            }
        } else {
            p.pattern = (chu_in && !cross_in && !triangle_in) ? "B" : "C";
        }
    }
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
