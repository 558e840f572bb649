#pragma once

#include <string>

#include "store/record_builder.hpp"

namespace tolven::testing {

// Records for tests: a race, a runner and a payout record of one race, with
// category and creation date set so that the store's rewrite shows.
inline std::string race_record(int date, const char* course, int race, const char* category = "7",
                               int entries = 16) {
    return RecordBuilder(RecordKind::Race)
        .text(header::category, category)
        .text(header::created, "20261201")
        .race(date, course, 5, 3, race)
        .number(ra::entries, entries)
        .str();
}

inline std::string runner_record(int date, const char* course, int race, int horse,
                                 const char* category = "7", const char* pedigree = "2022100001") {
    return RecordBuilder(RecordKind::Runner)
        .text(header::category, category)
        .text(header::created, "20261201")
        .race(date, course, 5, 3, race)
        .number(se::bracket, 1)
        .number(se::horse_number, horse)
        .text(se::pedigree, pedigree)
        .str();
}

inline std::string payout_record(int date, const char* course, int race,
                                 const char* category = "2") {
    return RecordBuilder(RecordKind::Payout)
        .text(header::category, category)
        .text(header::created, "20261201")
        .race(date, course, 5, 3, race)
        .str();
}

}  // namespace tolven::testing
