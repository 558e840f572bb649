#pragma once

// Dates of the sample calendar: race days at nine in the morning, day and
// week numbers to count rest and meetings by. Only the sample feed uses it.

#include "store/date_time.hpp"

namespace tolven::sample {

inline DateTime date_of(int yyyymmdd) {
    return DateTime{yyyymmdd / 10000, yyyymmdd / 100 % 100, yyyymmdd % 100, 9, 0, 0};
}

inline long day_number(const DateTime& d) {
    return days_from_civil(d.year, d.month, d.day);
}

// Weeks counted from Monday to Sunday, so that a weekend shares its number.
inline long week_number(const DateTime& d) {
    long since_monday = day_number(d) + 3;  // 1970-01-01 was a Thursday
    return since_monday >= 0 ? since_monday / 7 : (since_monday - 6) / 7;
}

}  // namespace tolven::sample
