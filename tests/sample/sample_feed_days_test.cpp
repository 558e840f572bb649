// Every day of an imported sample feed, loaded as a click on the day list
// does: the runners of every race but a debut race come with earlier runs
// that rate, and the figures the program shows all occur.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "sample/sample_feed.hpp"
#include "money/fund_allocation.hpp"
#include "pipeline/day_loader.hpp"
#include "store/catalogue.hpp"
#include "store/code_tables.hpp"
#include "store/cp932.hpp"
#include "support/sample_store.hpp"
#include "support/temp_dir.hpp"

namespace tolven {
namespace {

using namespace tolven::testing;

struct FeedCase {
    const char* name;
    SampleFeedOptions options;
};

void PrintTo(const FeedCase& c, std::ostream* os) {
    *os << c.name;
}

// What the sample days show, gathered over every day of a feed.
struct Seen {
    int days = 0;
    int races = 0;
    int debut_races = 0;
    std::set<std::string> patterns;
    std::map<std::string, int> grades;  // UTF-8, "" for none
    int quinella_hits = 0;
    int bracket_hits = 0;
    // Runners aged 4 and up in races that are not debut races, and how many
    // of them have at least three earlier runs.
    int older_runners = 0;
    int older_with_three = 0;
    std::set<std::string> past_courses, past_distances;
    std::set<int> past_surfaces, past_goings;
};

bool paid(const RaceDay& day, int n, const PayoutGroup& group, const BetList& bets) {
    for (int k = 0; k < group.entries; ++k) {
        PayoutEntry entry = payout_entry(day.payout[n], group, k);
        if (!entry.in_use()) continue;
        std::string combination = combination_text(entry.combination);
        for (const Bet& bet : bets) {
            if (!bet.empty() && bet_text(bet) == combination) return true;
        }
    }
    return false;
}

void look_at_race(const RaceDay& day, int n, Seen& seen) {
    std::string where = cp932::to_utf8(day.entry) + " " + std::to_string(n + 1) + "R";
    bool debut = field_text(day.race[n], ra::condition_youngest) == "701";
    int runners = day.runners(n);
    ++seen.races;
    seen.patterns.insert(std::string(pattern_letter(day.prediction[n].pattern)));
    seen.grades[cp932::to_utf8(confidence_grade_text(confidence_grade(day, n)))] += 1;
    if (paid(day, n, hr::quinella, day.bets[n].computer_quinella)) ++seen.quinella_hits;
    if (paid(day, n, hr::bracket_quinella, day.bets[n].computer_bracket)) ++seen.bracket_hits;

    const RaceFigures& figures = day.figures[n];
    int with_index = 0;
    for (int r = 0; r < runners; ++r) {
        int past_runs = 0;
        for (int j = 1; j <= kPastRuns; ++j) {
            if (is_absent(day.past_run_of(n, r, j))) continue;
            ++past_runs;
            const std::string& race = day.past_race_of(n, r, j);
            ASSERT_FALSE(is_absent(race)) << where << " horse " << r + 1 << " past " << j;
            seen.past_courses.insert(std::string(field_text(race, header::course)));
            seen.past_distances.insert(std::string(field_text(race, ra::distance)));
            int track = field_int(race, ra::track);
            seen.past_surfaces.insert(track > 50 ? 3 : track > 22 ? 2 : 1);
            seen.past_goings.insert(field_int(race, track > 22 ? ra::dirt_going : ra::turf_going));
        }
        const RunnerFigures& f = figures.runner[static_cast<std::size_t>(r)];
        bool rated = false;
        for (int j = 1; j <= kPastRuns; ++j) rated = rated || f.past_time_index[j] > 0;
        with_index += rated ? 1 : 0;
        if (debut) {
            EXPECT_EQ(past_runs, 0) << where << " horse " << r + 1 << " is no newcomer";
            continue;
        }
        EXPECT_GT(past_runs, 0) << where << " horse " << r + 1 << " has no earlier run";
        int age = field_int(day.race[n], header::year) -
                  field_int(day.runner[n][r], se::pedigree) / 1000000;
        if (age >= 4) {
            ++seen.older_runners;
            seen.older_with_three += past_runs >= 3 ? 1 : 0;
        }
        if (rated) {
            EXPECT_GT(f.time_ability, 85) << where << " horse " << r + 1;
            EXPECT_LT(f.time_ability, 115) << where << " horse " << r + 1;
        }
    }
    if (debut) {
        ++seen.debut_races;
        return;
    }
    EXPECT_GE(with_index * 5, runners * 4)
        << where << ": " << with_index << " of " << runners << " runners have a time index";
    // The four ranks: every rated runner has a time and a three-furlong rank,
    // and every runner a trend and a composite rank.
    std::set<int> time_ranks, f3_ranks, trend_ranks, composite_ranks;
    for (int h = 1; h <= runners; ++h) {
        if (figures.time_rank[h] > 0) time_ranks.insert(figures.time_rank[h]);
        if (figures.f3_rank[h] > 0) f3_ranks.insert(figures.f3_rank[h]);
        if (figures.trend_rank[h] > 0) trend_ranks.insert(figures.trend_rank[h]);
        if (figures.composite_rank[h] > 0) composite_ranks.insert(figures.composite_rank[h]);
    }
    EXPECT_EQ(static_cast<int>(time_ranks.size()), with_index) << where;
    EXPECT_EQ(static_cast<int>(f3_ranks.size()), with_index) << where;
    EXPECT_EQ(static_cast<int>(trend_ranks.size()), runners) << where;
    EXPECT_EQ(static_cast<int>(composite_ranks.size()), runners) << where;
}

class SampleFeedDays : public ::testing::TestWithParam<FeedCase> {};

TEST_P(SampleFeedDays, EveryRaceButADebutRaceRatesItsRunners) {
    const FeedCase& c = GetParam();
    TempDir dir;
    int today = c.options.today;
    DateTime now{today / 10000, today / 100 % 100, today % 100, 10, 0, 0};
    import_sample_feed(dir.path(), c.options, now);

    std::vector<std::string> entries = list_race_days(dir.path() / "Data", DateFilter::Any, 0, now);
    ASSERT_FALSE(entries.empty());
    Seen seen;
    for (const std::string& entry : entries) {
        RaceDay day;
        LoadOutcome outcome = load_race_day(day, dir.path(), entry);
        ASSERT_TRUE(outcome.built) << cp932::to_utf8(entry);
        ASSERT_TRUE(outcome.complete) << cp932::to_utf8(entry);
        ASSERT_EQ(day.race_count, 12) << cp932::to_utf8(entry);
        ++seen.days;
        for (int n = 0; n < day.race_count; ++n) look_at_race(day, n, seen);
    }
    EXPECT_GE(seen.days, 4);
    EXPECT_GT(seen.debut_races, 0);

    // The prediction's patterns and the allocation's grades.
    EXPECT_EQ(seen.patterns, (std::set<std::string>{"A", "B", "C"}));
    EXPECT_GT(seen.grades[""], 0) << "races without a grade";
    for (const char* grade : {"Ⅰ", "Ⅱ", "Ⅲ", "Ⅳ", "Ⅴ", "Ⅵ"}) {
        EXPECT_GT(seen.grades[grade], 0) << "grade " << grade;
    }
    // The computer bets hit now and then, as bets do.
    EXPECT_GT(seen.quinella_hits, 0);
    EXPECT_GT(seen.bracket_hits, 0);
    EXPECT_LT(seen.quinella_hits * 2, seen.races);

    // Older horses come with careers over several courses, distances,
    // surfaces and goings.
    EXPECT_GE(seen.older_with_three * 10, seen.older_runners * 8)
        << seen.older_with_three << " of " << seen.older_runners;
    EXPECT_GE(seen.past_courses.size(), 6u);
    EXPECT_GE(seen.past_distances.size(), 10u);
    EXPECT_EQ(seen.past_surfaces, (std::set<int>{1, 2, 3}));
    EXPECT_EQ(seen.past_goings, (std::set<int>{1, 2, 3, 4}));
}

INSTANTIATE_TEST_SUITE_P(Feeds, SampleFeedDays,
                         ::testing::Values(
                             // Two weeks, with yesterday and today on Tuesday and Wednesday.
                             FeedCase{"TwoWeeksMidweek", {5, 2, 20261209}},
                             // Six weeks into the summer, when the 2-year-olds begin.
                             FeedCase{"SixWeeksSummer", {11, 6, 20260614}},
                             // The default feed of the README, on a Monday after a weekend.
                             FeedCase{"DefaultWeeks", {1, SampleFeedOptions{}.weeks, 20261207}}),
                         [](const ::testing::TestParamInfo<FeedCase>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
}  // namespace tolven
