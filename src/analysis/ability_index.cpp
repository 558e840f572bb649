#include "analysis/ability_index.hpp"

#include "analysis/base_times.hpp"
#include "store/lenient.hpp"
#include "store/record.hpp"

namespace tolven {

PastRunIndex rate_past_run(std::string_view se, std::string_view ra) {
    int track = field_int(ra, ra::track);
    bool jump = track >= 51 && track <= 59;
    char surface = (track > 22 || jump) ? '2' : '1';
    int going_code = field_int(ra, surface == '1' ? ra::turf_going : ra::dirt_going);
    char going = going_code > 2 ? '2' : '1';

    int time = 0;
    std::string_view t = field_text(se, se::running_time);
    if (!jump && t.size() == 4 && !trim(t).empty() && t != "0000" && t != "9999") {
        time = lenient_int(t.substr(0, 1)) * 600 + lenient_int(t.substr(1, 2)) * 10 +
               lenient_int(t.substr(3, 1));
    }
    int last = 0;
    std::string_view l = field_text(se, se::last_three_furlongs);
    if (!jump && l.size() == 3 && !trim(l).empty() && l != "000" && l != "999") {
        last = lenient_int(l);
        // 0xx, 1xx and 2xx mean a minute and more: "015" is 61.5 seconds.
        if (l[0] == '0' || l[0] == '1' || l[0] == '2') last += 600;
    }

    std::string_view distance = field_text(ra, ra::distance);
    double base =
        base_time(base_time_key(field_text(ra, header::course), distance, surface, going));
    PastRunIndex index;
    if (base == 1.0) return index;
    int metres = lenient_int(distance);
    if (time > 0) index.time = base / (time / 10.0) * 100;
    if (last > 0 && metres > 0) index.f3 = base / (last / 10.0) * (600.0 / metres) * 100;
    return index;
}

void rate_past_run(RaceDay& day, int n, int r, int j) {
    PastRunIndex index = rate_past_run(day.past_run_of(n, r, j), day.past_race_of(n, r, j));
    RunnerFigures& f = day.figures[n].runner[r];
    f.past_time_index[j] = index.time;
    f.past_f3_index[j] = index.f3;
}

RunnerSummary summarise(const PastFigures& time_index, const PastFigures& f3_index) {
    RunnerSummary s;
    double time_sum = 0, f3_sum = 0;
    int time_count = 0, f3_count = 0;
    for (int j = 1; j <= kPastRuns; ++j) {
        if (time_index[j] > 0) {
            time_sum += time_index[j];
            ++time_count;
        }
        if (f3_index[j] > 0) {
            f3_sum += f3_index[j];
            ++f3_count;
        }
    }
    if (time_count > 0) s.time_ability = time_sum / time_count;
    if (f3_count > 0) s.f3_ability = f3_sum / f3_count;
    s.trend = 98;
    for (int k = 1; k <= 4; ++k) {
        if (time_index[k] > 0 && time_index[k + 1] > 0) {
            s.trend -= time_index[k + 1] - time_index[k];
        }
    }
    double a = s.time_ability > 0 ? s.time_ability : 90;
    double b = s.f3_ability > 0 ? s.f3_ability : 90;
    double c = s.trend > 0 ? s.trend : 0;
    s.composite = a + b + c;
    return s;
}

void summarise_runner(RaceDay& day, int n, int r) {
    RunnerFigures& f = day.figures[n].runner[r];
    RunnerSummary s = summarise(f.past_time_index, f.past_f3_index);
    f.time_ability = s.time_ability;
    f.f3_ability = s.f3_ability;
    f.trend = s.trend;
    f.composite = s.composite;
}

}  // namespace tolven
