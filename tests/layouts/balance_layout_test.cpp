#include "layouts/balance_layout.hpp"

#include <gtest/gtest.h>

#include "store/cp932.hpp"

namespace tolven {
namespace {

int count_prefix(const std::vector<std::string>& calls, const std::string& prefix) {
    int n = 0;
    for (const auto& c : calls) n += c.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

BalanceReport report_of_days(int days) {
    BalanceReport report;
    report.options = {20261101, 20261130, BetSource::Computer, false};
    long long cumulative = 0;
    for (int i = 0; i < days; ++i) {
        BalanceDay d;
        d.day = sj("2026年11月0") + std::to_string(i + 1) + sj("日東京");
        d.date = 20261101 + i;
        d.course = "05";
        d.stake = 1000;
        d.returned = i % 2 == 0 ? 0 : 2500;
        cumulative += d.balance();
        d.cumulative = cumulative;
        report.days.push_back(d);
        BalanceRace race{d.day, d.date, "05", 1, Pattern::A, ConfidenceGrade::None, {}};
        race.tickets.push_back({BetKind::Quinella, pair_bet(1, 2), 100, d.returned});
        report.races.push_back(race);
    }
    summarise(report);
    return report;
}

TEST(BalanceLayout, TableLinesThenACurveThroughEveryDay) {
    for (int days : {1, 2, 7}) {
        BalanceReport report = report_of_days(days);
        RecordingCanvas canvas;
        draw_balance(report, canvas);
        std::string texts;
        for (const auto& c : canvas.calls) {
            if (c.rfind("text ", 0) == 0) texts += c + "\n";
        }
        // Every line of the table is printed.
        for (const auto& line : balance_table_lines(report)) {
            if (line.empty()) continue;
            EXPECT_NE(texts.find(cp932::to_utf8(line)), std::string::npos) << line;
        }
        EXPECT_NE(texts.find("0円"), std::string::npos);
        // The curve: one move to the first day and a line to each later one;
        // the zero line is one more move and line.
        EXPECT_EQ(count_prefix(canvas.calls, "move "), 2 + 1) << days;  // rule, zero, curve
        EXPECT_EQ(count_prefix(canvas.calls, "line "), 1 + 1 + (days - 1)) << days;
    }
}

TEST(BalanceLayout, AnEmptyPeriodDrawsTheFrameWithoutACurve) {
    BalanceReport report;
    report.options = {20261101, 20261130, BetSource::User, true};
    summarise(report);
    RecordingCanvas canvas;
    draw_balance(report, canvas);
    EXPECT_EQ(count_prefix(canvas.calls, "rect "), 1);
    EXPECT_EQ(count_prefix(canvas.calls, "move "), 1);  // the rule under the heading only
}

}  // namespace
}  // namespace tolven
