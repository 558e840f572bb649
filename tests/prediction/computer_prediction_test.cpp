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

TEST(ComputerPrediction, RaceOneWrapsTheOtherWay) {
    // Race 1 with "-" and × = 16 of 16: ↓ 19 -> 3, 注 17 -> 1, ▲ 18 -> 2.
    // V(1) = (16-M)*R with R < 1 must give 16 or 0: N=M=16 gives V = 16*R/3;
    // R = 0.9375 (1500*16 / 1600*16) -> 5.0 -> ×=5. Use V = 0 instead:
    // R = 0.09 (R < 0.5, divided by 3): 16*0.09/3/3 = 0.16 -> 0 -> × = 16.
    RaceDay day;
    set_races(day, {{180, 16}, {2000, 16}});
    compute_computer_prediction(day);
    const ComputerPrediction& p = day.prediction[0];
    EXPECT_EQ(p.direction, "-");
    EXPECT_EQ(p.cross, 16);
    EXPECT_EQ(p.down, 3);
    EXPECT_EQ(p.chu, 1);
    EXPECT_EQ(p.triangle, 2);
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
