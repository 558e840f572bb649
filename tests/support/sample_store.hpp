#pragma once

#include <filesystem>

#include "sample/sample_feed.hpp"
#include "store/date_time.hpp"

namespace tolven::testing {

// Imports all of the feed folder <base>/feed into the store of base, as
// "データ取込み開始" with a from-time in 2000 does, at the local time now.
// Returns the number of records the import filed or refused; throws when the
// import reports a failure.
int import_feed(const std::filesystem::path& base, const DateTime& now);

// Writes a sample feed into <base>/feed and imports it as import_feed does.
int import_sample_feed(const std::filesystem::path& base, const SampleFeedOptions& options,
                       const DateTime& now);

}  // namespace tolven::testing
