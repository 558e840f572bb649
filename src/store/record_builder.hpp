#pragma once

#include <string>
#include <string_view>

#include "store/record.hpp"

namespace tolven {

// Composes records field by field, as the data service lays them out. Used by
// the sample feed and by tests; the system itself never edits a record.
class RecordBuilder {
  public:
    // A record of the kind: its kind code, spaces, and the closing CR LF.
    explicit RecordBuilder(RecordKind kind);

    // Text left-aligned in the field and padded with spaces (cut at the
    // field's width on a character boundary).
    RecordBuilder& text(Field f, std::string_view cp932_text);
    // A number right-aligned and zero-padded to the field's width.
    RecordBuilder& number(Field f, long long value);
    // Entry k (0-based) of a payout group: its combination and amount.
    RecordBuilder& payout(const PayoutGroup& group, int k, std::string_view combination,
                          long long amount);
    // Year, month-day, course, kai, nichi and race number in one go.
    RecordBuilder& race(int yyyymmdd, std::string_view course, int kai, int nichi, int race_number);

    const std::string& str() const { return record_; }

  private:
    std::string record_;
};

}  // namespace tolven
