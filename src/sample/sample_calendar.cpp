#include <algorithm>
#include <set>

#include "sample/sample_dates.hpp"
#include "sample/sample_feed.hpp"
#include "sample/sample_world.hpp"

namespace tolven {

using sample::date_of;
using sample::week_number;

namespace {

DateTime today_of(const SampleFeedOptions& options) {
    DateTime today = DateTime::now();
    if (options.today != 0) {
        today = DateTime{options.today / 10000, options.today / 100 % 100, options.today % 100};
    }
    today.hour = 9;
    today.minute = today.second = 0;
    return today;
}

}  // namespace

// ---- The meeting calendar ------------------------------------------------------

std::vector<SampleRaceDay> sample_calendar(const SampleFeedOptions& options) {
    DateTime today = today_of(options);
    std::vector<SampleRaceDay> days;
    // Weekends back to the first feed week, and before it the history weeks.
    int feed_days = options.weeks * 7;
    for (int back = (options.weeks + kSampleHistoryWeeks) * 7; back >= 2; --back) {
        DateTime d = today.plus_days(-back);
        if (d.weekday() == 6 || d.weekday() == 0) {
            days.push_back(
                {d.date_number(), back > feed_days ? SampleStage::History : SampleStage::Past, {}});
        }
    }
    days.push_back({today.plus_days(-1).date_number(), SampleStage::Yesterday, {}});
    days.push_back({today.date_number(), SampleStage::Today, {}});

    // A meeting (kai) runs through one month at a course: it is numbered
    // among the months of the year the course races in, and its days (nichi)
    // are counted from the first of the month, whatever day the feed starts.
    std::set<int> race_dates;
    for (const SampleRaceDay& day : days) race_dates.insert(day.date);
    auto races_on = [](const std::string& code, const DateTime& d) {
        auto list = sample::courses_of(d.month, static_cast<int>(week_number(d)));
        return std::find(list.begin(), list.end(), code) != list.end();
    };
    for (SampleRaceDay& day : days) {
        DateTime date = date_of(day.date);
        for (const std::string& code :
             sample::courses_of(date.month, static_cast<int>(week_number(date)))) {
            SampleMeeting meeting{code, 0, 1};
            for (int month = 1; month <= date.month; ++month) {
                auto list = sample::courses_of(month, 0);  // an even week: every course
                meeting.kai += std::find(list.begin(), list.end(), code) != list.end() ? 1 : 0;
            }
            for (DateTime d{date.year, date.month, 1, 9, 0, 0}; d.day < date.day;
                 d = d.plus_days(1)) {
                bool race_day =
                    d.weekday() == 6 || d.weekday() == 0 || race_dates.count(d.date_number()) > 0;
                if (race_day && races_on(code, d)) ++meeting.nichi;
            }
            day.meetings.push_back(meeting);
        }
    }
    return days;
}

}  // namespace tolven
