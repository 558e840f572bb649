#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tolven {

struct SampleFeedOptions {
    std::uint64_t seed = 1;
    int weeks = 16;  // weekends of past meetings before yesterday
    int today = 0;   // YYYYMMDD; 0 = the local date
};

struct SampleFeedSummary {
    int days = 0;  // race days (date and racecourse)
    int races = 0;
    int runners = 0;
    int horses = 0;
    int files = 0;  // feed files written
};

// Writes a realistic, deterministic JV-Data feed into folder: weekends of JRA
// meetings with horses whose careers run across them. Past meetings come as
// race cards (provisional) and then as final results with payouts; the day
// before `today` is final; the meeting of `today` comes as race cards only,
// with its results and payouts as realtime files under 0B12/.
SampleFeedSummary make_sample_feed(const std::filesystem::path& folder,
                                   const SampleFeedOptions& options);

}  // namespace tolven
