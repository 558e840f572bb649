#include "layouts/view_tables.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "store/cp932.hpp"
#include "support/race_day_builder.hpp"

namespace tolven {
namespace {

using namespace tolven::testing;

std::string joined(const std::vector<std::string>& cells) {
    std::string t;
    for (const auto& c : cells) t += cp932::to_utf8(c) + "|";
    return t;
}
template <std::size_t N>
std::string joined(const std::array<std::string, N>& cells) {
    return joined(std::vector<std::string>(cells.begin(), cells.end()));
}

TEST(CalcTable, PastRunsOldestLeftAndOnlyPositiveFigures) {
    RaceDay day;
    set_races(day, {{1600, 3}});
    RunnerFigures& two = day.figures[0].runner[0];  // two earlier runs
    two.past_time_index = {101.25, 99.5, 0, 0, 0};
    two.past_f3_index = {100.0, 0, 0, 0, 0};
    two.time_ability = 100.375;
    two.f3_ability = 100.0;
    two.trend = -3.5;  // negative: shown empty
    day.figures[0].time_rank[1] = 1;
    day.figures[0].trend_rank[1] = 3;
    day.figures[0].runner[1].trend = 98;
    auto rows = calc_time_rows(day, 0);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(joined(rows[0]), "1| 1|                  |||| 99.50|101.25|100.38| 1|| 3|");
    EXPECT_EQ(joined(rows[1]), "2| 2|                  |||||||| 98.00||");
    auto f3 = calc_f3_rows(day, 0);
    EXPECT_EQ(joined(f3[0]), "1| 1|                  |||||100.00|100.00||");
}

TEST(ComputerPage, RowsMarksAndBetLists) {
    RaceDay day;
    set_races(day, {{1600, 4}});
    day.prediction[0].chu = 2;
    day.prediction[0].cross = 3;
    day.figures[0].composite_rank[2] = 1;
    day.figures[0].runner[1].composite = 301.2345;
    auto rows = computer_prediction_rows(day, 0);
    EXPECT_EQ(joined(rows[1]), "2| 2|注|                  | 1|301.235|");
    EXPECT_EQ(joined(rows[2]), "3| 3|×|                  | 0|  0.000|");
    BetList bets = bet_list({" 4- 7", " 2- 4"});
    std::vector<std::string> lines = bet_list_lines(bets);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "   4- 7");
    EXPECT_EQ(lines[8], "  ");
    EXPECT_FALSE(day.bracket_quinella_sold(0));
    day.from_2005 = false;
    EXPECT_TRUE(day.bracket_quinella_sold(0));
}

TEST(RaceContents, TitleAndRowsUseTheRecordAge) {
    RaceDay day;
    set_races(day, {{1600, 3}});
    day.race[0].replace(ra::race_name.offset, 8, sj("師走特別"));
    auto put = [&](int r, const char* sex, const char* age, const char* weight, const char* blinker,
                   const char* apprentice) {
        std::string& se = day.runner[0][static_cast<std::size_t>(r)];
        se.replace(se::sex.offset, 1, sex);
        se.replace(se::age.offset, 2, age);
        se.replace(se::carried_weight.offset, 3, weight);
        se.replace(se::blinker.offset, 1, blinker);
        se.replace(se::apprentice.offset, 1, apprentice);
        se.replace(se::jockey.offset, 6, sj("横山典"));
    };
    put(0, "1", "04", "575", "1", "9");
    put(1, "5", "03", "550", " ", "0");
    put(2, "2", "  ", "540", "0", " ");
    EXPECT_EQ(cp932::to_utf8(contents_title(day, 0)).rfind(" 1R　師走特別", 0), 0u);
    auto rows = contents_rows(day, 0);
    EXPECT_EQ(joined(rows[0]), "1| 1|                  |横山典  |57.5|牡 4|ﾌﾞﾘﾝ|2kg減|");
    EXPECT_EQ(joined(rows[1]), "2| 2|                  |横山典  |55.0| 3| |　|");
    EXPECT_EQ(joined(rows[2]), "3| 3|                  |横山典  |54.0|牝  | |　|");
}

TEST(TimeGraphs, AbilityOrderColours) {
    RaceDay day;
    set_races(day, {{1600, 8}});
    double scores[] = {290, 278, 300, 295, 280, 285, 283, 281};
    for (int r = 0; r < 8; ++r)
        day.figures[0].runner[static_cast<std::size_t>(r)].composite = scores[r];
    std::vector<GraphPoint> bars = ability_order_bars(day, 0);
    std::string order;
    for (const auto& b : bars) order += b.label + ":" + std::to_string(b.colour) + " ";
    EXPECT_EQ(order, " 3:" + std::to_string(kRed) + "  4:" + std::to_string(kMagenta) +
                         "  1:" + std::to_string(kLime) + "  6:" + std::to_string(kLime) +
                         "  7:" + std::to_string(kLime) + "  8:" + std::to_string(kLime) +
                         "  5:" + std::to_string(kYellow) + "  2:" + std::to_string(kGrey) + " ");
    EXPECT_DOUBLE_EQ(bars[0].value, 300.0);
    // 278.000 is grey even in first place.
    RaceDay plain;
    set_races(plain, {{1600, 6}});
    for (int r = 0; r < 6; ++r)
        plain.figures[0].runner[static_cast<std::size_t>(r)].composite = 278;
    bars = ability_order_bars(plain, 0);
    EXPECT_EQ(bars[0].colour, kGrey);
    EXPECT_EQ(bars[0].label, " 6");  // equal scores: the higher number first
    for (int r = 0; r < 6; ++r)
        plain.figures[0].runner[static_cast<std::size_t>(r)].composite = 280 + r;
    for (const auto& b : ability_order_bars(plain, 0)) EXPECT_NE(b.colour, kYellow);
    // Page 2: by number, red or grey at 0.
    plain.figures[0].runner[2].composite = 0;
    std::vector<GraphPoint> by_number = composite_bars(plain, 0);
    EXPECT_EQ(by_number[2].colour, kGrey);
    EXPECT_EQ(by_number[3].colour, kRed);
    EXPECT_EQ(by_number[3].label, "4");
}

TEST(TimeGraphs, TrendAndComparison) {
    RaceDay day;
    set_races(day, {{1600, 3}});
    RunnerFigures& f = day.figures[0].runner[0];
    f.past_time_index = {101, 99, 0, 0, 0};
    f.past_f3_index = {100, 98, 0, 0, 0};
    f.time_ability = 100;
    f.f3_ability = 99;
    day.past_run[0][0][1].replace(se::finish.offset, 2, "01");
    day.past_run[0][0][2].replace(se::finish.offset, 2, "07");
    RunnerTrend t = runner_trend(day, 0, 0);
    EXPECT_EQ(cp932::to_utf8(t.time[0].label), "前1走");
    EXPECT_EQ(t.time[0].value, 101);
    EXPECT_EQ(t.f3[1].label, "2");
    EXPECT_EQ(cp932::to_utf8(t.position[0].label), "1着");
    EXPECT_EQ(t.position[0].colour, kRed);
    EXPECT_EQ(cp932::to_utf8(t.position[1].label), "7着");
    EXPECT_EQ(t.position[1].colour, kYellow);
    EXPECT_EQ(cp932::to_utf8(t.position[2].label), "なし");
    EXPECT_EQ(t.position[2].colour, kGrey);
    EXPECT_EQ(t.time[4].value, 0);
    day.figures[0].runner[2].past_time_index[1] = 97;
    ComparisonBars c = comparison_bars(day, 0, 1);
    EXPECT_EQ(c.time[0].colour, kRed);
    EXPECT_EQ(c.time[1].colour, kGrey);  // a zero does not turn the next one grey
    EXPECT_EQ(c.time[2].colour, kRed);
    ComparisonBars all = comparison_bars(day, 0, 0);
    EXPECT_EQ(all.time[0].value, 100);
    EXPECT_EQ(all.f3[0].value, 99);
    EXPECT_EQ(all.f3[0].colour, kGreenDark);
}

TEST(GraphTexts, AxisNumbersWithOneDecimalAndThousands) {
    const std::pair<double, const char*> cases[] = {
        {0, "0.0"},          {299, "299.0"},        {303.56, "303.6"},          {98.04, "98.0"},
        {1234.5, "1,234.5"}, {-1234.5, "-1,234.5"}, {1234567.8, "1,234,567.8"}, {-0.25, "-0.2"}};
    for (const auto& [value, text] : cases) EXPECT_EQ(axis_number(value), text) << value;
}

TEST(GraphTexts, ValuesAndPositionsForThoseWhoCannotSeeTheGraph) {
    std::vector<GraphPoint> bars = {{303.56, " 4", kRed}, {299, "12", kMagenta}, {0, " 7", kGrey}};
    EXPECT_EQ(cp932::to_utf8(graph_values_text(bars, sj("番"))), "4番 303.6、12番 299.0、7番 0.0");
    EXPECT_EQ(graph_values_text({}, sj("番")), "");
    RaceDay day;
    set_races(day, {{1600, 3}});
    day.figures[0].runner[0].past_time_index = {101, 0, 0, 0, 0};
    day.past_run[0][0][1].replace(se::finish.offset, 2, "03");
    RunnerTrend t = runner_trend(day, 0, 0);
    EXPECT_EQ(cp932::to_utf8(graph_values_text(t.time, "")),
              "前1走 101.0、前2走 0.0、前3走 0.0、前4走 0.0、前5走 0.0");
    EXPECT_EQ(cp932::to_utf8(positions_text(t)),
              "前1走 3着、前2走 なし、前3走 なし、前4走 なし、前5走 なし");
}

TEST(BracketColours, EightBrackets) {
    EXPECT_EQ(bracket_colour(1), 0xFFFFFFu);
    EXPECT_EQ(bracket_colour(7), 0xFF8000u);
    EXPECT_EQ(bracket_colour(8), 0xFF00FFu);
    EXPECT_EQ(bracket_colour(0), 0u);
}

TEST(BracketColours, TheTextOnEveryBracketReads) {
    auto luminance = [](unsigned rgb) {
        auto lin = [](unsigned v) {
            double c = v / 255.0;
            return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * lin(rgb >> 16 & 0xFF) + 0.7152 * lin(rgb >> 8 & 0xFF) + 0.0722 * lin(rgb & 0xFF);
    };
    for (int bracket = 1; bracket <= 8; ++bracket) {
        SCOPED_TRACE(bracket);
        double ground = luminance(bracket_colour(bracket));
        double text = luminance(bracket_text_colour(bracket));
        EXPECT_GE((std::max(ground, text) + 0.05) / (std::min(ground, text) + 0.05), 3.0);
    }
    // White on grey, red, blue and magenta, as the user grid always had.
    for (int bracket : {2, 3, 4, 8}) EXPECT_EQ(bracket_text_colour(bracket), 0xFFFFFFu);
}

}  // namespace
}  // namespace tolven
