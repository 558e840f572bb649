#include <gtest/gtest.h>

#include "money/fund_allocation.hpp"
#include "store/cp932.hpp"
#include "support/race_day_builder.hpp"

namespace tolven {
namespace {

using namespace tolven::testing;

TEST(ConfidenceGrade, TextsInOrder) {
    const char* texts[] = {"Ⅰ", "Ⅱ", "Ⅲ", "Ⅳ", "Ⅴ", "Ⅵ"};
    std::size_t i = 0;
    for (ConfidenceGrade grade : kConfidenceGrades) {
        EXPECT_EQ(confidence_grade_text(grade), sj(texts[i++]));
        EXPECT_EQ(confidence_grade_text(grade).size(), 2u);  // one CP932 character
    }
    EXPECT_EQ(confidence_grade_text(ConfidenceGrade::None), "");
}

TEST(ConfidenceGrade, StakesOfARaceWithoutAGradeAreNone) {
    EXPECT_TRUE(stakes_for(ConfidenceGrade::None, 5, 10000).empty());
    EXPECT_EQ(stakes_for(ConfidenceGrade::VI, 3, 1000), (std::vector<int>{300, 300, 300}));
    EXPECT_TRUE(stakes_for(ConfidenceGrade::I, 0, 10000).empty());
}

std::vector<std::string> utf8_row(const AllocationRow& row) {
    std::vector<std::string> cells;
    for (const std::string& cell : row) cells.push_back(cp932::to_utf8(cell));
    return cells;
}

TEST(AllocationGrid, StakesBecomeTheThirteenColumns) {
    RaceStake split;
    split.race = 1;
    split.grade = ConfidenceGrade::II;
    split.bets = bet_list({" 1- 2", " 4- 7", "17-18"});
    split.split = true;
    split.investment = 9999999;
    split.bet_count = 3;
    split.stakes = {2999900, 3499900, 3499900};
    split.total = 9999700;
    RaceStake waiting;  // race 12: no grade, nothing split
    waiting.race = 12;
    waiting.bets = bet_list({" 9-10"});

    std::vector<AllocationRow> grid = allocation_grid({split, waiting});
    ASSERT_EQ(grid.size(), 5u);
    using Row = std::vector<std::string>;
    EXPECT_EQ(utf8_row(grid[0]), Row(13, ""));
    EXPECT_EQ(utf8_row(grid[1]), (Row{" 1R", "Ⅱ", "", " 1- 2", " 4- 7", "17-18", "", "", "", "",
                                      "", "", "3点"}));
    EXPECT_EQ(utf8_row(grid[2]), (Row{"", "", "9999999", "2999900", "3499900", "3499900", "", "",
                                      "", "", "", "", "9999700"}));
    EXPECT_EQ(utf8_row(grid[3]),
              (Row{"12R", "", "", " 9-10", "", "", "", "", "", "", "", "", "0点"}));
    EXPECT_EQ(utf8_row(grid[4]),
              (Row{"", "", "      0", "", "", "", "", "", "", "", "", "", "      0"}));
    EXPECT_EQ(allocation_grid({}).size(), 1u);
}

TEST(AllocationGrid, TheAllocationKeepsItsRacesAndItsGridInStep) {
    RaceDay day;
    set_races(day, {{1600, 12}, {1800, 12}});
    for (int n = 0; n < 2; ++n) {
        for (int r = 0; r < 12; ++r)
            day.figures[n].runner[static_cast<std::size_t>(r)].composite = 280 - r;
        day.prediction[n].chu = n == 0 ? 1 : 12;  // race 1 gets Ⅰ, race 2 none
        day.prediction[n].triangle = 11;
        day.bets[n].computer_quinella = bet_list({" 1- 2", " 1- 3", " 1- 4", " 1- 5"});
    }
    FundAllocation money;
    money.recompute(day);
    ASSERT_EQ(money.races(), 2);
    const RaceStake& first = money.race(1);
    EXPECT_EQ(first.grade, ConfidenceGrade::I);
    EXPECT_TRUE(first.split);
    EXPECT_EQ(first.investment, 10000);
    EXPECT_EQ(first.bet_count, 4);
    EXPECT_EQ(first.stakes, (std::vector<int>{2600, 2600, 2600, 2000}));
    EXPECT_EQ(first.total, 9800);
    EXPECT_EQ(money.race(2).grade, ConfidenceGrade::None);
    EXPECT_FALSE(money.race(2).split);
    EXPECT_EQ(money.grid(), allocation_grid({money.race(1), money.race(2)}));
    // A new investment is split again and the grid follows.
    money.fields()[0].text = "99";
    money.split(day);
    EXPECT_FALSE(money.race(1).split);
    EXPECT_EQ(money.race(1).total, 0);
    EXPECT_EQ(money.grid(), allocation_grid({money.race(1), money.race(2)}));
}

}  // namespace
}  // namespace tolven
