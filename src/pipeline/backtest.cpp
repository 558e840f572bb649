#include "pipeline/backtest.hpp"

#include <algorithm>
#include <exception>

#include "pipeline/day_loader.hpp"
#include "store/catalogue.hpp"
#include "store/cp932.hpp"
#include "store/error_text.hpp"
#include "store/date_time.hpp"
#include "store/lenient.hpp"
#include "store/store_reader.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

struct LoadedDay {
    BalanceDay figures;
    std::vector<BalanceRace> races;
};

}  // namespace

int day_name_date(std::string_view day) {
    // "YYYY年MM月DD日": four digits, a double-byte character, two digits, one,
    // two digits.
    if (day.size() < 14) return 0;
    std::string digits;
    digits += day.substr(0, 4);
    digits += day.substr(6, 2);
    digits += day.substr(10, 2);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    if (day.substr(4, 2) != sj("年") || day.substr(8, 2) != sj("月") || day.substr(12, 2) != sj("日"))
        return 0;
    int date = lenient_int(digits);
    return valid_date(date / 10000, date / 100 % 100, date % 100) ? date : 0;
}

std::optional<std::pair<int, int>> default_balance_period(const fs::path& base) {
    int newest = 0;
    for (const auto& name : list_race_days(base / "Data", DateFilter::Any, 0, DateTime::now())) {
        newest = std::max(newest, day_name_date(name));
    }
    if (newest == 0) return std::nullopt;
    int year = newest / 10000, month = newest / 100 % 100, day = newest % 100;
    // Twelve months back, the day after the same date a year earlier.
    int from_day = std::min(day, month == 2 ? 28 : day);
    long from = days_from_civil(year - 1, month, from_day) + 1;
    int y = 0, m = 0, d = 0;
    civil_from_days(from, y, m, d);
    return std::pair{y * 10000 + m * 100 + d, newest};
}

BalanceReport run_balance(const fs::path& base, const BalanceOptions& options,
                          const BalanceProgress& progress) {
    BalanceReport report;
    report.options = options;
    // An import left unfinished is finished first, or the balance refuses
    // to count a store that holds half of it.
    settle_store(base);

    std::vector<std::string> names;
    for (auto& name : list_race_days(base / "Data", DateFilter::Any, 0, DateTime::now())) {
        int date = day_name_date(name);
        if (date >= options.from && date <= options.to) names.push_back(std::move(name));
    }
    // The catalogue lists newest first; the backtest runs forward in time.
    std::reverse(names.begin(), names.end());

    std::vector<LoadedDay> loaded;
    RaceDay day;
    int done = 0;
    for (const auto& name : names) {
        if (progress.cancelled && progress.cancelled()) {
            report.cancelled = true;
            break;
        }
        if (progress.step) progress.step(done, static_cast<int>(names.size()), name);
        ++done;
        LoadOutcome outcome;
        try {
            outcome = load_race_day(day, base, name);
        } catch (const std::exception& e) {
            report.skipped.push_back({name, cp932::from_utf8(error_message(e))});
            continue;
        }
        if (!outcome.built) {
            // A missing race or runner file gives the usual message; a
            // refused (tampered) day says why.
            std::string reason = outcome.message.empty() ? incomplete_day_message()
                                                         : outcome.message;
            if (reason == incomplete_day_message()) {
                reason += sj("（レースまたは出走馬のファイルがありません）");
            }
            report.skipped.push_back({name, reason});
            continue;
        }
        if (!outcome.complete) {
            report.skipped.push_back(
                {name, incomplete_day_message() + sj("（枠番のない出走馬がいます）")});
            continue;
        }
        LoadedDay result;
        result.figures.day = name;
        result.figures.date = day_name_date(name);
        result.figures.course = std::string(field_text(day.race[0], header::course));
        for (int n = 0; n < day.race_count; ++n) {
            std::optional<BalanceRace> race = balance_race(day, n, options);
            if (!race) {
                ++report.pending_races;
                continue;
            }
            race->day = name;
            race->date = result.figures.date;
            race->course = result.figures.course;
            for (const Ticket& t : race->tickets) {
                result.figures.stake += t.stake;
                result.figures.returned += t.returned;
            }
            result.races.push_back(std::move(*race));
        }
        loaded.push_back(std::move(result));
    }
    if (progress.step && !report.cancelled) {
        progress.step(done, static_cast<int>(names.size()), std::string());
    }

    std::stable_sort(loaded.begin(), loaded.end(), [](const LoadedDay& a, const LoadedDay& b) {
        if (a.figures.date != b.figures.date) return a.figures.date < b.figures.date;
        return a.figures.course < b.figures.course;
    });
    long long cumulative = 0;
    for (auto& d : loaded) {
        cumulative += d.figures.balance();
        d.figures.cumulative = cumulative;
        report.days.push_back(d.figures);
        for (auto& race : d.races) report.races.push_back(std::move(race));
    }
    summarise(report);
    return report;
}

}  // namespace tolven
