#include "prediction/user_prediction.hpp"

#include <gtest/gtest.h>

#include "model/user_file.hpp"
#include "pipeline/day_loader.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "support/race_day_builder.hpp"
#include "support/temp_dir.hpp"

namespace tolven {
namespace {

using namespace tolven::testing;

// A day of two races with a fresh user file in a temporary folder.
struct UserDay {
    TempDir dir;
    RaceDay day;
    UserDay(int runners = 10) {
        set_races(day, {{1600, runners}, {1800, 12}});
        day.user_file = dir.path() / "day.User";
        day.user_lines = user_file_skeleton();
        for (int n = 0; n < 2; ++n) {
            for (int r = 0; r < kMaxRunners; ++r) {
                day.figures[n].runner[static_cast<std::size_t>(r)].composite = 280.0 + r;
            }
            day.prediction[n].pattern = Pattern::B;
            day.prediction[n].chu = 2;
            day.prediction[n].triangle = 3;
            day.prediction[n].cross = 1;
            day.prediction[n].axis = 2;
        }
    }
    double score(int horse) const {
        return day.figures[0].runner[static_cast<std::size_t>(horse - 1)].user_score;
    }
};

TEST(UserPrediction, PointsAreDividedByTheFieldSize) {
    UserDay u(10);
    toggle_check_item(u.day, 0, 4, 3);  // 厩◎ +15 / 10
    EXPECT_DOUBLE_EQ(u.score(4), 283.0 + 1.5);
    toggle_check_item(u.day, 0, 4, 7);  // パ× -10 / 10
    EXPECT_DOUBLE_EQ(u.score(4), 283.0 + 1.5 - 1.0);
    toggle_check_item(u.day, 0, 4, 3);  // untick
    EXPECT_DOUBLE_EQ(u.score(4), 283.0 - 1.0);
    // Every tick column with its points.
    UserDay all(8);
    for (int column : {3, 4, 6, 7, 9, 10, 12, 13, 14}) toggle_check_item(all.day, 0, 1, column);
    EXPECT_DOUBLE_EQ(all.score(1), 280.0 + (15.0 + 12 + 5 - 10 + 15 - 10 + 15 + 12 + 8) / 8);
}

TEST(UserPrediction, EveryRunnerRankedTiesToTheHigherHorse) {
    UserDay u(10);
    // Horse 3 (282) gets +2.0 (本命 +15/10 and 穴 +8/10 = 2.3; use 対抗 + パ◎ = 1.7)
    // to tie with horse 5 at 284: 282 + 12/10 + 8/10 = 284.
    toggle_check_item(u.day, 0, 3, 13);
    toggle_check_item(u.day, 0, 3, 14);
    EXPECT_DOUBLE_EQ(u.score(3), 284.0);
    const RankArray& rank = u.day.figures[0].user_rank;
    EXPECT_EQ(rank[10], 1);
    EXPECT_LT(rank[5], rank[3]);  // equal scores: the higher horse number ranks better
    EXPECT_EQ(rank[5] + 1, rank[3]);
    for (int h = 1; h <= 10; ++h) EXPECT_GE(rank[h], 1);
}

TEST(UserPrediction, RunnerLinesAndBetLinesInTheFile) {
    UserDay u(10);
    toggle_check_item(u.day, 0, 1, 3);
    std::vector<std::string> lines = split_lines(read_bytes(u.day.user_file));
    ASSERT_EQ(lines.size(), 300u);
    // Horse 1: bracket 1, 厩◎ ticked; horses 1..10 ranked, 11..18 keep the skeleton.
    char expected[64];
    std::snprintf(expected, sizeof expected, " 1| 1|1|0|0|0|0|0|0|0|0|%2d|%7.3f|",
                  u.day.figures[0].user_rank[1], 281.5);
    EXPECT_EQ(lines[3], expected);
    EXPECT_EQ(lines[12], std::string(" 8|10|0|0|0|0|0|0|0|0|0| 1|289.000|"));
    EXPECT_EQ(lines[13], "  |11|0|0|0|0|0|0|0|0|0|  |  0.000|");
    // The race's user bets are written at lines 22 and 24, read back at 7j+3.
    EXPECT_EQ(lines[22], user_bet_line(u.day.bets[0].user_quinella));
    EXPECT_EQ(lines[22].substr(2, 5), bet_text(u.day.bets[0].user_quinella[0]));
    EXPECT_FALSE(u.day.bets[0].user_quinella[0].empty());
    EXPECT_EQ(lines[22].substr(9, 5), bet_text(u.day.bets[0].user_quinella[1]));
    EXPECT_FALSE(u.day.user_changed);
    // Race 2 is untouched.
    EXPECT_EQ(lines[28], "  | 1|0|0|0|0|0|0|0|0|0|  |  0.000|");
    EXPECT_EQ(lines[47], "");
}

TEST(UserPrediction, ClickOutsideTheTicksStillRecomputesAndSaves) {
    for (int column : {0, 1, 2, 5, 8, 11, 15, 16}) {
        UserDay u(10);
        toggle_check_item(u.day, 0, 2, column);
        std::vector<std::string> lines = split_lines(read_bytes(u.day.user_file));
        EXPECT_EQ(lines[4].substr(0, 24), " 2| 2|0|0|0|0|0|0|0|0|0|") << column;
        EXPECT_EQ(u.day.figures[0].user_rank[10], 1) << column;
        EXPECT_DOUBLE_EQ(u.score(2), 281.0) << column;
    }
    // A row outside the field changes nothing either.
    UserDay u(10);
    toggle_check_item(u.day, 0, 11, 3);
    EXPECT_EQ(split_lines(read_bytes(u.day.user_file))[13], "  |11|0|0|0|0|0|0|0|0|0|  |  0.000|");
}

TEST(UserPrediction, GridReadsTheFileLines) {
    UserDay u(10);
    std::vector<UserGridRow> fresh = user_grid(u.day, 0);
    ASSERT_EQ(fresh.size(), 10u);
    EXPECT_EQ(fresh[0][3], "0");
    EXPECT_EQ(fresh[0][15], "  ");
    EXPECT_EQ(fresh[0][16], "  0.000");
    EXPECT_EQ(fresh[0][1], " 1");
    toggle_check_item(u.day, 0, 1, 14);
    std::vector<UserGridRow> after = user_grid(u.day, 0);
    EXPECT_EQ(after[0][14], "1");
    EXPECT_EQ(after[0][16], "280.800");
    // A short line yields short or empty cells.
    u.day.user_lines[3] = " 1| 1|1|0";
    std::vector<UserGridRow> cut = user_grid(u.day, 0);
    EXPECT_EQ(cut[0][3], "1");
    EXPECT_EQ(cut[0][6], "");
    EXPECT_EQ(cut[0][16], "");
}

TEST(UserPrediction, RoundTripThroughTheLoader) {
    TempDir dir;
    DataStore store(dir.path());
    store.create_folders();
    std::string entry = sj("2026年12月05日中山");
    for (int n = 1; n <= 2; ++n) {
        store.store(StoreFile::DayRaces, RecordBuilder(RecordKind::Race)
                                             .race(20261205, "06", 5, 3, n)
                                             .number(ra::distance, 1200 + 400 * n)
                                             .number(ra::entries, 10)
                                             .number(ra::track, 17)
                                             .str());
        for (int h = 1; h <= 10; ++h) {
            store.store(StoreFile::DayRunners, RecordBuilder(RecordKind::Runner)
                                                   .race(20261205, "06", 5, 3, n)
                                                   .number(se::bracket, bracket_number(10, h))
                                                   .number(se::horse_number, h)
                                                   .number(se::pedigree, 2022100000LL + h)
                                                   .str());
        }
    }
    RaceDay day;
    ASSERT_TRUE(load_race_day(day, dir.path(), entry).built);
    toggle_check_item(day, 1, 7, 12);
    toggle_check_item(day, 1, 9, 3);
    BetList quinella = day.bets[1].user_quinella;
    BetList bracket = day.bets[1].user_bracket;
    ASSERT_FALSE(quinella[0].empty());
    std::vector<std::string> lines = day.user_lines;

    RaceDay again;
    ASSERT_TRUE(load_race_day(again, dir.path(), entry).built);
    EXPECT_EQ(again.user_lines, lines);
    EXPECT_EQ(again.bets[1].user_quinella, quinella);
    EXPECT_EQ(again.bets[1].user_bracket, bracket);
    EXPECT_EQ(user_grid(again, 1)[6][12], "1");
    EXPECT_EQ(user_grid(again, 1)[8][3], "1");
}

}  // namespace
}  // namespace tolven
