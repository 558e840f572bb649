#include "analysis/ability_index.hpp"

#include <gtest/gtest.h>

#include "store/record_builder.hpp"

namespace tolven {
namespace {

std::string past_race(const char* course, int distance, int track, int turf_going, int dirt_going) {
    return RecordBuilder(RecordKind::Race)
        .race(20261101, course, 4, 2, 5)
        .number(ra::distance, distance)
        .number(ra::track, track)
        .number(ra::turf_going, turf_going)
        .number(ra::dirt_going, dirt_going)
        .str();
}

std::string past_run(const char* time, const char* last3f) {
    return RecordBuilder(RecordKind::Runner)
        .race(20261101, "05", 4, 2, 5)
        .text(se::running_time, time)
        .text(se::last_three_furlongs, last3f)
        .str();
}

TEST(PastRunIndex, RatesAgainstTheBaseTime) {
    struct Case {
        const char* what;
        std::string race;
        const char* time;
        const char* last3f;
        double time_index;
        double f3_index;
    } cases[] = {
        {"dirt 1700 at base time", past_race("05", 1700, 23, 1, 1), "1427", "362", 100.0,
         102.7 / 36.2 * (600.0 / 1700) * 100},
        {"dirt 1700 slower", past_race("05", 1700, 23, 1, 2), "1450", "000", 102.7 / 105.0 * 100,
         0},
        {"three furlongs over a minute", past_race("05", 1700, 23, 1, 1), "0000", "015", 0,
         102.7 / 61.5 * (600.0 / 1700) * 100},
        {"three furlongs from 1:00.0", past_race("05", 1700, 23, 1, 1), "0000", "100", 0,
         102.7 / 70.0 * (600.0 / 1700) * 100},
        {"three furlongs of 2xx", past_race("05", 1700, 23, 1, 1), "0000", "215", 0,
         102.7 / 81.5 * (600.0 / 1700) * 100},
        {"three furlongs of 3xx are seconds", past_race("05", 1700, 23, 1, 1), "0000", "305", 0,
         102.7 / 30.5 * (600.0 / 1700) * 100},
        {"turf slightly heavy is good going", past_race("06", 1200, 17, 2, 4), "1088", "999",
         68.8 / 68.8 * 100, 0},
        {"turf heavy", past_race("06", 1200, 17, 3, 1), "1097", "   ", 69.7 / 69.7 * 100, 0},
        {"jump race", past_race("06", 3000, 54, 1, 1), "3200", "380", 0, 0},
        {"sentinel time", past_race("06", 1200, 17, 1, 1), "9999", "350", 0,
         68.8 / 35.0 * (600.0 / 1200) * 100},
        {"blank past race", blank_record(RecordKind::Race), "1345", "345", 0, 0},
        {"dirt surface from track 24", past_race("06", 1200, 24, 4, 1), "1106", "370", 100.0,
         70.6 / 37.0 * 50},
    };
    for (const auto& c : cases) {
        PastRunIndex index = rate_past_run(past_run(c.time, c.last3f), c.race);
        EXPECT_DOUBLE_EQ(index.time, c.time_index) << c.what;
        EXPECT_DOUBLE_EQ(index.f3, c.f3_index) << c.what;
    }
}

TEST(RunnerSummary, TheWorkedExample) {
    PastFigures time{102.0, 100.0, 0, 98.0, 97.0};
    PastFigures f3{101.0, 99.0, 0, 0, 0};
    RunnerSummary s = summarise(time, f3);
    EXPECT_DOUBLE_EQ(s.time_ability, 99.25);
    EXPECT_DOUBLE_EQ(s.f3_ability, 100.0);
    EXPECT_DOUBLE_EQ(s.trend, 101.0);
    EXPECT_DOUBLE_EQ(s.composite, 300.25);
}

TEST(RunnerSummary, EdgeCases) {
    // No usable run: 90 + 90 + 98.
    RunnerSummary none = summarise({}, {});
    EXPECT_EQ(none.time_ability, 0);
    EXPECT_EQ(none.f3_ability, 0);
    EXPECT_EQ(none.trend, 98);
    EXPECT_EQ(none.composite, 278);
    // A single positive index: trend 98, ability that index.
    RunnerSummary one = summarise({0, 0, 104.5, 0, 0}, {0, 0, 0, 0, 0});
    EXPECT_EQ(one.time_ability, 104.5);
    EXPECT_EQ(one.trend, 98);
    EXPECT_EQ(one.composite, 104.5 + 90 + 98);
    // A horse that fell away by more than 98 points: the trend adds nothing.
    RunnerSummary fell = summarise({10, 60, 110, 0, 0}, {0, 0, 0, 0, 0});
    EXPECT_DOUBLE_EQ(fell.trend, 98 - ((60 - 10) + (110 - 60)));
    EXPECT_DOUBLE_EQ(fell.composite, 60 + 90 + 0);
}

}  // namespace
}  // namespace tolven
