#include "store/record_builder.hpp"

#include <cstdio>

#include "store/cp932.hpp"

namespace tolven {

RecordBuilder::RecordBuilder(RecordKind kind) : record_(blank_record(kind)) {
    record_.replace(0, 2, record_kind_code(kind));
    record_.replace(record_.size() - 2, 2, "\r\n");
}

RecordBuilder& RecordBuilder::text(Field f, std::string_view cp932_text) {
    std::string value(cp932::cut(cp932_text, f.width));
    value.resize(f.width, ' ');
    record_.replace(f.offset, f.width, value);
    return *this;
}

RecordBuilder& RecordBuilder::number(Field f, long long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*lld", static_cast<int>(f.width), value);
    std::string_view digits(buffer);
    record_.replace(f.offset, f.width, digits.substr(digits.size() - f.width));
    return *this;
}

RecordBuilder& RecordBuilder::payout(const PayoutGroup& group, int k, std::string_view combination,
                                     long long amount) {
    std::size_t at = group.offset + static_cast<std::size_t>(k) * group.entry_width;
    text(Field{at, group.combination_width}, combination);
    return number(Field{at + group.payout_offset, 9}, amount);
}

RecordBuilder& RecordBuilder::race(int yyyymmdd, std::string_view course, int kai, int nichi,
                                   int race_number) {
    number(header::year, yyyymmdd / 10000);
    number(header::month_day, yyyymmdd % 10000);
    text(header::course, course);
    number(header::kai, kai);
    number(header::nichi, nichi);
    number(header::race_number, race_number);
    return *this;
}

}  // namespace tolven
