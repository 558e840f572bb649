#include <gtest/gtest.h>

#include "prediction/computer_prediction.hpp"
#include "support/race_day_builder.hpp"

namespace tolven {
namespace {

using namespace tolven::testing;

TEST(ComputerPredictionPhases, RatioNumbersWrapAroundTheField) {
    struct Case {
        double ratio;
        int size;
        RatioNumbers expected;
    } cases[] = {
        {0.888889, 16, {1, 4, 9}},   // the worked example
        {1.125, 12, {1, 4, 11}},     //
        {0.1, 10, {10, 10, 1}},     // the first rounds to 0: the field size
        {1.0, 10, {1, 4, 10}},       // a third equal to the field size stays
        {1.0, 9, {1, 4, 7}},         // the third wraps onto the first: one more step
        {1.0, 3, {1, 1, 1}},         // and that step wraps a second time
        {2.0, 5, {2, 3, 5}},         // a third that wraps to 0 becomes the field size
    };
    for (const Case& c : cases) {
        RatioNumbers s = ratio_numbers(c.ratio, c.size);
        EXPECT_EQ(s.first, c.expected.first) << c.ratio << " of " << c.size;
        EXPECT_EQ(s.second, c.expected.second) << c.ratio << " of " << c.size;
        EXPECT_EQ(s.third, c.expected.third) << c.ratio << " of " << c.size;
    }
}

TEST(ComputerPredictionPhases, MarksCountFromTheCrossHorse) {
    struct Case {
        float value;
        int size;
        bool up;
        RaceMarks expected;  // ×, ↓, 注, ▲
    } cases[] = {
        {3, 16, false, {3, 16, 2, 1}},
        {3, 16, true, {3, 6, 4, 5}},
        {0, 10, true, {10, 3, 1, 2}},    // V = 0: the last horse
        {-4, 12, true, {8, 11, 9, 10}},  // negative values count from the end
        {16, 16, false, {16, 13, 15, 14}},
    };
    for (const Case& c : cases) {
        RaceMarks m = race_marks(c.value, c.size, c.up);
        EXPECT_EQ(m.cross, c.expected.cross) << c.value;
        EXPECT_EQ(m.down, c.expected.down) << c.value;
        EXPECT_EQ(m.chu, c.expected.chu) << c.value;
        EXPECT_EQ(m.triangle, c.expected.triangle) << c.value;
    }
}

TEST(ComputerPredictionPhases, RaceValueByTheNeighboursField) {
    struct Case {
        int own, neighbour;
        double ratio;
        float value;
    } cases[] = {
        {12, 12, 1.5, 6},   // equal fields: own × ratio / 3
        {16, 12, 1.0, 4},   // q = 0.75: the difference × ratio
        {16, 8, 1.0, 16},   // q exactly 0.5 is outside: doubled
        {8, 16, 1.0, -16},  // q exactly 2 is outside: doubled
    };
    for (const Case& c : cases) {
        EXPECT_EQ(race_value(c.own, c.neighbour, c.ratio), c.value) << c.own << " " << c.neighbour;
    }
}

TEST(ComputerPredictionPhases, RacesOneAndTwelveTurnTheOtherWay) {
    for (int n = 0; n < kMaxRaces; ++n) {
        bool turned = n == 0 || n == 11;
        EXPECT_EQ(counts_upwards(n, "+"), !turned) << n;
        EXPECT_EQ(counts_upwards(n, "-"), turned) << n;
    }
    EXPECT_EQ(neighbour_of(0), 1);
    EXPECT_EQ(neighbour_of(11), 10);
}

TEST(ComputerPredictionPhases, EachPhaseAddsItsFigures) {
    RaceDay day;
    set_races(day, {{1200, 16}, {1800, 12}});
    measure_race_sizes(day);
    EXPECT_EQ(day.prediction[0].size, 96);
    EXPECT_FALSE(day.prediction[0].ratio_defined);
    compare_with_neighbours(day);
    EXPECT_EQ(day.prediction[0].value, 3.0f);
    EXPECT_EQ(day.prediction[0].cross, 0);
    place_marks(day);
    EXPECT_EQ(day.prediction[0].cross, 3);
    EXPECT_EQ(day.prediction[0].first, 0);
    pick_ratio_numbers_and_pattern(day);
    EXPECT_EQ(day.prediction[0].third, 9);
    EXPECT_EQ(day.prediction[0].axis, 4);
}

}  // namespace
}  // namespace tolven
