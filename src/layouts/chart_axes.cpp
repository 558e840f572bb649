#include "layouts/chart_axes.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tolven {
namespace {

int year_of(int date) {
    return date / 10000;
}
int month_of(int date) {
    return date / 100 % 100;
}

int from_day_number(long long days) {
    // The inverse of day_number (civil date from a day count).
    days += 719468;
    long long era = (days >= 0 ? days : days - 146096) / 146097;
    long long doe = days - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long y = yoe + era * 400;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    long long d = doy - (153 * mp + 2) / 5 + 1;
    long long m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
    return static_cast<int>(y * 10000 + m * 100 + d);
}

std::string label(int date, bool months) {
    char text[16];
    if (months) {
        std::snprintf(text, sizeof text, "%04d/%02d", year_of(date) % 10000, month_of(date));
    } else {
        std::snprintf(text, sizeof text, "%02d/%02d", month_of(date), date % 100);
    }
    return text;
}

}  // namespace

long long day_number(int date) {
    long long y = year_of(date);
    long long m = month_of(date);
    long long d = date % 100;
    if (m <= 2) --y;
    long long era = (y >= 0 ? y : y - 399) / 400;
    long long yoe = y - era * 400;
    long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::vector<DateTick> date_ticks(int first, int last, int max_labels) {
    if (last < first) std::swap(first, last);
    max_labels = std::max(1, max_labels);
    const long long begin = day_number(first);
    const long long end = day_number(last);
    for (int step : {1, 2, 7, 14}) {
        if ((end - begin) / step + 1 > max_labels) continue;
        std::vector<DateTick> ticks;
        for (long long d = begin; d <= end; d += step) {
            int date = from_day_number(d);
            ticks.push_back({date, label(date, false)});
        }
        return ticks;
    }
    for (int step : {1, 2, 3, 6, 12}) {
        std::vector<DateTick> ticks;
        // The first of every month from first's month on, kept when on the step.
        int y = year_of(first);
        int m = month_of(first);
        for (;;) {
            int date = y * 10000 + m * 100 + 1;
            if (date > last) break;
            if (date >= first && (m - 1) % step == 0) ticks.push_back({date, label(date, true)});
            if (++m > 12) {
                m = 1;
                ++y;
            }
        }
        if (static_cast<int>(ticks.size()) <= max_labels && !ticks.empty()) return ticks;
    }
    return {{first, label(first, true)}};
}

std::vector<long long> amount_ticks(long long low, long long high, int max_ticks) {
    low = std::min(low, 0LL);
    high = std::max(high, 0LL);
    if (low == high) return {0, 1000};
    max_ticks = std::max(2, max_ticks);
    for (long long power = 1;; power *= 10) {
        for (long long factor : {1, 2, 5}) {
            long long step = factor * power;
            long long from = low / step - (low % step < 0 ? 1 : 0);
            long long to = high / step + (high % step > 0 ? 1 : 0);
            if (to - from + 1 > max_ticks) continue;
            std::vector<long long> ticks;
            for (long long k = from; k <= to; ++k) ticks.push_back(k * step);
            return ticks;
        }
    }
}

std::string grouped_amount(long long amount) {
    std::string digits = std::to_string(std::llabs(amount));
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return amount < 0 ? "-" + out : out;
}

}  // namespace tolven
