#include "prediction/hit_lines.hpp"

#include <gtest/gtest.h>

#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/record_builder.hpp"
#include "support/race_day_builder.hpp"

namespace tolven {
namespace {

using namespace tolven::testing;

struct Payouts {
    int quinella, wide, bracket;
};

// A day at 中山 of two races of 12 runners whose first computer bets are
// " 1- 2" (bracket " 1- 2") in race 1 and " 3- 4" (bracket " 3- 4") in
// race 2, each paid as given.
RaceDay paid_day(Payouts race1, Payouts race2) {
    RaceDay day;
    set_races(day, {{1600, 12}, {1800, 12}});
    const char* bets[] = {" 1- 2", " 3- 4"};
    const char* combinations[] = {"0102", "0304"};
    const Payouts payouts[] = {race1, race2};
    for (int n = 0; n < 2; ++n) {
        day.race[n] = RecordBuilder(RecordKind::Race)
                          .race(20261205, "06", 5, 3, n + 1)
                          .number(ra::distance, 1600 + n * 200)
                          .number(ra::entries, 12)
                          .number(ra::track, 17)
                          .text(ra::short_name, sj("師走特別　　"))
                          .str();
        day.bets[n].computer_quinella = BetList{bet_from_text(bets[n])};
        day.bets[n].computer_bracket = BetList{bet_from_text(bets[n])};
        const std::string bet = bets[n];
        day.payout[n] = RecordBuilder(RecordKind::Payout)
                            .race(20261205, "06", 5, 3, n + 1)
                            .text(Field{245, 4}, combinations[n])
                            .number(Field{249, 9}, payouts[n].quinella)
                            .text(Field{293, 4}, combinations[n])
                            .number(Field{297, 9}, payouts[n].wide)
                            .text(Field{206, 1}, bet.substr(1, 1))
                            .text(Field{207, 1}, bet.substr(4, 1))
                            .number(Field{208, 9}, payouts[n].bracket)
                            .str();
    }
    return day;
}

std::string utf8_lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += cp932::to_utf8(line) + "\n";
    return text;
}

TEST(HitLines, RaceByRaceQuinellaWideThenBracketWithThresholdsAndStyles) {
    struct Case {
        const char* what;
        bool longshot;
        Payouts race1, race2;
        const char* html;
        const char* cumulative;
    } cases[] = {
        {"every hit; red from 10000 (quinella) and 5000 (wide, bracket)",
         false,
         {12000, 4990, 5000},
         {0, 300, 0},
         "<img src=\"./image/lis1.gif\"><font color=\"red\">中山 1R[馬連　]：　 1- 2/配当   12000円"
         "　師走特別　　</font>\n"
         "<img src=\"./image/lis2.gif\"><font color=\"blue\">中山 1R[ワイド]：　 1- 2/配当    4990円"
         "　師走特別　　</font>\n"
         "<img src=\"./image/lis1.gif\"><font color=\"red\">中山 1R[枠連　]：　 1- 2/配当    5000円"
         "　師走特別　　</font>\n"
         "<img src=\"./image/lis2.gif\"><font color=\"blue\">中山 2R[ワイド]：　 3- 4/配当     300円"
         "　師走特別　　</font>\n",
         "202612050601R[馬連　]：　 1- 2/配当   12000円\n"
         "202612050601R[ワイド]：　 1- 2/配当    4990円\n"
         "202612050601R[枠連　]：　 1- 2/配当    5000円\n"
         "202612050602R[ワイド]：　 3- 4/配当     300円\n"},
        {"longshot: above 5000 (quinella) and 3000 (wide, bracket) only",
         true,
         {5000, 3010, 3000},
         {5010, 3000, 3010},
         "<img src=\"./image/lis2.gif\"><font color=\"blue\">中山 1R[ワイド]：　 1- 2/配当    3010円"
         "　師走特別　　</font>\n"
         "<img src=\"./image/lis2.gif\"><font color=\"blue\">中山 2R[馬連　]：　 3- 4/配当    5010円"
         "　師走特別　　</font>\n"
         "<img src=\"./image/lis2.gif\"><font color=\"blue\">中山 2R[枠連　]：　 3- 4/配当    3010円"
         "　師走特別　　</font>\n",
         "202612050601R[ワイド]：　 1- 2/配当    3010円\n"
         "202612050602R[馬連　]：　 3- 4/配当    5010円\n"
         "202612050602R[枠連　]：　 3- 4/配当    3010円\n"},
        {"nothing paid", false, {0, 0, 0}, {0, 0, 0}, "", ""},
    };
    for (const auto& c : cases) {
        DayHits hits = day_hits(paid_day(c.race1, c.race2), c.longshot);
        EXPECT_EQ(utf8_lines(hits.html), c.html) << c.what;
        EXPECT_EQ(utf8_lines(hits.cumulative), c.cumulative) << c.what;
    }
}

TEST(HitLines, EmptySlotsAreNoBets) {
    RaceDay day = paid_day({12000, 4990, 5000}, {0, 0, 0});
    day.bets[0].computer_quinella = BetList{};
    day.bets[0].computer_bracket = BetList{};
    EXPECT_TRUE(day_hits(day, false).html.empty());
}

TEST(HitLines, FileKeyIsYearDateAndCourseOfTheFirstRace) {
    EXPECT_EQ(hit_file_key(paid_day({0, 0, 0}, {0, 0, 0})), "2026120506");
}

}  // namespace
}  // namespace tolven
