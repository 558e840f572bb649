#include "prediction/computer_prediction.hpp"

#include <gtest/gtest.h>

#include "store/cp932.hpp"
#include "support/race_day_builder.hpp"

namespace tolven {
namespace {

using namespace tolven::testing;

std::string summary(const ComputerPrediction& p) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "X=%g R=%.6f V=%g D=%s x=%d down=%d chu=%d tri=%d S=%d,%d,%d %s axis=%d", p.size,
                  p.ratio, static_cast<double>(p.value), p.direction.c_str(), p.cross, p.down,
                  p.chu, p.triangle, p.first, p.second, p.third, std::string(pattern_letter(p.pattern)).c_str(), p.axis);
    return text;
}

TEST(ComputerPrediction, TheWorkedExample) {
    RaceDay day;
    set_races(day, {{1200, 16}, {1800, 12}, {1600, 16}});
    compute_computer_prediction(day);
    EXPECT_EQ(summary(day.prediction[0]),
              "X=96 R=0.888889 V=3 D=- x=3 down=6 chu=4 tri=5 S=1,4,9 A axis=4");
    EXPECT_EQ(summary(day.prediction[1]),
              "X=108 R=1.125000 V=-4 D=+ x=8 down=11 chu=9 tri=10 S=1,4,11 C axis=9");
    EXPECT_EQ(summary(day.prediction[2]),
              "X=128 R=1.185185 V=5 D=+ x=5 down=8 chu=6 tri=7 S=1,4,11 C axis=6");
    EXPECT_FALSE(day.prediction[0].axis_is_cross);
}

TEST(ComputerPrediction, EqualNeighboursUseAThirdOfNTimesR) {
    RaceDay day;
    // Race 2: N = M = 10, R = 2000/1000 = 2 -> V = 10*2/3 = 6.667, times 3 (R >= 1.9) = 20
    // -> 20, × = 10.
    set_races(day, {{1000, 10}, {2000, 10}});
    compute_computer_prediction(day);
    EXPECT_EQ(day.prediction[1].value, 20.0f);
    EXPECT_EQ(day.prediction[1].cross, 10);
    EXPECT_EQ(day.prediction[1].direction, "+");
}

TEST(ComputerPrediction, RatioBoundaries) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> races;
        int race;
        float value;
        const char* direction;
    } cases[] = {
        // R exactly 1: "+"; V = 12*1/3 = 4.
        {"R = 1", {{1600, 12}, {1600, 12}}, 1, 4.0f, "+"},
        // R exactly 0.5: not divided. N=M: V = 12*0.5/3 = 2.
        {"R = 0.5", {{2000, 12}, {1000, 12}}, 1, 2.0f, "-"},
        // R just below 0.5: divided by 3. V = 12*0.45/3 = 1.8 / 3 = 0.6 -> 1.
        {"R < 0.5", {{2000, 12}, {900, 12}}, 1, 1.0f, "-"},
        // R exactly 1.9: times 3. V = 10*1.9/3 * 3 = 19.
        {"R = 1.9", {{1000, 10}, {1900, 10}}, 1, 19.0f, "+"},
        // q = 2: doubled. N = 8, M = 16 -> q = 2; R = 8*1600/(16*1600) = 0.5;
        // V = (8-16)*0.5*2 = -8.
        {"q = 2 doubles", {{1600, 16}, {1600, 8}}, 1, -8.0f, "-"},
        // 0.5 < q < 2: V = (12-10)*R, R = 12/10 = 1.2 -> 2.4 -> 2.
        {"q inside", {{1000, 10}, {1000, 12}}, 1, 2.0f, "+"},
    };
    for (const auto& c : cases) {
        RaceDay day;
        set_races(day, c.races);
        compute_computer_prediction(day);
        EXPECT_EQ(day.prediction[c.race].value, c.value) << c.what;
        EXPECT_EQ(day.prediction[c.race].direction, c.direction) << c.what;
    }
}

TEST(ComputerPrediction, WholeNumberStepAndCrossHorse) {
    // V = 2.6 -> 3 and -2.6 -> -3: build races whose figures give exactly
    // those values. N=M=13, R=0.6: V = 13*0.6/3 = 2.6.
    RaceDay day;
    set_races(day, {{1000, 13}, {600, 13}});
    compute_computer_prediction(day);
    EXPECT_EQ(day.prediction[1].value, 3.0f);
    // V = 0.59 or smaller becomes 0 and makes the last horse the × horse:
    // N=M=10, R=0.15 -> V = 0.5/3 = 0.1667 -> 0 (divided by 3 since R < 0.5).
    set_races(day, {{2000, 10}, {300, 10}});
    compute_computer_prediction(day);
    EXPECT_EQ(day.prediction[1].value, 0.0f);
    EXPECT_EQ(day.prediction[1].cross, 10);
}

// A day of twelve 12-runner races over 1600 m whose last two races are
// replaced by the given ones.
std::vector<std::pair<int, int>> twelve_races(std::pair<int, int> race11,
                                              std::pair<int, int> race12) {
    std::vector<std::pair<int, int>> races(10, {1600, 12});
    races.push_back(race11);
    races.push_back(race12);
    return races;
}

TEST(ComputerPrediction, RacesOneAndTwelveTurnTheOtherWay) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> races;
        int race;  // 0-based
        const char* marks;
    } cases[] = {
        // V = 16*0.09/3/3 = 0.16 -> 0 -> × = 16; ↓ 19 -> 3, 注 17 -> 1, ▲ 18 -> 2.
        {"race 1, -", {{180, 16}, {2000, 16}}, 0, "D=- x=16 down=3 chu=1 tri=2"},
        // R = 1800/1600 = 1.125, N = M: V = 12*1.125/3 = 4.5 -> 4.
        {"race 12, +", twelve_races({1600, 12}, {1800, 12}), 11, "D=+ x=4 down=1 chu=3 tri=2"},
        // R = 1400/1600 = 0.875: V = 3.5 -> 3.
        {"race 12, -", twelve_races({1600, 12}, {1400, 12}), 11, "D=- x=3 down=6 chu=4 tri=5"},
        {"race 11, +", twelve_races({1800, 12}, {1800, 12}), 10, "D=+ x=4 down=7 chu=5 tri=6"},
        {"race 11, -", twelve_races({1400, 12}, {1400, 12}), 10, "D=- x=3 down=12 chu=2 tri=1"},
    };
    for (const auto& c : cases) {
        RaceDay day;
        set_races(day, c.races);
        compute_computer_prediction(day);
        const ComputerPrediction& p = day.prediction[c.race];
        char marks[80];
        std::snprintf(marks, sizeof marks, "D=%s x=%d down=%d chu=%d tri=%d", p.direction.c_str(),
                      p.cross, p.down, p.chu, p.triangle);
        EXPECT_STREQ(marks, c.marks) << c.what;
    }
}

TEST(ComputerPrediction, RatioNumbers) {
    struct Case {
        const char* what;
        std::pair<int, int> race1, race2;
        const char* numbers;  // of race 2
    } cases[] = {
        // R = 1.125, 12 runners: 1, 1+3, 4+7.
        {"within the field", {1200, 16}, {1800, 12}, "1,4,11"},
        // R = 1.9: 2, 2+6 = 8, 8+11 = 19 -> 7.
        {"third reduced", {1000, 12}, {1900, 12}, "2,8,7"},
        // R = 0.5: Near(0.5) = 0 -> 9; 9+1 = 10 -> 1; 10+3 = 13 -> 4.
        {"first 0 becomes the last horse", {2000, 9}, {1000, 9}, "9,1,4"},
        // R = 0.888889, 8 runners: 1, 1+3, 4+5 = 9 -> 1 = first; 1+5 = 6.
        {"third equal to first steps on", {1800, 5}, {1000, 8}, "1,4,6"},
        // R = 2.2, 10 runners: 2, 2+7 = 9, 9+13 = 22 -> 2 = first; 2+13 = 15 -> 5.
        {"the step reduced again", {1000, 10}, {2200, 10}, "2,9,5"},
        // R = 4, 8 runners: 4, 4+12 = 16 -> 0 -> 8; 16+24 = 40 -> 0 -> 8.
        {"second and third 0 become the last horse", {1000, 5}, {2500, 8}, "4,8,8"},
    };
    for (const auto& c : cases) {
        RaceDay day;
        set_races(day, {c.race1, c.race2});
        compute_computer_prediction(day);
        const ComputerPrediction& p = day.prediction[1];
        EXPECT_EQ(std::to_string(p.first) + "," + std::to_string(p.second) + "," +
                      std::to_string(p.third),
                  c.numbers)
            << c.what;
    }
}

TEST(ComputerPrediction, MarksOverwriteInOrder) {
    RaceDay day;
    set_races(day, {{1200, 16}, {1800, 12}});
    compute_computer_prediction(day);
    ComputerPrediction& p = day.prediction[0];
    p.chu = 4;
    p.cross = 4;  // × overwrites 注
    p.down = 6;
    p.triangle = 6;  // ▲ overwrites ↓
    auto cells = mark_cells(day, 0);
    EXPECT_EQ(cp932::to_utf8(cells[3]), "×");
    EXPECT_EQ(cp932::to_utf8(cells[5]), "▲");
    EXPECT_EQ(cells[0], "");
}

TEST(ComputerPrediction, UndefinedRatiosDoNotFail) {
    RaceDay day;
    set_races(day, {{1200, 16}});  // a single race: no neighbour
    compute_computer_prediction(day);
    EXPECT_FALSE(day.prediction[0].ratio_defined);
    EXPECT_EQ(pattern_letter(day.prediction[0].pattern), "");
    set_races(day, {{1200, 16}, {1200, 0}, {1400, 14}});  // a race without runners
    compute_computer_prediction(day);
    EXPECT_EQ(pattern_letter(day.prediction[1].pattern), "");
    EXPECT_FALSE(day.prediction[2].ratio_defined);  // its neighbour has X = 0
    set_races(day, {{1200, 3}, {1200, 3}});         // tiny fields: picks of 0 name no horse
    compute_computer_prediction(day);
    EXPECT_NE(pattern_letter(day.prediction[1].pattern), "");
}

}  // namespace
}  // namespace tolven
