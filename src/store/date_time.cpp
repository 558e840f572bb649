#include "store/date_time.hpp"

#include <cstdio>
#include <ctime>

#include "platform/files.hpp"

namespace tolven {

// Howard Hinnant's civil-date algorithms: exact for the proleptic Gregorian
// calendar, no time zone involved.
long days_from_civil(int year, int month, int day) {
    long y = year - (month <= 2 ? 1 : 0);
    long era = (y >= 0 ? y : y - 399) / 400;
    long yoe = y - era * 400;
    long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civil_from_days(long days, int& year, int& month, int& day) {
    days += 719468;
    long era = (days >= 0 ? days : days - 146096) / 146097;
    long doe = days - era * 146097;
    long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

bool valid_date(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int length = lengths[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= length;
}

namespace {

bool valid(const DateTime& t) {
    return valid_date(t.year, t.month, t.day) && t.hour >= 0 && t.hour < 24 && t.minute >= 0 &&
           t.minute < 60 && t.second >= 0 && t.second < 60;
}

}  // namespace

DateTime DateTime::now() {
    std::time_t seconds = std::time(nullptr);
    std::tm local{};
    platform::local_time(seconds, local);
    return DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                    local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::optional<DateTime> DateTime::parse(std::string_view text) {
    DateTime t;
    std::string s(text);
    char tail = 0;
    int n = std::sscanf(s.c_str(), "%d/%d/%d %d:%d:%d%c", &t.year, &t.month, &t.day, &t.hour,
                        &t.minute, &t.second, &tail);
    if (n == 3) {
        t.hour = t.minute = t.second = 0;
    } else if (n != 6) {
        return std::nullopt;
    }
    if (!valid(t)) return std::nullopt;
    return t;
}

std::optional<DateTime> DateTime::from_digits(std::string_view digits) {
    if (digits.size() != 14) return std::nullopt;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
    }
    auto number = [&](std::size_t at, std::size_t width) {
        int v = 0;
        for (std::size_t i = at; i < at + width; ++i) v = v * 10 + (digits[i] - '0');
        return v;
    };
    DateTime t{number(0, 4), number(4, 2),  number(6, 2),
               number(8, 2), number(10, 2), number(12, 2)};
    if (!valid(t)) return std::nullopt;
    return t;
}

std::string DateTime::text() const {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    return buffer;
}

std::string DateTime::digits() const {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d%02d%02d%02d", year, month, day, hour, minute,
                  second);
    return buffer;
}

int DateTime::date_number() const {
    return year * 10000 + month * 100 + day;
}

DateTime DateTime::plus_days(int days) const {
    DateTime t = *this;
    civil_from_days(days_from_civil(year, month, day) + days, t.year, t.month, t.day);
    return t;
}

int DateTime::weekday() const {
    long d = days_from_civil(year, month, day);
    return static_cast<int>(((d % 7) + 11) % 7);  // 1970-01-01 was a Thursday
}

}  // namespace tolven
