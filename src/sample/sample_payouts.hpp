#pragma once

// The payout record of a sample race: the pools of the public's money and
// what they pay on the result. Only the sample feed uses it.

#include <vector>

#include "sample/sample_race.hpp"
#include "sample/sample_records.hpp"
#include "store/record_builder.hpp"

namespace tolven::sample {

// The pools in the order a random-ticket report lists them.
enum class TicketKind { Win, Place, Bracket, Quinella, Wide };
inline constexpr int kTicketKinds = 5;

// What one random ticket of each pool of a race returns, as a part of its
// stake: expected over the results the race model gives, and on the result
// the race had. A pool not sold (bracket quinella in a small field) is
// marked so.
struct RandomTicketReturns {
    bool sold[kTicketKinds] = {};
    double expected[kTicketKinds] = {};
    double realized[kTicketKinds] = {};
};

// The payout record of a finished race, without category and creation date:
// win, place, bracket quinella (fields of 9 or more), quinella and wide, each
// naming the combinations the result pays, priced by the pools of the
// public's chances.
RecordBuilder payout_record(const RaceHeader& header, const std::vector<Runner>& runners, Rng& rng,
                            RandomTicketReturns* returns = nullptr);

}  // namespace tolven::sample
