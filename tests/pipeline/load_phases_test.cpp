#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/day_loader.hpp"
#include "store/record_builder.hpp"

namespace tolven {
namespace {

std::string run(int date, int race_number = 5, const char* course = "05") {
    return RecordBuilder(RecordKind::Runner)
        .race(date, course, 1, 2, race_number)
        .text(se::pedigree, "2021100001")
        .str();
}

// A horse file in date order: the latest runs before the race come first,
// at most five; runs on or after the race day, without a date, or with key
// fields that name no meeting file are passed over.
TEST(LoadPhases, EarlierRunsOfAHorse) {
    const int race_date = 20261205;
    struct Case {
        const char* name;
        std::vector<std::string> horse_runs;
        std::vector<std::string> expected;
    } cases[] = {
        {"none", {}, {}},
        {"only later and same day", {run(20261205), run(20261212)}, {}},
        {"the day before",
         {run(20261128), run(20261204), run(20261205)},
         {run(20261204), run(20261128)}},
        {"five of seven",
         {run(20260101), run(20260201), run(20260301), run(20260401), run(20260501),
          run(20260601), run(20260701)},
         {run(20260701), run(20260601), run(20260501), run(20260401), run(20260301)}},
        {"undated and bad keys",
         {run(20260101), run(20260201, 5, "!!"), RecordBuilder(RecordKind::Runner).str(),
          run(20260301)},
         {run(20260301), run(20260101)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RaceDay::PastRecords into;
        into.values.fill("old");
        int taken = take_earlier_runs(c.horse_runs, race_date, into);
        ASSERT_EQ(taken, static_cast<int>(c.expected.size()));
        for (int j = 1; j <= kPastRuns; ++j) {
            std::size_t i = static_cast<std::size_t>(j - 1);
            EXPECT_EQ(into[j], i < c.expected.size() ? c.expected[i] : "old") << j;
        }
    }
}

// Payouts find their race by race key, wherever the race sits on the card;
// only the first 12 payout records count.
TEST(LoadPhases, PayoutsGoToTheRaceOfTheirKey) {
    RaceDay day;
    for (int n = 0; n < kMaxRaces; ++n) {
        day.race[n] = RecordBuilder(RecordKind::Race).race(20261205, "06", 5, 3, n + 1).str();
    }
    auto payout = [](int number) {
        return RecordBuilder(RecordKind::Payout).race(20261205, "06", 5, 3, number).str();
    };
    std::vector<std::string> payouts = {payout(12), RecordBuilder(RecordKind::Payout).str(),
                                        payout(1),  payout(13)};
    for (int i = 0; i < 8; ++i) payouts.push_back(payout(2));
    payouts.push_back(payout(3));  // the 13th record
    attach_payouts(day, payouts);
    EXPECT_EQ(day.payout[11], payout(12));
    EXPECT_EQ(day.payout[0], payout(1));
    EXPECT_EQ(day.payout[1], payout(2));
    EXPECT_EQ(day.payout[2], RaceDay().payout[2]);
    for (int n = 3; n < 11; ++n) EXPECT_EQ(day.payout[n], RaceDay().payout[n]) << n;
}

}  // namespace
}  // namespace tolven
