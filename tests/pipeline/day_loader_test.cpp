#include "pipeline/day_loader.hpp"

#include <gtest/gtest.h>

#include "analysis/base_times.hpp"
#include "model/user_file.hpp"
#include "store/catalogue.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "store/data_store.hpp"
#include "store/lenient.hpp"
#include "store/record_builder.hpp"
#include "store/store_reader.hpp"
#include "support/sample_store.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

constexpr int kDate = 20261205;

// Writes a day of the store by hand, record by record, through the store.
class FixtureDay {
  public:
    TempDir dir;
    DataStore store{dir.path()};
    std::string entry = sj("2026年12月05日中山");

    FixtureDay() { store.create_folders(); }

    void race(int number, int distance, int track, int entries) {
        std::string ra = RecordBuilder(RecordKind::Race)
                             .race(kDate, "06", 5, 3, number)
                             .text(ra::weekday, "1")
                             .number(ra::distance, distance)
                             .number(ra::track, track)
                             .number(ra::entries, entries)
                             .number(ra::start_time, 1000 + number * 30)
                             .str();
        store.store(StoreFile::DayRaces, ra);
    }
    void runner(int race, int horse, const char* pedigree, int bracket = -1, int entries = 0) {
        RecordBuilder se(RecordKind::Runner);
        se.text(header::category, "2")
            .race(kDate, "06", 5, 3, race)
            .number(se::horse_number, horse)
            .text(se::pedigree, pedigree)
            .text(se::horse_name, sj("テストホース"));
        if (bracket < 0) bracket = bracket_number(entries, horse);
        if (bracket > 0) se.number(se::bracket, bracket);
        store.store(StoreFile::DayRunners, se.str());
    }
    // An earlier run of a horse, with the race it belonged to (05 = Tokyo).
    void past(const char* pedigree, int date, const char* course, int race, int distance, int track,
              const char* time, const char* last3f, int going = 1) {
        store.store(StoreFile::HorseRuns, RecordBuilder(RecordKind::Runner)
                                              .text(header::category, "7")
                                              .race(date, course, 1, 1, race)
                                              .number(se::horse_number, 1)
                                              .text(se::pedigree, pedigree)
                                              .text(se::running_time, time)
                                              .text(se::last_three_furlongs, last3f)
                                              .str());
        store.store(StoreFile::MeetingRaces, RecordBuilder(RecordKind::Race)
                                                 .text(header::category, "7")
                                                 .race(date, course, 1, 1, race)
                                                 .number(ra::distance, distance)
                                                 .number(ra::track, track)
                                                 .number(ra::turf_going, going)
                                                 .number(ra::dirt_going, going)
                                                 .str());
    }
    void payout(int race) {
        store.store(StoreFile::DayPayouts, RecordBuilder(RecordKind::Payout)
                                               .race(kDate, "06", 5, 3, race)
                                               .text(Field{245, 4}, "0102")
                                               .number(Field{249, 9}, 100 * race)
                                               .str());
    }
    fs::path file(const char* extension) { return store.day_file(entry, extension); }
};

// The three-race day whose every figure the test below checks.
void build_three_races(FixtureDay& f) {
    f.race(1, 1200, 17, 3);
    f.race(2, 1800, 24, 2);
    f.race(3, 1600, 17, 2);
    f.runner(1, 1, "2022100001", -1, 3);
    f.runner(1, 2, "2022100002", -1, 3);
    f.runner(1, 3, "2022100003", -1, 3);
    f.runner(2, 1, "2021100004", -1, 2);
    f.runner(2, 2, "2021100005", -1, 2);
    f.runner(3, 1, "2021100006", -1, 2);
    f.runner(3, 2, "2021100007", -1, 2);
    // Horse 1 of race 1: seven runs, two of them on or after the race date.
    const char* a = "2022100001";
    f.past(a, 20260906, "06", 1, 1200, 17, "1100", "350");  // 6th latest: not taken
    f.past(a, 20260920, "06", 2, 1200, 17, "1090", "348");
    f.past(a, 20261004, "06", 3, 1600, 17, "1350", "360");
    f.past(a, 20261018, "06", 4, 1800, 24, "1530", "380");
    f.past(a, 20261101, "06", 5, 1200, 17, "1088", "344");
    f.past(a, 20261115, "06", 6, 3000, 54, "3200", "380");  // a jump race: no index
    f.past(a, 20261205, "06", 1, 1200, 17, "1080", "340");  // the race day itself
    f.past(a, 20261212, "06", 1, 1200, 17, "1080", "340");  // after it
    // Horse 2 of race 1: two runs, one with heavy going.
    f.past("2022100002", 20261101, "06", 7, 1200, 17, "1097", "355", 3);
    f.past("2022100002", 20261122, "06", 8, 1400, 17, "1224", "000");
    // Horse 3: no horse file at all.
    // Race 2, horse 1: a run whose meeting file is missing.
    f.store.store(StoreFile::HorseRuns, RecordBuilder(RecordKind::Runner)
                                            .text(header::category, "7")
                                            .race(20261003, "09", 1, 1, 1)
                                            .number(se::horse_number, 1)
                                            .text(se::pedigree, "2021100004")
                                            .text(se::running_time, "1100")
                                            .str());
    // Payouts stored in reverse order.
    f.payout(3);
    f.payout(1);
}

TEST(DayLoader, TheFixtureDay) {
    FixtureDay f;
    build_three_races(f);
    RaceDay day;
    std::vector<int> steps;
    LoadProgress progress{[&](const std::string& caption, int maximum) {
                              EXPECT_EQ(caption, f.entry);
                              EXPECT_EQ(maximum, 24);
                          },
                          [&](int position) { steps.push_back(position); }, [] {}};
    LoadOutcome outcome = load_race_day(day, f.dir.path(), f.entry, progress);
    ASSERT_TRUE(outcome.built);
    EXPECT_TRUE(outcome.complete);
    EXPECT_EQ(steps.size(), 15u);  // 3 races read, 12 race slots matched
    EXPECT_EQ(day.race_count, 3);
    EXPECT_TRUE(day.from_2005);
    EXPECT_EQ(cp932::to_utf8(outcome.day_key), "2026年12月05日中山");
    EXPECT_EQ(cp932::to_utf8(outcome.banner), "2026年12月05日(土)中山05回03回");

    // Past runs of horse 1: the five latest strictly before the race date.
    std::string dates;
    for (int j = 1; j <= 5; ++j) dates += std::to_string(race_date(day.past_run_of(0, 0, j))) + " ";
    EXPECT_EQ(dates, "20261115 20261101 20261018 20261004 20260920 ");
    EXPECT_EQ(field_int(day.past_race_of(0, 0, 2), ra::distance), 1200);
    EXPECT_EQ(field_int(day.past_race_of(0, 0, 3), ra::track), 24);

    const RunnerFigures& h1 = day.figures[0].runner[0];
    // "1088" is 1:08.8, "1530" 1:53.0.
    std::array<double, 6> time{
        0, 0, 68.8 / 68.8 * 100, 112.7 / 113.0 * 100, 94.2 / 95.0 * 100, 68.8 / 69.0 * 100};
    std::array<double, 6> f3{0,
                             0,
                             68.8 / 34.4 * 50,
                             112.7 / 38.0 * (600.0 / 1800) * 100,
                             94.2 / 36.0 * (600.0 / 1600) * 100,
                             68.8 / 34.8 * 50};
    for (int j = 1; j <= 5; ++j) {
        EXPECT_DOUBLE_EQ(h1.past_time_index[j], time[j]) << j;
        EXPECT_DOUBLE_EQ(h1.past_f3_index[j], f3[j]) << j;
    }
    double time_ability = (time[2] + time[3] + time[4] + time[5]) / 4;
    double f3_ability = (f3[2] + f3[3] + f3[4] + f3[5]) / 4;
    double trend = 98 - ((time[3] - time[2]) + (time[4] - time[3]) + (time[5] - time[4]));
    EXPECT_DOUBLE_EQ(h1.time_ability, time_ability);
    EXPECT_DOUBLE_EQ(h1.f3_ability, f3_ability);
    EXPECT_DOUBLE_EQ(h1.trend, trend);
    EXPECT_DOUBLE_EQ(h1.composite, time_ability + f3_ability + trend);

    // Horse 2: heavy going uses the heavy base time; "000" has no index.
    const RunnerFigures& h2 = day.figures[0].runner[1];
    EXPECT_DOUBLE_EQ(h2.past_time_index[1], 82.4 / 82.4 * 100);
    EXPECT_DOUBLE_EQ(h2.past_f3_index[1], 0);
    EXPECT_DOUBLE_EQ(h2.past_time_index[2], 69.7 / 69.7 * 100);
    EXPECT_DOUBLE_EQ(h2.past_f3_index[2], 69.7 / 35.5 * 50);
    EXPECT_DOUBLE_EQ(h2.trend, 98 + (h2.past_time_index[1] - h2.past_time_index[2]));
    // Horse 3: nothing to go on.
    const RunnerFigures& h3 = day.figures[0].runner[2];
    EXPECT_EQ(h3.composite, 278);
    EXPECT_EQ(h3.trend, 98);
    // Race 2 horse 1: its meeting file is missing, so its one run has no index.
    EXPECT_FALSE(is_absent(day.past_run_of(1, 0, 1)));
    EXPECT_TRUE(is_absent(day.past_race_of(1, 0, 1)));
    EXPECT_EQ(day.figures[1].runner[0].composite, 278);

    // Ranks of race 1.
    const RaceFigures& r1 = day.figures[0];
    EXPECT_EQ(r1.time_rank[3], 0);
    EXPECT_EQ(r1.f3_rank[3], 0);
    bool one_ahead = h1.composite > h2.composite;
    EXPECT_EQ(r1.composite_rank[1], one_ahead ? 1 : 2);
    EXPECT_EQ(r1.composite_rank[2], one_ahead ? 2 : 1);
    EXPECT_EQ(r1.composite_rank[3], 3);
    // Race 2's two runners without runs tie at 278: the higher number ranks first.
    EXPECT_EQ(day.figures[1].composite_rank[2], 1);
    EXPECT_EQ(day.figures[1].composite_rank[1], 2);
    // Nothing beyond the loaded races.
    EXPECT_EQ(day.figures[3].composite_rank[1], 0);

    // Payouts land on their races by key, whatever the file order.
    EXPECT_EQ(field_int(day.payout[0], Field{249, 9}), 100);
    EXPECT_TRUE(is_absent(day.payout[1]));
    EXPECT_EQ(field_int(day.payout[2], Field{249, 9}), 300);

    // The computer prediction ran: X = 3*1200/200 = 18, 2*1800/200 = 18,
    // 2*1600/200 = 16.
    EXPECT_DOUBLE_EQ(day.prediction[0].size, 18);
    EXPECT_DOUBLE_EQ(day.prediction[2].ratio, 16.0 / 18);

    // Viewing writes nothing: the skeleton is in memory, no user file on disk.
    EXPECT_EQ(day.user_lines, user_file_skeleton());
    EXPECT_FALSE(day.user_file_bytes.has_value());
    EXPECT_FALSE(fs::exists(f.file(".User")));
}

TEST(DayLoader, UserFileSkeleton) {
    std::vector<std::string> lines = user_file_skeleton();
    ASSERT_EQ(lines.size(), 300u);
    EXPECT_EQ(lines[0], std::string(79, '-'));
    EXPECT_EQ(cp932::to_utf8(lines[1]), "【 1R】");
    EXPECT_EQ(cp932::to_utf8(lines[276]), "【12R】");
    EXPECT_EQ(lines[3], "  | 1|0|0|0|0|0|0|0|0|0|  |  0.000|");
    EXPECT_EQ(lines[20], "  |18|0|0|0|0|0|0|0|0|0|  |  0.000|");
    EXPECT_EQ(lines[21], std::string(79, '-'));
    EXPECT_EQ(lines[22], "");
    EXPECT_EQ(lines[23], std::string(79, '-'));
    EXPECT_EQ(lines[24], "");
}

TEST(DayLoader, ExistingUserFileIsReadNotOverwritten) {
    FixtureDay f;
    build_three_races(f);
    std::vector<std::string> lines = user_file_skeleton();
    lines[22] = "   3- 5   1- 3";  // race 1 quinella bets
    lines[24] = "   2- 3";         // race 1 bracket bets
    lines[47] = "  12-1";          // race 2: a short text
    lines.resize(60);              // a file cut short
    write_bytes(f.file(".User"), join_lines(lines));
    std::string before = read_bytes(f.file(".User"));

    RaceDay day;
    LoadOutcome outcome = load_race_day(day, f.dir.path(), f.entry);
    ASSERT_TRUE(outcome.built);
    EXPECT_EQ(read_bytes(f.file(".User")), before);
    EXPECT_EQ(day.user_file_bytes, before);
    ASSERT_EQ(day.user_lines.size(), 300u);
    EXPECT_EQ(day.user_lines[299], "");
    EXPECT_EQ(cp932::to_utf8(day.user_lines[276]), "【12R】");
    EXPECT_EQ(bet_text(day.bets[0].user_quinella[0]), " 3- 5");
    EXPECT_EQ(bet_text(day.bets[0].user_quinella[1]), " 1- 3");
    EXPECT_EQ(bet_text(day.bets[0].user_quinella[2]), "");
    EXPECT_EQ(bet_text(day.bets[0].user_bracket[0]), " 2- 3");
    EXPECT_EQ(bet_text(day.bets[1].user_quinella[0]), "12-1");
}

TEST(DayLoader, MissingRunnerFileFailsAndLeavesNoTabs) {
    FixtureDay f;
    f.race(1, 1200, 17, 3);
    RaceDay day;
    day.prediction[0].pattern = Pattern::A;
    LoadOutcome outcome = load_race_day(day, f.dir.path(), f.entry);
    EXPECT_FALSE(outcome.built);
    EXPECT_EQ(day.prediction[0].pattern, Pattern::None);  // reset before the files were checked
    EXPECT_EQ(cp932::to_utf8(incomplete_day_message()), "データ作成が未完了のようです。");
    EXPECT_FALSE(fs::exists(f.file(".User")));
}

TEST(DayLoader, RunnerWithoutBracketMakesTheDayIncomplete) {
    FixtureDay f;
    f.race(1, 1200, 17, 2);
    f.race(2, 1400, 17, 2);
    f.runner(1, 1, "2022100001", 1);
    f.runner(1, 2, "2022100002", 2);
    f.runner(2, 1, "2022100003", 1);
    f.runner(2, 2, "2022100004", 0);  // no bracket yet
    RaceDay day;
    LoadOutcome outcome = load_race_day(day, f.dir.path(), f.entry);
    EXPECT_TRUE(outcome.built);
    EXPECT_FALSE(outcome.complete);
}

TEST(DayLoader, ElevenRacesAndMoreThanTwelveRecords) {
    FixtureDay f;
    for (int n = 1; n <= 11; ++n) {
        f.race(n, 1200 + n * 100, 17, 2);
        f.runner(n, 1, "2022100001", 1);
        f.runner(n, 2, "2022100002", 2);
    }
    RaceDay day;
    load_race_day(day, f.dir.path(), f.entry);
    EXPECT_EQ(day.race_count, 11);

    // Thirteen lines in a race file (one of another meeting day): only the
    // first twelve are read.
    std::vector<std::string> lines = split_lines(read_bytes(f.file(".jvRA")));
    for (int n = 12; n <= 13; ++n) {
        lines.push_back(std::string(without_line_break(RecordBuilder(RecordKind::Race)
                                                           .race(kDate, "06", 5, 4, n)
                                                           .number(ra::entries, 2)
                                                           .str())));
    }
    write_bytes(f.file(".jvRA"), join_lines(lines));
    load_race_day(day, f.dir.path(), f.entry);
    EXPECT_EQ(day.race_count, 12);
    EXPECT_EQ(day.race_number(11), 12);
}

TEST(DayLoader, OversizedFieldIsBoundedAndAShortLineRefusesTheDay) {
    FixtureDay f;
    f.race(1, 1200, 17, 99);  // more runners than a race has slots
    f.race(2, 1400, 17, 0);   // no runners at all
    f.race(3, 1600, 17, 2);
    f.runner(3, 1, "2022100001", 1);
    f.runner(3, 2, "2022100002", 2);
    RaceDay day;
    LoadOutcome outcome = load_race_day(day, f.dir.path(), f.entry);
    ASSERT_TRUE(outcome.built);
    EXPECT_EQ(day.runners(0), 18);
    EXPECT_EQ(day.race_count, 3);

    // A line cut short is damage to report, never a day with a race less.
    std::vector<std::string> lines = split_lines(read_bytes(f.file(".jvRA")));
    lines[1] = "RA000000000 cut short";
    write_bytes(f.file(".jvRA"), join_lines(lines));
    EXPECT_THROW(load_race_day(day, f.dir.path(), f.entry), DamagedStoreFile);
}

TEST(DayLoader, ASampleDayEndToEnd) {
    TempDir dir;
    import_sample_feed(dir.path(), SampleFeedOptions{11, 6, 20261206}, DateTime{2026, 12, 6, 9});

    std::vector<std::string> days =
        list_race_days(dir.path() / "Data", DateFilter::Yesterday, 0, DateTime{2026, 12, 6});
    ASSERT_FALSE(days.empty());
    for (const auto& entry : days) {
        RaceDay day;
        LoadOutcome outcome = load_race_day(day, dir.path(), entry);
        ASSERT_TRUE(outcome.built) << cp932::to_utf8(entry);
        EXPECT_TRUE(outcome.complete);
        EXPECT_EQ(day.race_count, 12);
        int with_history = 0, runners = 0;
        for (int n = 0; n < day.race_count; ++n) {
            int field = day.runners(n);
            std::vector<int> ranks;
            for (int h = 1; h <= field; ++h) ranks.push_back(day.figures[n].composite_rank[h]);
            std::sort(ranks.begin(), ranks.end());
            for (int i = 0; i < field; ++i) EXPECT_EQ(ranks[static_cast<std::size_t>(i)], i + 1);
            EXPECT_NE(day.prediction[n].pattern, Pattern::None);
            EXPECT_FALSE(day.bets[n].computer_quinella[0].empty());
            EXPECT_FALSE(is_absent(day.payout[n]));  // final results came with payouts
            for (int r = 0; r < field; ++r) {
                ++runners;
                double t = day.figures[n].runner[r].time_ability;
                if (t > 0) {
                    ++with_history;
                    EXPECT_GT(t, 85) << cp932::to_utf8(entry) << " " << n << " " << r;
                    EXPECT_LT(t, 115);
                }
            }
        }
        EXPECT_GT(with_history * 2, runners) << "most runners have earlier runs";
    }
}

}  // namespace
}  // namespace tolven
