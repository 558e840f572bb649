#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tolven {

struct SampleFeedOptions {
    std::uint64_t seed = 1;
    int weeks = 16;  // weekends of past meetings before yesterday
    int today = 0;   // YYYYMMDD; 0 = the local date
};

// Weeks of earlier meetings before the first feed week whose results (and no
// race cards) open the feed, so that the horses of the first sample days
// already come with careers, whatever the number of weeks.
inline constexpr int kSampleHistoryWeeks = 16;

// What a race day of the sample calendar delivers.
enum class SampleStage {
    History,    // final results only, before the first feed week
    Past,       // race cards, then final results
    Yesterday,  // as Past: the day before today
    Today,      // race cards; results and payouts as realtime data only
};

struct SampleMeeting {
    std::string course;  // racecourse code "01".."10"
    int kai = 0;         // meeting of the year at the course
    int nichi = 0;       // day of the meeting
};

struct SampleRaceDay {
    int date = 0;  // YYYYMMDD
    SampleStage stage = SampleStage::Past;
    std::vector<SampleMeeting> meetings;
};

// The race days of the feed in date order: the weekends of the history
// weeks, the weekends of the past weeks, yesterday and today, each with the
// courses that race on it.
std::vector<SampleRaceDay> sample_calendar(const SampleFeedOptions& options);

struct SampleFeedSummary {
    int days = 0;          // race days (date and racecourse) with race cards
    int history_days = 0;  // race days before the first feed week (results only)
    int races = 0;         // of all race days
    int runners = 0;
    int horses = 0;
    int files = 0;  // feed files written
    long long records = 0;
    long long bytes = 0;
    // What one random ticket returns, as a part of its stake, over the races
    // whose final results the feed holds (neither the history weeks nor
    // today): per pool in the order win, place, bracket quinella, quinella,
    // wide, the sums over the races of the return expected from the race
    // model and of the return on the actual result, and the races counted.
    struct RandomTickets {
        double expected = 0;
        double realized = 0;
        double realized_squares = 0;  // for the spread of the realized return
        int races = 0;
        double expected_rate() const { return races == 0 ? 0 : expected / races; }
        double realized_rate() const { return races == 0 ? 0 : realized / races; }
        // The standard error of the realized rate: how far luck moves it.
        double realized_error() const {
            if (races < 2) return 0;
            double mean = realized_rate();
            double variance = (realized_squares / races - mean * mean) * races / (races - 1);
            return std::sqrt(std::max(0.0, variance) / races);
        }
    };
    RandomTickets random_tickets[5];
};

// Writes a realistic, deterministic JV-Data feed into folder: weekends of JRA
// meetings with horses whose careers run across them. The history weeks come
// as final results with payouts; the past meetings as race cards
// (provisional) and then as final results with payouts; the day before
// `today` is final; the meeting of `today` comes as race cards only, with its
// results and payouts as realtime files under 0B12/.
SampleFeedSummary make_sample_feed(const std::filesystem::path& folder,
                                   const SampleFeedOptions& options);

}  // namespace tolven
