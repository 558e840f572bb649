#include "money/fund_allocation.hpp"

#include <gtest/gtest.h>

#include "store/cp932.hpp"
#include "support/race_day_builder.hpp"

namespace tolven {
namespace {

using namespace tolven::testing;

TEST(StakeUnit, WholeHundredsNeverBelowOneHundred) {
    struct Case {
        int yen, stake;
    } cases[] = {{99, 100}, {100, 100}, {101, 100},   {250, 200},        {4999, 4900},
                 {0, 100},  {-5, 100},  {2666, 2600}, {9999999, 9999900}};
    for (const auto& c : cases) EXPECT_EQ(stake_unit(c.yen), c.stake) << c.yen;
}

// A race whose composite scores are given best first as (horse, score).
RaceDay graded_race(const std::vector<std::pair<int, double>>& scores, int chu, int triangle,
                    int runners = 8, const char* condition = "005", int track = 17) {
    RaceDay day;
    set_races(day, {{1600, runners}});
    day.race[0] = RecordBuilder(RecordKind::Race)
                      .race(20261205, "06", 5, 3, 1)
                      .number(ra::distance, 1600)
                      .number(ra::entries, runners)
                      .number(ra::track, track)
                      .text(ra::condition_youngest, condition)
                      .str();
    for (int r = 0; r < runners; ++r)
        day.figures[0].runner[static_cast<std::size_t>(r)].composite = 270;
    for (auto [horse, score] : scores) {
        day.figures[0].runner[static_cast<std::size_t>(horse - 1)].composite = score;
    }
    day.prediction[0].chu = chu;
    day.prediction[0].triangle = triangle;
    return day;
}

TEST(ConfidenceGrade, FirstRuleThatHolds) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, double>> scores;
        int chu, triangle;
        const char* grade;
    } cases[] = {
        {"注 on top whatever the gaps", {{3, 290}, {4, 289.9}, {5, 289.8}}, 3, 7, "Ⅰ"},
        {"gaps 2.5 and 1.999", {{1, 283.000}, {2, 280.500}, {4, 278.501}, {5, 278.0}}, 7, 8, "Ⅱ"},
        {"V2 - V3 = 2.0 wins over the first gap", {{1, 283.0}, {2, 280.5}, {4, 278.5}}, 7, 8, "Ⅲ"},
        {"注 second", {{1, 283.0}, {2, 282.0}, {4, 281.0}}, 2, 8, "Ⅳ"},
        {"▲ on top", {{1, 283.0}, {2, 282.0}, {4, 281.0}}, 7, 1, "Ⅳ"},
        {"V3 - V4 = 1.7", {{1, 283.0}, {2, 282.0}, {4, 281.0}, {5, 279.3}}, 7, 8, "Ⅴ"},
        {"V3 - V4 = 1.600 exactly", {{1, 283.0}, {2, 282.0}, {4, 281.0}, {5, 279.4}}, 7, 8, "Ⅴ"},
        {"V3 - V4 = 1.5 falls through to 注 third",
         {{1, 283.0}, {2, 282.0}, {4, 281.0}, {5, 279.5}},
         4,
         8,
         "Ⅵ"},
        {"nothing holds", {{1, 283.0}, {2, 282.0}, {4, 281.0}, {5, 279.5}}, 7, 8, ""},
        {"equal to three decimals: the higher horse ranks first",
         {{2, 285.0001}, {6, 285.0004}, {1, 280}},
         6,
         8,
         "Ⅰ"},
    };
    for (const auto& c : cases) {
        RaceDay day = graded_race(c.scores, c.chu, c.triangle);
        EXPECT_EQ(cp932::to_utf8(confidence_grade_text(confidence_grade(day, 0))), c.grade) << c.what;
    }
}

TEST(ConfidenceGrade, ExclusionsAndSmallFields) {
    for (const char* condition : {"701", "702"}) {
        RaceDay day = graded_race({{3, 290}}, 3, 7, 8, condition);
        EXPECT_EQ(confidence_grade_text(confidence_grade(day, 0)), "") << condition;
    }
    RaceDay jump = graded_race({{3, 290}}, 3, 7, 8, "005", 51);
    EXPECT_EQ(confidence_grade_text(confidence_grade(jump, 0)), "");
    // Two runners: the rules needing a third rank do not hold.
    RaceDay two = graded_race({{1, 290}, {2, 280}}, 5, 6, 2);
    EXPECT_EQ(confidence_grade_text(confidence_grade(two, 0)), "");
}

std::string stakes(const FundAllocation& money) {
    std::string text;
    for (int s : money.stakes(1)) text += std::to_string(s) + " ";
    return text + "= " + std::to_string(money.race_total(1));
}

TEST(StakeSplit, ByGrade) {
    struct Case {
        const char* grade;
        std::vector<std::pair<int, double>> scores;
        int chu, triangle;
        int bets;
        const char* investment;
        const char* expected;
    } cases[] = {
        {"Ⅰ", {{3, 290}}, 3, 7, 5, "10000", "2600 2600 2600 1000 1000 = 9800"},
        {"Ⅰ", {{3, 290}}, 3, 7, 1, "10000", "10000 = 10000"},
        {"Ⅰ", {{3, 290}}, 3, 7, 2, "10000", "5000 5000 = 10000"},
        {"Ⅰ", {{3, 290}}, 3, 7, 3, "10000", "3300 3300 3300 = 9900"},
        {"Ⅱ",
         {{1, 283.0}, {2, 280.5}, {4, 278.501}},
         7,
         8,
         4,
         "10000",
         "3000 2300 2300 2300 = 9900"},
        {"Ⅱ", {{1, 283.0}, {2, 280.5}, {4, 278.501}}, 7, 8, 2, "10000", "3000 7000 = 10000"},
        {"Ⅲ", {{1, 283.0}, {2, 280.5}, {4, 278.5}}, 7, 8, 3, "10000", "2500 2500 5000 = 10000"},
        {"Ⅲ",
         {{1, 283.0}, {2, 280.5}, {4, 278.5}},
         7,
         8,
         6,
         "10000",
         "2500 2500 1200 1200 1200 1200 = 9800"},
        {"Ⅵ",
         {{1, 283.0}, {2, 282.0}, {4, 281.0}, {5, 279.5}},
         4,
         8,
         9,
         "10000",
         "1100 1100 1100 1100 1100 1100 1100 1100 1100 = 9900"},
        {"Ⅵ",
         {{1, 283.0}, {2, 282.0}, {4, 281.0}, {5, 279.5}},
         4,
         8,
         9,
         "150",
         "100 100 100 100 100 100 100 100 100 = 900"},
        {"Ⅰ", {{3, 290}}, 3, 7, 5, "100", "100 100 100 100 100 = 500"},
        {"Ⅰ", {{3, 290}}, 3, 7, 5, "99", "= 0"},
        {"Ⅰ", {{3, 290}}, 3, 7, 5, "", "= 0"},
        {"Ⅰ", {{3, 290}}, 3, 7, 0, "10000", "= 0"},
    };
    for (const auto& c : cases) {
        RaceDay day = graded_race(c.scores, c.chu, c.triangle, 12);
        for (int k = 0; k < c.bets; ++k) {
            day.bets[0].computer_quinella[static_cast<std::size_t>(k)] = pair_bet(10, k + 1);
        }
        FundAllocation money;
        money.recompute(day);
        ASSERT_EQ(cp932::to_utf8(money.cell(1, 1)), c.grade);
        money.fields()[0].text = c.investment;
        money.split(day);
        EXPECT_EQ(stakes(money), c.expected) << c.grade << " " << c.bets << " " << c.investment;
        int investment = std::atoi(c.investment);
        EXPECT_EQ(money.bet_count(1), investment >= 100 ? c.bets : 0);
    }
}

TEST(FundAllocation, GridTextsAndTotals) {
    RaceDay day;
    set_races(day, {{1600, 12}, {1800, 12}, {1400, 12}});
    for (int n = 0; n < 3; ++n) {
        for (int r = 0; r < 12; ++r)
            day.figures[n].runner[static_cast<std::size_t>(r)].composite = 280 - r;
        day.prediction[n].chu = n == 1 ? 12 : 1;  // race 2 gets no grade
        day.prediction[n].triangle = 11;
        for (int k = 0; k < 5; ++k)
            day.bets[n].computer_quinella[static_cast<std::size_t>(k)] = pair_bet(1, k + 2);
    }
    // Race 3 is a newcomers' race: no grade whatever its figures.
    day.race[2].replace(ra::condition_youngest.offset, 3, "701");
    FundAllocation money;
    money.recompute(day);
    ASSERT_EQ(money.grid().size(), 7u);
    EXPECT_EQ(money.cell(1, 0), " 1R");
    EXPECT_EQ(cp932::to_utf8(money.cell(1, 1)), "Ⅰ");
    EXPECT_EQ(money.cell(1, 3), " 1- 2");
    EXPECT_EQ(cp932::to_utf8(money.cell(1, 12)), "5点");
    EXPECT_EQ(money.cell(2, 2), "  10000");
    EXPECT_EQ(money.cell(2, 3), "   2600");
    EXPECT_EQ(money.cell(2, 12), "   9800");
    EXPECT_TRUE(money.fields()[0].armed);
    EXPECT_EQ(money.fields()[0].text, "10000");
    // Race 2 has no grade: its field stays grey and it shows zeros.
    EXPECT_FALSE(money.fields()[1].armed);
    EXPECT_EQ(cp932::to_utf8(money.cell(3, 12)), "0点");
    EXPECT_EQ(money.cell(4, 2), "      0");
    EXPECT_EQ(money.cell(4, 3), "");
    EXPECT_FALSE(money.fields()[2].armed);
    EXPECT_EQ(money.investment(2), 0);
    EXPECT_EQ(money.total_bets(), 5);
    EXPECT_EQ(money.total_stake(), 9800);
    EXPECT_EQ(cp932::to_utf8(money.total_bets_text()), "    5点");
    EXPECT_EQ(money.total_stake_text(), "   9800");
    // The investments are no part of the user file: splitting them leaves
    // nothing to save.
    EXPECT_FALSE(day.user_changed);

    // An emptied armed field: bet count 0 and zero amounts.
    money.fields()[0].text = "";
    money.split(day);
    EXPECT_EQ(money.total_stake(), 0);
    EXPECT_EQ(money.bet_count(1), 0);
    // An amount of 9,999,999 yen is accepted.
    money.fields()[0].text = "9999999";
    money.split(day);
    EXPECT_EQ(money.investment(1), 9999999);
    EXPECT_EQ(money.stakes(1).front(), stake_unit(9999999 * 8 / 10 / 3));
}

}  // namespace
}  // namespace tolven
