#include "jvlink/sample_feed.hpp"

#include <gtest/gtest.h>

#include <map>
#include <set>

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

Feed read_feed(const fs::path& folder) {
    Feed feed;
    std::vector<fs::path> paths;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        if (e.is_regular_file()) paths.push_back(e.path());
    }
    std::sort(paths.begin(), paths.end());
    for (const auto& p : paths) {
        std::string content = read_bytes(p);
        feed.files[fs::relative(p, folder).string()] = content;
        for (auto& line : split_lines(content)) feed.records.push_back(line + "\r\n");
    }
    return feed;
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

        // The quinella payout names the first two home.
        ASSERT_TRUE(payouts.count(key)) << key;
        const std::string& hr = payouts[key];
        PayoutEntry q0 = payout_entry(hr, hr::quinella, 0);
        ASSERT_TRUE(q0.in_use());
        int a = lenient_int(q0.combination.substr(0, 2));
        int b = lenient_int(q0.combination.substr(2, 2));
        EXPECT_LE(position_of[a], 2);
        EXPECT_LE(position_of[b], 2);
        EXPECT_GE(q0.payout, 100);
        PayoutEntry bracket = payout_entry(hr, hr::bracket_quinella, 0);
        EXPECT_EQ(bracket.in_use(), entries >= 9) << key;
        if (bracket.in_use() && !payout_entry(hr, hr::quinella, 1).in_use()) {
            int x = bracket_number(entries, a), y = bracket_number(entries, b);
            EXPECT_EQ(bracket.combination,
                      std::to_string(std::min(x, y)) + std::to_string(std::max(x, y)));
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
    }
    EXPECT_LT(dead_heats, static_cast<int>(races.size()) / 20);
}

}  // namespace
}  // namespace tolven
