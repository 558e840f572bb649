#pragma once

// The race and runner records of a sample race, as the race card and the
// result give them. Only the sample feed uses it.

#include "sample/sample_feed.hpp"
#include "sample/sample_race.hpp"
#include "store/date_time.hpp"
#include "store/record_builder.hpp"

namespace tolven::sample {

// Where and when a race is run: the header fields every record of it shares.
struct RaceHeader {
    const SampleMeeting* meeting = nullptr;
    DateTime date;
    int number = 0;

    RecordBuilder builder(RecordKind kind) const {
        RecordBuilder b(kind);
        b.race(date.date_number(), meeting->course, meeting->kai, meeting->nichi, number);
        return b;
    }
};

// The race record without category and creation date.
RecordBuilder race_record(const RaceHeader& header, const RacePlan& plan, int course_index,
                          int size, const Going& going);
// A runner record as on the race card, without category and creation date.
RecordBuilder card_runner_record(const RaceHeader& header, const Runner& r);
// The runner record with the runner's result: position, time and the last
// three furlongs.
RecordBuilder& with_result(RecordBuilder& se, const Runner& r);

}  // namespace tolven::sample
