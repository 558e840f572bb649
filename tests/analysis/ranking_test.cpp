#include <gtest/gtest.h>

#include "analysis/ranking.hpp"

namespace tolven {
namespace {

std::string ranks_text(const RankArray& ranks, int runners) {
    std::string text;
    for (int h = 1; h <= runners; ++h) text += std::to_string(ranks[h]) + (h < runners ? " " : "");
    return text;
}

TEST(Ranking, LargestFirstTiesToFourDecimalsGoToTheHigherHorse) {
    struct Case {
        const char* what;
        std::array<double, kMaxRunners> values;
        int runners;
        const char* ranks;
    } cases[] = {
        {"plain order", {300, 310, 290, 305}, 4, "3 1 4 2"},
        {"tie: horses 3 and 5 at 98.1234, horse 5 better",
         {97, 99, 98.1234, 90, 98.1234},
         5,
         "4 1 3 5 2"},
        {"differs only in the fifth decimal: a tie", {98.12341, 98.12344, 1}, 3, "2 1 3"},
        {"rounds to four decimals before comparing", {98.12345, 98.12344}, 2, "1 2"},
        {"zeros and negatives keep rank 0", {0, 101, -5, 99, 0}, 5, "0 1 0 2 0"},
        {"only the race's runners", {1, 2, 3, 4, 5}, 3, "3 2 1"},
        {"nothing ranked", {}, 8, "0 0 0 0 0 0 0 0"},
        {"large values", {1000.5, 278, 999.9}, 3, "1 3 2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ranks_text(rank_figures(c.values, c.runners), c.runners), c.ranks) << c.what;
    }
}

TEST(Ranking, SixteenRunnersFourWithoutRuns) {
    std::array<double, kMaxRunners> time{};
    std::array<double, kMaxRunners> composite{};
    for (int r = 0; r < 16; ++r) {
        bool raced = r % 4 != 3;
        time[r] = raced ? 95 + r * 0.5 : 0;
        composite[r] = raced ? 285 + r : 278;
    }
    RankArray t = rank_figures(time, 16);
    RankArray c = rank_figures(composite, 16);
    std::vector<int> time_ranks, composite_ranks;
    for (int h = 1; h <= 16; ++h) {
        if (h % 4 == 0) {
            EXPECT_EQ(t[h], 0) << h;
        } else {
            time_ranks.push_back(t[h]);
        }
        composite_ranks.push_back(c[h]);
    }
    std::sort(time_ranks.begin(), time_ranks.end());
    std::sort(composite_ranks.begin(), composite_ranks.end());
    for (int i = 0; i < 12; ++i) EXPECT_EQ(time_ranks[static_cast<std::size_t>(i)], i + 1);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(composite_ranks[static_cast<std::size_t>(i)], i + 1);
    // The four without runs share 278 and rank by horse number, highest first.
    EXPECT_EQ(c[16], 13);
    EXPECT_EQ(c[4], 16);
}

}  // namespace
}  // namespace tolven
