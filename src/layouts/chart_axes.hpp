#pragma once

#include <string>
#include <vector>

namespace tolven {

// The labelled ticks of a chart's axes, chosen so that the labels never
// overlap and fall on round values: the first of a month (every month,
// quarter, half year or year) or every day or week on a date axis, 1, 2 or 5
// times a power of ten on an amount axis.

struct DateTick {
    int date;           // YYYYMMDD
    std::string label;  // "2026/03" for months, "03/14" for days (UTF-8)
};

// At most max_labels ticks between first and last (YYYYMMDD, inclusive):
// the finest step of 1, 2, 7 or 14 days, or 1, 2, 3, 6 or 12 months, that
// keeps within max_labels. Day steps count from `first`; month steps fall on
// the first of a month whose number is a multiple of the step from January.
// One tick at `first` when even a year's step is too fine.
std::vector<DateTick> date_ticks(int first, int last, int max_labels);

// The days between 1970-01-01 and date (YYYYMMDD): a position on the axis.
long long day_number(int date);

// Round amounts covering low..high and zero, at most max_ticks of them, one
// step apart; {0, 1000} when low and high are both zero.
std::vector<long long> amount_ticks(long long low, long long high, int max_ticks);

// An amount with thousands separators: "-1,234,567".
std::string grouped_amount(long long amount);

}  // namespace tolven
