#include "analysis/ability_index.hpp"

#include <gtest/gtest.h>

#include "model/race_header.hpp"
#include "store/cp932.hpp"
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
        {"track 22 is the last turf code", past_race("06", 1200, 22, 1, 4), "1088", "999", 100.0,
         0},
    };
    for (const auto& c : cases) {
        PastRunIndex index = rate_past_run(past_run(c.time, c.last3f), c.race);
        EXPECT_DOUBLE_EQ(index.time, c.time_index) << c.what;
        EXPECT_DOUBLE_EQ(index.f3, c.f3_index) << c.what;
    }
}

// A record typed byte by byte at the offsets of the JV-Data layout: spaces,
// the texts at their offsets, CR LF at the end.
std::string typed(std::size_t size,
                  std::initializer_list<std::pair<std::size_t, std::string>> texts) {
    std::string record(size - 2, ' ');
    record += "\r\n";
    for (const auto& [at, text] : texts) record.replace(at, text.size(), text);
    return record;
}

// A race and one of its runners as the data service delivers them, read as a
// past run is rated and as a race header is built.
TEST(PastRunIndex, RecordsTypedFromTheLayout) {
    std::string race =
        typed(1272, {{0, "RA"},    {2, "7"},      {3, "20261228"},      {11, "2026"},
                     {15, "1227"}, {19, "06"},    {21, "05"},           {23, "08"},
                     {25, "11"},   {27, "2"},     {32, sj("有馬記念")}, {614, "A"},
                     {616, "13"},  {621, "4"},    {622, "000"},         {625, "999"},
                     {628, "999"}, {631, "999"},  {634, "999"},         {697, "1200"},
                     {705, "17"},  {873, "1525"}, {881, "16"},          {888, "1"},
                     {889, "3"}});
    std::string runner = typed(555, {{0, "SE"},
                                     {2, "7"},
                                     {3, "20261228"},
                                     {11, "2026"},
                                     {15, "1227"},
                                     {19, "06"},
                                     {21, "05"},
                                     {23, "08"},
                                     {25, "11"},
                                     {27, "5"},
                                     {28, "09"},
                                     {30, "2022104321"},
                                     {78, "1"},
                                     {82, "04"},
                                     {288, "570"},
                                     {334, "01"},
                                     {338, "1088"},
                                     {390, "345"}});
    ASSERT_EQ(race.size(), kRaceRecordSize);
    ASSERT_EQ(runner.size(), kRunnerRecordSize);
    // 中山 1200 m on good turf: base time 68.8 s.
    PastRunIndex index = rate_past_run(runner, race);
    EXPECT_DOUBLE_EQ(index.time, 100.0);
    EXPECT_DOUBLE_EQ(index.f3, 68.8 / 34.5 * 50);
    RaceHeader header = race_header(race);
    EXPECT_EQ(cp932::to_utf8(header.title), "11R有馬記念" + std::string(52, ' '));
    EXPECT_EQ(cp932::to_utf8(header.course),
              "サラ系3歳以上　　 芝　　右回り            1200ﾒｰﾄﾙ(定量)");
    EXPECT_EQ(cp932::to_utf8(header.grade), "G1                 16頭 15時25分発走");
    EXPECT_EQ(header.colour, kGreen);
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
