#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolven {

// A local calendar date and time of day, as the settings file and the
// download window handle it.
struct DateTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;

    // The local date and time now.
    static DateTime now();
    // "yyyy/mm/dd hh:nn:ss" (also accepts single-digit fields and a missing
    // time); nullopt when it is no valid date and time.
    static std::optional<DateTime> parse(std::string_view text);
    // 14 digits YYYYMMDDhhmmss; nullopt when not a valid date and time.
    static std::optional<DateTime> from_digits(std::string_view digits);

    std::string text() const;    // "yyyy/mm/dd hh:nn:ss"
    std::string digits() const;  // "yyyymmddhhnnss"
    int date_number() const;     // YYYYMMDD
    // The same time of day `days` calendar days later (negative: earlier).
    DateTime plus_days(int days) const;
    // 0 Sunday .. 6 Saturday.
    int weekday() const;

    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// Days since 1970-01-01 of a civil date, and back.
long days_from_civil(int year, int month, int day);
void civil_from_days(long days, int& year, int& month, int& day);
bool valid_date(int year, int month, int day);

}  // namespace tolven
