// The ticks of the balance chart's axes: round values whose labels fit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layouts/chart_axes.hpp"

namespace tolven {
namespace {

std::vector<std::string> labels(const std::vector<DateTick>& ticks) {
    std::vector<std::string> out;
    for (const DateTick& t : ticks) out.push_back(t.label);
    return out;
}

TEST(ChartAxes, DateTicksAreRoundAndNeverMoreThanFit) {
    using L = std::vector<std::string>;
    const struct {
        int first, last, max;
        L expected;
    } cases[] = {
        // A short period: every day, across a month's end.
        {20261129, 20261202, 8, L{"11/29", "11/30", "12/01", "12/02"}},
        // Too many days for every day or every other: weekly from the first.
        {20261101, 20261206, 8, L{"11/01", "11/08", "11/15", "11/22", "11/29", "12/06"}},
        // A year of race days (262 in the store): quarters, on the first.
        {20251207, 20261206, 5, L{"2026/01", "2026/04", "2026/07", "2026/10"}},
        {20251207, 20261206, 12, L{"2026/01", "2026/02", "2026/03", "2026/04", "2026/05", "2026/06",
                                   "2026/07", "2026/08", "2026/09", "2026/10", "2026/11", "2026/12"}},
        // Across a leap day and a year's end, every other month.
        {20231215, 20240930, 6, L{"2024/01", "2024/03", "2024/05", "2024/07", "2024/09"}},
        // Years, then one label when nothing else fits.
        {20200101, 20261231, 7, L{"2020/01", "2021/01", "2022/01", "2023/01", "2024/01", "2025/01", "2026/01"}},
        {20200101, 20261231, 1, L{"2020/01"}},
        // One day.
        {20261205, 20261205, 3, L{"12/05"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + "-" + std::to_string(c.last));
        auto ticks = date_ticks(c.first, c.last, c.max);
        EXPECT_EQ(labels(ticks), c.expected);
        EXPECT_LE(static_cast<int>(ticks.size()), std::max(1, c.max));
        for (const DateTick& t : ticks) {
            EXPECT_GE(t.date, c.first);
            EXPECT_LE(t.date, c.last);
        }
    }
}

TEST(ChartAxes, DayNumbersCountCalendarDays) {
    EXPECT_EQ(day_number(19700101), 0);
    EXPECT_EQ(day_number(20240301) - day_number(20240228), 2);  // leap year
    EXPECT_EQ(day_number(20250301) - day_number(20250228), 1);
    EXPECT_EQ(day_number(20270101) - day_number(20260101), 365);
}

TEST(ChartAxes, AmountTicksAreRoundAndHoldZero) {
    using V = std::vector<long long>;
    const struct {
        long long low, high;
        int max;
        V expected;
    } cases[] = {
        {-31620, 32870, 8, V{-40000, -20000, 0, 20000, 40000}},
        {-31620, 32870, 10, V{-40000, -30000, -20000, -10000, 0, 10000, 20000, 30000, 40000}},
        // Only gains or only losses: the zero line stays on the chart.
        {1200, 9800, 6, V{0, 2000, 4000, 6000, 8000, 10000}},
        {-250000, -100000, 4, V{-300000, -200000, -100000, 0}},
        // Nothing won or lost: no degenerate axis.
        {0, 0, 8, V{0, 1000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.low) + ".." + std::to_string(c.high));
        EXPECT_EQ(amount_ticks(c.low, c.high, c.max), c.expected);
    }
}

TEST(ChartAxes, AmountsHaveThousandsSeparators) {
    const struct {
        long long amount;
        const char* text;
    } cases[] = {{0, "0"},         {999, "999"},           {1000, "1,000"},
                 {-50000, "-50,000"}, {1278280, "1,278,280"}, {-100, "-100"}};
    for (const auto& c : cases) EXPECT_EQ(grouped_amount(c.amount), c.text);
}

}  // namespace
}  // namespace tolven
