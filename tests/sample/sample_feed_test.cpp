#include "sample/sample_feed.hpp"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/utf8_path.hpp"
#include "sample/sample_market.hpp"
#include "store/code_tables.hpp"
#include "store/data_store.hpp"
#include "store/date_time.hpp"
#include "store/lenient.hpp"
#include "store/record.hpp"
#include "support/temp_dir.hpp"

namespace fs = std::filesystem;

namespace tolven {
namespace {

using namespace tolven::testing;

struct Feed {
    std::vector<std::string> records;          // every record of every file, in file order
    std::map<std::string, std::string> files;  // name -> content
};

// Records in the order the data service delivers them: the stored files by
// name (their timestamps), then the realtime files.
Feed read_feed(const fs::path& folder) {
    Feed feed;
    std::vector<fs::path> paths;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        if (e.is_regular_file()) paths.push_back(e.path());
    }
    std::sort(paths.begin(), paths.end(), [](const fs::path& x, const fs::path& y) {
        bool realtime_x = x.parent_path().filename() == "0B12";
        bool realtime_y = y.parent_path().filename() == "0B12";
        return realtime_x != realtime_y ? realtime_y : x < y;
    });
    for (const auto& p : paths) {
        std::string content = read_bytes(p);
        feed.files[generic_path_utf8(fs::relative(p, folder))] = content;
        for (auto& line : split_lines(content)) feed.records.push_back(line + "\r\n");
    }
    return feed;
}

int date_shift(int yyyymmdd, int days) {
    return DateTime{yyyymmdd / 10000, yyyymmdd / 100 % 100, yyyymmdd % 100}
        .plus_days(days)
        .date_number();
}

TEST(SampleFeed, DeterministicForASeed) {
    TempDir a, b, c;
    SampleFeedOptions options{7, 3, 20261205};
    make_sample_feed(a.path(), options);
    make_sample_feed(b.path(), options);
    options.seed = 8;
    make_sample_feed(c.path(), options);
    EXPECT_EQ(read_feed(a.path()).files, read_feed(b.path()).files);
    EXPECT_NE(read_feed(a.path()).files, read_feed(c.path()).files);
}

TEST(SampleFeed, RecordsAreConsistentRacing) {
    TempDir dir;
    SampleFeedSummary sum = make_sample_feed(dir.path(), SampleFeedOptions{3, 4, 20261205});
    EXPECT_GE(sum.days, 8 * 2 + 2);
    Feed feed = read_feed(dir.path());
    // Stored files are named by timestamp; today's results are realtime files.
    EXPECT_TRUE(feed.files.count("0B12/20261205_RESULTS.txt"));
    EXPECT_TRUE(feed.files.count("20261204170000_CARDS_20261205.txt"));
    EXPECT_TRUE(feed.files.count("20261205160000_RESULTS_20261204.txt"));
    // The history weeks before the first feed week come as results only.
    EXPECT_TRUE(feed.files.count("20260719160000_RESULTS_20260718.txt"));
    EXPECT_FALSE(feed.files.count("20260717170000_CARDS_20260718.txt"));
    EXPECT_TRUE(feed.files.count("20261102160000_RESULTS_20261101.txt"));
    EXPECT_FALSE(feed.files.count("20261031170000_CARDS_20261101.txt"));
    EXPECT_TRUE(feed.files.count("20261106170000_CARDS_20261107.txt"));
    EXPECT_FALSE(feed.files.count("20260712160000_RESULTS_20260711.txt"));
    // The summary counts what was written.
    long long bytes = 0;
    for (const auto& [name, content] : feed.files) bytes += static_cast<long long>(content.size());
    EXPECT_EQ(sum.files, static_cast<int>(feed.files.size()));
    EXPECT_EQ(sum.records, static_cast<long long>(feed.records.size()));
    EXPECT_EQ(sum.bytes, bytes);
    std::set<std::string> history_days, feed_days;  // date and course
    for (const auto& r : feed.records) {
        if (record_kind(r) != RecordKind::Race) continue;
        std::string day = std::string(field_text(r, header::year)) +
                          std::string(field_text(r, header::month_day)) +
                          std::string(field_text(r, header::course));
        (race_date(r) < 20261107 ? history_days : feed_days).insert(day);
    }
    EXPECT_EQ(sum.history_days, static_cast<int>(history_days.size()));
    EXPECT_EQ(sum.days, static_cast<int>(feed_days.size()));
    EXPECT_EQ(sum.races, 12 * (sum.days + sum.history_days));

    std::map<std::string, std::string> races;                // store key -> final RA
    std::map<std::string, std::vector<std::string>> finals;  // store key -> final SE
    std::map<std::string, std::string> payouts;              // store key -> HR
    for (const auto& r : feed.records) {
        ASSERT_EQ(r.size(), record_size(record_kind(r))) << r.substr(0, 30);
        ASSERT_FALSE(path_key_problem(r, record_kind(r) == RecordKind::Runner)) << r.substr(0, 30);
        std::string key(store_key(r));
        std::string_view category = field_text(r, header::category);
        switch (record_kind(r)) {
            case RecordKind::Race: {
                // The weekday code matches the date.
                int date = race_date(r);
                int weekday = DateTime{date / 10000, date / 100 % 100, date % 100}.weekday();
                const char* expected = weekday == 6 ? "1" : weekday == 0 ? "2" : nullptr;
                std::string code(field_text(r, ra::weekday));
                if (expected) {
                    EXPECT_EQ(code, expected);
                } else {
                    EXPECT_EQ(code, std::to_string(weekday + 3));
                }
                EXPECT_NE(racecourse_name(field_text(r, header::course)), "    ");
                int distance = field_int(r, ra::distance);
                EXPECT_GE(distance, 1000);
                EXPECT_LE(distance, 3600);
                int track = field_int(r, ra::track);
                EXPECT_TRUE((track >= 10 && track <= 24) || (track >= 51 && track <= 59)) << track;
                for (Field going : {ra::turf_going, ra::dirt_going}) {
                    EXPECT_GE(field_int(r, going), 1);
                    EXPECT_LE(field_int(r, going), 4);
                }
                int entries = field_int(r, ra::entries);
                EXPECT_GE(entries, 8);
                EXPECT_LE(entries, 18);
                if (category != "2") races[key] = r;
                break;
            }
            case RecordKind::Runner:
                if (category != "2") finals[key].push_back(r);
                break;
            case RecordKind::Payout:
                payouts[key] = r;
                break;
            case RecordKind::Other:
                ADD_FAILURE() << "unexpected record kind";
        }
    }
    ASSERT_FALSE(races.empty());
    int dead_heats = 0;
    for (const auto& [key, race] : races) {
        const auto& runners = finals[key];
        int entries = field_int(race, ra::entries);
        ASSERT_EQ(static_cast<int>(runners.size()), entries) << key;
        bool jump = field_int(race, ra::track) >= 51;
        std::map<int, int> position_of;  // horse -> position
        std::multiset<int> positions;
        std::map<int, int> time_at;  // position -> running time in tenths
        for (const auto& se : runners) {
            int horse = field_int(se, se::horse_number);
            EXPECT_EQ(field_int(se, se::bracket), bracket_number(entries, horse));
            EXPECT_EQ(field_text(se, se::pedigree).substr(0, 4),
                      std::to_string(field_int(se, se::pedigree) / 1000000));
            EXPECT_FALSE(trim(field_text(se, se::horse_name)).empty());
            int position = field_int(se, se::finish);
            position_of[horse] = position;
            positions.insert(position);
            std::string_view t = field_text(se, se::running_time);
            int tenths = (t[0] - '0') * 600 + lenient_int(t.substr(1, 2)) * 10 + (t[3] - '0');
            time_at[position] = tenths;
            // Times fit the distance: between 54 and 70 seconds per 1000 m on the flat.
            double per_km = tenths / 10.0 / field_int(race, ra::distance) * 1000;
            if (!jump) {
                EXPECT_GT(per_km, 54) << key;
                EXPECT_LT(per_km, 70) << key;
            }
            int l3 = field_int(se, se::last_three_furlongs);
            EXPECT_GE(l3, 315);
            EXPECT_LE(l3, 450);
        }
        // Positions follow the times; a shared position means a shared time.
        int previous = 0;
        for (const auto& [position, tenths] : time_at) {
            EXPECT_GE(tenths, previous);
            previous = tenths;
        }
        if (static_cast<int>(time_at.size()) < entries) ++dead_heats;
        EXPECT_EQ(*positions.begin(), 1);

        // The quinella payouts name the first two home, the bracket-quinella
        // payouts (fields of 9 or more) their brackets.
        ASSERT_TRUE(payouts.count(key)) << key;
        const std::string& hr = payouts[key];
        ASSERT_TRUE(payout_entry(hr, hr::quinella, 0).in_use()) << key;
        std::set<std::string> paid_brackets, expected_brackets;
        for (int k = 0; k < hr::quinella.entries; ++k) {
            PayoutEntry q = payout_entry(hr, hr::quinella, k);
            if (!q.in_use()) continue;
            int a = lenient_int(q.combination.substr(0, 2));
            int b = lenient_int(q.combination.substr(2, 2));
            EXPECT_LT(a, b) << key;
            EXPECT_LE(position_of[a], 2) << key;
            EXPECT_LE(position_of[b], 2) << key;
            EXPECT_FALSE(position_of[a] == 2 && position_of[b] == 2) << key;
            EXPECT_GE(q.payout, 100);
            int x = bracket_number(entries, a), y = bracket_number(entries, b);
            expected_brackets.insert(std::to_string(std::min(x, y)) +
                                     std::to_string(std::max(x, y)));
        }
        for (int k = 0; k < hr::bracket_quinella.entries; ++k) {
            PayoutEntry bracket = payout_entry(hr, hr::bracket_quinella, k);
            if (bracket.in_use()) paid_brackets.insert(std::string(bracket.combination));
        }
        if (entries >= 9) {
            EXPECT_EQ(paid_brackets, expected_brackets) << key;
        } else {
            EXPECT_TRUE(paid_brackets.empty()) << key;
        }
        int wides = 0;
        for (int k = 0; k < hr::wide.entries; ++k) {
            PayoutEntry w = payout_entry(hr, hr::wide, k);
            if (!w.in_use()) continue;
            ++wides;
            EXPECT_LE(position_of[lenient_int(w.combination.substr(0, 2))], 3);
            EXPECT_LE(position_of[lenient_int(w.combination.substr(2, 2))], 3);
        }
        EXPECT_GE(wides, 3);
        // Win and place name the first home and the first three; of the
        // combinations one result pays, the more popular pays no more.
        for (const auto& [group, last] :
             {std::pair{sample::kWinPayouts, 1}, std::pair{sample::kPlacePayouts, 3},
              std::pair{hr::wide, 3}}) {
            std::map<int, int> by_popularity;  // popularity -> payout
            for (int k = 0; k < group.entries; ++k) {
                PayoutEntry e = payout_entry(hr, group, k);
                if (!e.in_use()) continue;
                for (std::size_t at = 0; at < e.combination.size(); at += 2) {
                    EXPECT_LE(position_of[lenient_int(e.combination.substr(at, 2))], last) << key;
                }
                std::size_t popularity_at = group.offset +
                                            static_cast<std::size_t>(k) * group.entry_width +
                                            group.payout_offset + 9;
                by_popularity[lenient_int(hr.substr(
                    popularity_at, group.entry_width - group.payout_offset - 9))] = e.payout;
            }
            ASSERT_FALSE(by_popularity.empty()) << key;
            EXPECT_GE(by_popularity.begin()->first, 1) << key;
            int cheaper = 0;
            for (const auto& [popularity, payout] : by_popularity) {
                EXPECT_GE(payout, cheaper) << key << " popularity " << popularity;
                cheaper = payout;
            }
        }
    }
    EXPECT_LT(dead_heats, static_cast<int>(races.size()) / 20);
}

// The pools of the feed pay like a pari-mutuel market with JRA's deductions
// (20 % of win and place, 22.5 % of the pair kinds): the most backed
// combination returns somewhat less than the deduction leaves (the public
// leans to the favourites where a field has hopeless runners), a ticket bought
// at random (every combination of a race alike) less than it stakes: by the
// race model 75-80 %, on the feed's results within luck of that.
TEST(SampleFeed, TicketsReturnLessThanTheyStake) {
    TempDir dir;
    SampleFeedSummary sum = make_sample_feed(dir.path(), SampleFeedOptions{5, 4, 20261205});
    for (int k = 0; k < 5; ++k) {
        const SampleFeedSummary::RandomTickets& t = sum.random_tickets[k];
        EXPECT_GT(t.races, 200) << k;
        EXPECT_NEAR(t.expected_rate(), 0.775, 0.025) << k;
        EXPECT_NEAR(t.realized_rate(), t.expected_rate(), 4 * t.realized_error()) << k;
    }
    Feed feed = read_feed(dir.path());
    std::map<std::string, int> entries;  // store key -> runners
    std::map<std::string, std::string> payouts;
    for (const auto& r : feed.records) {
        if (record_kind(r) == RecordKind::Race)
            entries[std::string(store_key(r))] = field_int(r, ra::entries);
        if (record_kind(r) == RecordKind::Payout) payouts[std::string(store_key(r))] = r;
    }
    auto brackets_sold = [](int n) {
        std::map<int, int> horses;
        for (int h = 1; h <= n; ++h) horses[bracket_number(n, h)] += 1;
        int count = 0;
        for (auto [x, hx] : horses) {
            for (auto [y, hy] : horses) count += x < y || (x == y && hx >= 2) ? 1 : 0;
        }
        return count;
    };
    struct Case {
        const char* name;
        PayoutGroup group;
        int (*combinations)(int runners);
    };
    const Case cases[] = {
        {"win", sample::kWinPayouts, [](int n) { return n; }},
        {"place", sample::kPlacePayouts, [](int n) { return n; }},
        {"bracket quinella", hr::bracket_quinella, nullptr},
        {"quinella", hr::quinella, [](int n) { return n * (n - 1) / 2; }},
        {"wide", hr::wide, [](int n) { return n * (n - 1) / 2; }},
    };
    for (const Case& c : cases) {
        double returned = 0, favourites = 0;
        int races = 0;
        for (const auto& [key, hr] : payouts) {
            int n = entries[key];
            if (!c.combinations && n < 9) continue;
            long long paid = 0;
            for (int k = 0; k < c.group.entries; ++k) {
                PayoutEntry e = payout_entry(hr, c.group, k);
                if (!e.in_use()) continue;
                paid += e.payout;
                std::size_t popularity_at = c.group.offset +
                                            static_cast<std::size_t>(k) * c.group.entry_width +
                                            c.group.payout_offset + 9;
                std::string_view popularity = std::string_view(hr).substr(
                    popularity_at, c.group.entry_width - c.group.payout_offset - 9);
                if (lenient_int(popularity) == 1) favourites += e.payout / 100.0;
            }
            returned += static_cast<double>(paid) / 100.0 /
                        (c.combinations ? c.combinations(n) : brackets_sold(n));
            ++races;
        }
        ASSERT_GT(races, 1000) << c.name;
        EXPECT_GT(favourites / races, 0.5) << c.name;
        EXPECT_LT(favourites / races, 0.95) << c.name;
        EXPECT_GT(returned / races, 0.4) << c.name;
        EXPECT_LT(returned / races, 0.92) << c.name;
    }
}

std::string calendar_text(const std::vector<SampleRaceDay>& days) {
    std::string text;
    for (const SampleRaceDay& day : days) {
        static const char* stages[] = {"history", "past", "yesterday", "today"};
        text += std::to_string(day.date) + " " + stages[static_cast<int>(day.stage)];
        for (const SampleMeeting& m : day.meetings) {
            text += " " + m.course + "/" + std::to_string(m.kai) + "/" + std::to_string(m.nichi);
        }
        text += "\n";
    }
    return text;
}

TEST(SampleFeed, CalendarPutsHistoryWeeksBeforeTheFeed) {
    // Wednesday 9 December: the first weekend of the month is the past week,
    // yesterday and today race midweek; a meeting is numbered among the
    // months its course races in (中山 in January, March, April, September
    // and December) and its days from the first of the month.
    std::vector<SampleRaceDay> days = sample_calendar(SampleFeedOptions{1, 1, 20261209});
    ASSERT_EQ(days.size(), 2u * kSampleHistoryWeeks + 4);
    std::vector<SampleRaceDay> feed(days.end() - 4, days.end());
    EXPECT_EQ(calendar_text(feed),
              "20261205 past 06/5/1 09/5/1 07/3/1\n"
              "20261206 past 06/5/2 09/5/2 07/3/2\n"
              "20261208 yesterday 06/5/3 09/5/3\n"
              "20261209 today 06/5/4 09/5/4\n");
    std::vector<SampleRaceDay> last_history(days.end() - 6, days.end() - 4);
    EXPECT_EQ(calendar_text(last_history),
              "20261128 history 05/5/8 08/5/8\n"
              "20261129 history 05/5/9 08/5/9\n");
    EXPECT_EQ(days.front().date, 20260815);

    // Without past weeks the history weeks lead straight to yesterday.
    for (int weeks : {0, 1, 3}) {
        days = sample_calendar(SampleFeedOptions{1, weeks, 20261209});
        int history = 0, past = 0, previous = 0;
        for (const SampleRaceDay& day : days) {
            EXPECT_GT(day.date, previous);
            previous = day.date;
            EXPECT_GE(day.meetings.size(), 2u);
            EXPECT_LE(day.meetings.size(), 3u);
            if (day.stage == SampleStage::History) {
                EXPECT_EQ(past, 0) << day.date << " history after a past day";
                ++history;
            }
            past += day.stage == SampleStage::Past ? 1 : 0;
        }
        EXPECT_EQ(history, 2 * kSampleHistoryWeeks) << weeks;
        EXPECT_EQ(past, 2 * weeks) << weeks;
    }
}

TEST(SampleFeed, CreationDatesNeverGoBackForARace) {
    TempDir dir;
    make_sample_feed(dir.path(), SampleFeedOptions{2, 2, 20261207});
    Feed feed = read_feed(dir.path());
    // Per record (kind, race and horse number): category and creation date
    // as the feed delivers them.
    std::map<std::string, std::vector<std::pair<std::string, int>>> seen;
    for (const auto& r : feed.records) {
        std::string key = std::string(field_text(r, header::kind)) + std::string(store_key(r));
        if (record_kind(r) == RecordKind::Runner)
            key += std::string(field_text(r, se::horse_number));
        seen[key].emplace_back(std::string(field_text(r, header::category)),
                               field_int(r, header::created));
    }
    int cards_then_results = 0;
    for (const auto& [key, versions] : seen) {
        int date = lenient_int(key.substr(2, 8));
        for (std::size_t i = 1; i < versions.size(); ++i) {
            EXPECT_LE(versions[i - 1].second, versions[i].second) << key;
        }
        if (key.rfind("HR", 0) == 0) {
            EXPECT_EQ(versions.size(), 1u) << key;
            continue;
        }
        // Race cards come for the feed weeks only, and before the results.
        bool carded = versions.front().first == "2";
        EXPECT_EQ(carded, date >= 20261128) << key;
        if (carded) {
            ASSERT_EQ(versions.size(), 2u) << key;
            EXPECT_EQ(versions[0].second, date_shift(date, -1)) << key;
            EXPECT_EQ(versions[1].first, date == 20261207 ? "6" : "7") << key;
            ++cards_then_results;
        }
    }
    EXPECT_GT(cards_then_results, 1000);
}

struct CareerCase {
    const char* name;
    SampleFeedOptions options;
    bool debut_races;  // the season has them (none in April and May)
};

void PrintTo(const CareerCase& c, std::ostream* os) {
    *os << c.name;
}

class SampleFeedCareers : public ::testing::TestWithParam<CareerCase> {};

// Checked on the feed alone: every starter of a race card but a debutant has
// a flat run (one that rates) among its latest five results, debutants have
// none, horses rest between runs, winners leave the maiden races, and ages
// fit the races.
TEST_P(SampleFeedCareers, EveryStarterButADebutantComesWithARatedRun) {
    TempDir dir;
    make_sample_feed(dir.path(), GetParam().options);
    Feed feed = read_feed(dir.path());
    std::map<std::string, std::string> races;  // store key -> race record
    struct Run {
        int date;
        std::string race;  // store key
        int position;
    };
    std::map<std::string, std::vector<Run>> results;  // pedigree -> runs
    std::vector<std::string> cards;                   // runner records of race cards
    for (const auto& r : feed.records) {
        std::string key(store_key(r));
        std::string category(field_text(r, header::category));
        if (record_kind(r) == RecordKind::Race) races[key] = r;
        if (record_kind(r) != RecordKind::Runner) continue;
        if (category == "2") {
            cards.push_back(r);
        } else {
            results[std::string(field_text(r, se::pedigree))].push_back(
                {race_date(r), key, field_int(r, se::finish)});
        }
    }
    auto day_of = [](int date) {
        return days_from_civil(date / 10000, date / 100 % 100, date % 100);
    };
    auto flat = [&](const Run& run) { return field_int(races.at(run.race), ra::track) < 51; };
    auto condition = [&](const std::string& race) {
        return std::string(field_text(races.at(race), ra::condition_youngest));
    };
    for (auto& [pedigree, runs] : results) {
        std::sort(runs.begin(), runs.end(),
                  [](const Run& a, const Run& b) { return a.date < b.date; });
        bool won[2] = {false, false};  // on the flat, over jumps
        for (std::size_t i = 0; i < runs.size(); ++i) {
            if (i > 0) {
                EXPECT_GE(day_of(runs[i].date) - day_of(runs[i - 1].date), 7) << pedigree;
            }
            std::string c = condition(runs[i].race);
            bool& winner = won[flat(runs[i]) ? 0 : 1];
            EXPECT_FALSE(winner && (c == "701" || c == "703"))
                << pedigree << " back in a maiden race at " << runs[i].race;
            EXPECT_FALSE(i > 0 && c == "701") << pedigree << " debuts twice";
            winner = winner || runs[i].position == 1;
        }
    }
    int starters = 0, debutants = 0;
    for (const auto& se : cards) {
        const std::string& race = races.at(std::string(store_key(se)));
        std::string pedigree(field_text(se, se::pedigree));
        int age = field_int(se, se::age);
        EXPECT_EQ(age, race_date(se) / 10000 - lenient_int(pedigree.substr(0, 4))) << pedigree;
        switch (field_int(race, ra::race_type)) {
            case 11:
                EXPECT_EQ(age, 2);
                break;
            case 12:
                EXPECT_EQ(age, 3);
                break;
            case 14:
            case 19:
                EXPECT_GE(age, 4);
                break;
            default:
                EXPECT_GE(age, 3);
        }
        std::vector<const Run*> earlier;
        for (const Run& run : results[pedigree]) {
            if (run.date < race_date(se)) earlier.push_back(&run);
        }
        if (field_text(race, ra::condition_youngest) == "701") {
            EXPECT_TRUE(earlier.empty()) << pedigree << " in a debut race at " << store_key(se);
            ++debutants;
            continue;
        }
        ++starters;
        bool rated = false;
        for (std::size_t i = 0; i < earlier.size() && i < 5; ++i) {
            rated = rated || flat(*earlier[earlier.size() - 1 - i]);
        }
        EXPECT_TRUE(rated) << pedigree << " without a flat run among its latest five before "
                           << store_key(se);
    }
    EXPECT_GT(starters, 300);
    EXPECT_EQ(debutants > 0, GetParam().debut_races);
}

INSTANTIATE_TEST_SUITE_P(Feeds, SampleFeedCareers,
                         ::testing::Values(CareerCase{"NewYearSunday", {4, 1, 20260104}, true},
                                           CareerCase{
                                               "SpringWithoutPastWeeks", {6, 0, 20260405}, false},
                                           CareerCase{"SummerMonday", {8, 2, 20260706}, true},
                                           CareerCase{"AutumnThursday", {9, 3, 20261001}, true}),
                         [](const ::testing::TestParamInfo<CareerCase>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
}  // namespace tolven
