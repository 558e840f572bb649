#include "layouts/view_tables.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "prediction/computer_prediction.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/lenient.hpp"

namespace tolven {
namespace {

std::string figure(double v) {
    if (v <= 0) return {};
    char text[64];
    std::snprintf(text, sizeof text, "%6.2f", v);
    return text;
}

std::string rank(int r) {
    if (r <= 0) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%2d", r);
    return text;
}

std::string number_text(int v) {
    char text[32];
    std::snprintf(text, sizeof text, "%d", v);
    return text;
}

}  // namespace

unsigned bracket_colour(int bracket) {
    static const unsigned colours[] = {0xFFFFFF, 0x808080, 0xFF0000, 0x0000FF,
                                       0xFFFF00, 0x00FF00, 0xFF8000, 0xFF00FF};
    return bracket >= 1 && bracket <= 8 ? colours[bracket - 1] : 0;
}

std::array<std::string, 12> calc_time_headings() {
    return {sj("枠"),    sj("番"),    sj("馬名"), sj("前5走"), sj("前4走"), sj("前3走"),
            sj("前2走"), sj("前1走"), sj("平均"), sj("順位"),  sj("推移"),  sj("順位")};
}

std::array<std::string, 10> calc_f3_headings() {
    std::array<std::string, 10> headings;
    auto time = calc_time_headings();
    std::copy_n(time.begin(), headings.size(), headings.begin());
    return headings;
}

std::array<std::string, 13> allocation_headings() {
    std::array<std::string, 13> headings{sj("R"), sj("勝負度"), sj("投資額")};
    for (int i = 1; i <= 9; ++i) headings[static_cast<std::size_t>(2 + i)] = sj("買目") + std::to_string(i);
    headings[12] = sj("点数/計");
    return headings;
}

std::string allocation_legend() {
    return sj("各レース上段：レース・勝負度・買い目（馬連）・点数　"
              "下段：投資金額・買い目ごとの金額・合計金額");
}

unsigned bracket_text_colour(int bracket) {
    static const unsigned colours[] = {0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                                       0x000000, 0x000000, 0x000000, 0xFFFFFF};
    return bracket >= 1 && bracket <= 8 ? colours[bracket - 1] : 0;
}

std::vector<std::array<std::string, 6>> computer_prediction_rows(const RaceDay& day, int n) {
    std::vector<std::array<std::string, 6>> rows;
    auto marks = mark_cells(day, n);
    const RaceFigures& f = day.figures[n];
    for (int r = 0; r < day.runners(n); ++r) {
        std::array<std::string, 6> row;
        row[0] = std::string(field_text(day.runner[n][r], se::bracket));
        row[1] = right_aligned_number(field_text(day.runner[n][r], se::horse_number));
        row[2] = marks[static_cast<std::size_t>(r)];
        row[3] = day.horse_name(n, r);
        char text[64];
        std::snprintf(text, sizeof text, "%2d", f.composite_rank[r + 1]);
        row[4] = text;
        std::snprintf(text, sizeof text, "%7.3f", f.runner[r].composite);
        row[5] = text;
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::string> bet_list_lines(const BetList& bets) {
    std::vector<std::string> lines;
    for (const Bet& b : bets) lines.push_back("  " + bet_text(b));
    return lines;
}

std::vector<std::string> filled_bet_list_lines(const BetList& bets) {
    std::vector<std::string> lines;
    for (const Bet& b : bets) {
        if (!b.empty()) lines.push_back("  " + bet_text(b));
    }
    return lines;
}

namespace {

// The columns both calculation tables begin with: bracket, horse number, name,
// then the index of each past run from the fifth back to the latest.
template <std::size_t Columns>
std::array<std::string, Columns> calc_row_start(const RaceDay& day, int n, int r,
                                                const PastFigures& past_index) {
    std::array<std::string, Columns> row;
    row[0] = std::string(field_text(day.runner[n][r], se::bracket));
    row[1] = right_aligned_number(field_text(day.runner[n][r], se::horse_number));
    row[2] = day.horse_name(n, r);
    for (int j = kPastRuns; j >= 1; --j)
        row[static_cast<std::size_t>(3 + kPastRuns - j)] = figure(past_index[j]);
    return row;
}

}  // namespace

std::vector<std::array<std::string, 12>> calc_time_rows(const RaceDay& day, int n) {
    std::vector<std::array<std::string, 12>> rows;
    const RaceFigures& f = day.figures[n];
    for (int r = 0; r < day.runners(n); ++r) {
        const RunnerFigures& rf = f.runner[r];
        auto row = calc_row_start<12>(day, n, r, rf.past_time_index);
        row[8] = figure(rf.time_ability);
        row[9] = rank(f.time_rank[r + 1]);
        row[10] = figure(rf.trend);
        row[11] = rank(f.trend_rank[r + 1]);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::array<std::string, 10>> calc_f3_rows(const RaceDay& day, int n) {
    std::vector<std::array<std::string, 10>> rows;
    const RaceFigures& f = day.figures[n];
    for (int r = 0; r < day.runners(n); ++r) {
        const RunnerFigures& rf = f.runner[r];
        auto row = calc_row_start<10>(day, n, r, rf.past_f3_index);
        row[8] = figure(rf.f3_ability);
        row[9] = rank(f.f3_rank[r + 1]);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string contents_title(const RaceDay& day, int n) {
    char number[32];
    std::snprintf(number, sizeof number, "%2dR", day.race_number(n));
    return number + sj("　") + std::string(field_text(day.race[n], ra::race_name));
}

std::vector<std::array<std::string, 8>> contents_rows(const RaceDay& day, int n) {
    std::vector<std::array<std::string, 8>> rows;
    for (int r = 0; r < day.runners(n); ++r) {
        const std::string& se = day.runner[n][r];
        std::array<std::string, 8> row;
        row[0] = std::string(field_text(se, se::bracket));
        row[1] = right_aligned_number(field_text(se, se::horse_number));
        row[2] = day.horse_name(n, r);
        row[3] = std::string(field_text(se, se::jockey));
        std::string_view weight = field_text(se, se::carried_weight);
        row[4] = std::string(weight.substr(0, 2)) + "." +
                 std::string(weight.substr(std::min<std::size_t>(2, weight.size()), 1));
        row[5] = sex_text(field_text(se, se::sex)) + right_aligned_number(field_text(se, se::age));
        row[6] = blinker_text(field_text(se, se::blinker));
        row[7] = apprentice_text(field_text(se, se::apprentice));
        rows.push_back(std::move(row));
    }
    return rows;
}

double AbilityOrderEntry::value() const {
    return std::strtod(key.substr(0, 7).c_str(), nullptr);
}

std::string AbilityOrderEntry::label() const {
    return key.substr(8, 2);
}

namespace {

std::string no_history_score_text() {
    char text[32];
    std::snprintf(text, sizeof text, "%7.3f", kNoHistoryComposite);
    return text;
}

}  // namespace

bool AbilityOrderEntry::without_history() const {
    static const std::string exact = no_history_score_text();
    return key.compare(0, 7, exact) == 0;
}

bool AbilityOrderEntry::near_no_history() const {
    static const std::string whole = no_history_score_text().substr(0, 3);
    return key.compare(0, 3, whole) == 0;
}

std::vector<AbilityOrderEntry> ability_order(const RaceDay& day, int n) {
    std::vector<AbilityOrderEntry> keys;
    for (int r = 0; r < day.runners(n); ++r) {
        double score = day.figures[n].runner[r].composite;
        char key[64];
        if (score == 0) {
            std::snprintf(key, sizeof key, "0000000-%2d", r + 1);
        } else {
            std::snprintf(key, sizeof key, "%7.3f-%2d", score, r + 1);
        }
        keys.push_back({key});
    }
    std::sort(keys.begin(), keys.end(), [](const AbilityOrderEntry& a, const AbilityOrderEntry& b) {
        return a.key > b.key;
    });
    return keys;
}

std::vector<GraphPoint> ability_order_bars(const RaceDay& day, int n) {
    std::vector<GraphPoint> bars;
    for (const AbilityOrderEntry& entry : ability_order(day, n)) {
        std::size_t p = bars.size();
        GraphPoint bar;
        bar.value = entry.value();
        bar.label = entry.label();
        bar.colour = entry.without_history() ? kGrey
                     : p == 0                ? kRed
                     : p == 1                ? kMagenta
                     : p <= 5                ? kLime
                                             : kYellow;
        bars.push_back(bar);
    }
    return bars;
}

std::vector<GraphPoint> composite_bars(const RaceDay& day, int n) {
    std::vector<GraphPoint> bars;
    for (int r = 0; r < day.runners(n); ++r) {
        double score = day.figures[n].runner[r].composite;
        bars.push_back({score, number_text(r + 1), score == 0 ? kGrey : kRed});
    }
    return bars;
}

RunnerTrend runner_trend(const RaceDay& day, int n, int r) {
    RunnerTrend t;
    const RunnerFigures& rf = day.figures[n].runner[r];
    for (int k = 1; k <= kPastRuns; ++k) {
        t.time.push_back({rf.past_time_index[k], sj("前") + number_text(k) + sj("走"), kRed});
        t.f3.push_back({rf.past_f3_index[k], number_text(k), kGreenDark});
        int position = field_int(day.past_run_of(n, r, k), se::finish);
        unsigned colour = position == 0   ? kGrey
                          : position == 1 ? kRed
                          : position == 2 ? kMagenta
                                          : kYellow;
        t.position.push_back(
            {0, position == 0 ? sj("なし") : number_text(position) + sj("着"), colour});
    }
    return t;
}

ComparisonBars comparison_bars(const RaceDay& day, int n, int run) {
    ComparisonBars c;
    for (int r = 0; r < day.runners(n); ++r) {
        const RunnerFigures& rf = day.figures[n].runner[r];
        double time = run >= 1 && run <= kPastRuns ? rf.past_time_index[run] : rf.time_ability;
        double f3 = run >= 1 && run <= kPastRuns ? rf.past_f3_index[run] : rf.f3_ability;
        c.time.push_back({time, number_text(r + 1), time == 0 ? kGrey : kRed});
        c.f3.push_back({f3, number_text(r + 1), f3 == 0 ? kGrey : kGreenDark});
    }
    return c;
}

std::string axis_number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string digits(text);
    std::size_t start = digits[0] == '-' ? 1 : 0;
    std::size_t point = digits.find('.');
    for (std::size_t at = point; at > start + 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

std::string graph_values_text(const std::vector<GraphPoint>& points,
                              std::string_view label_suffix) {
    static const std::string separator = sj("、");
    std::string text;
    for (const auto& p : points) {
        if (!text.empty()) text += separator;
        std::string_view label = p.label;
        while (!label.empty() && label.front() == ' ') label.remove_prefix(1);
        text += std::string(label) + std::string(label_suffix) + " " + axis_number(p.value);
    }
    return text;
}

std::string positions_text(const RunnerTrend& trend) {
    static const std::string separator = sj("、");
    std::string text;
    for (std::size_t k = 0; k < trend.position.size(); ++k) {
        if (!text.empty()) text += separator;
        std::string run = k < trend.time.size() ? trend.time[k].label : std::string();
        text += run + " " + trend.position[k].label;
    }
    return text;
}

}  // namespace tolven
