#include "analysis/base_times.hpp"

#include <gtest/gtest.h>

#include <cstdio>

namespace tolven {
namespace {

std::string key(const char* course, int distance, int column) {
    static const char* const columns[] = {"1 1", "1 2", "2 1", "2 2"};
    char text[32];
    std::snprintf(text, sizeof text, "%s %04d %s", course, distance, columns[column]);
    return text;
}

TEST(BaseTime, TheEdgeCases) {
    EXPECT_DOUBLE_EQ(base_time("06 2400 2 1"), 156.9);
    EXPECT_DOUBLE_EQ(base_time("11 1200 1 1"), 73.9);            // course outside 01..10: fallback
    EXPECT_DOUBLE_EQ(base_time("05 1150 1 1"), 11 * 6.2 + 1.0);  // 69.2
    EXPECT_DOUBLE_EQ(base_time("05 1000 1 3"), 10 * 6.2 + 1.0);  // no fallback row for going 3
    EXPECT_DOUBLE_EQ(base_time("05      1 1"), 1.0);
    EXPECT_DOUBLE_EQ(base_time("05 0900 1 1"), 9 * 6.2 + 1.0);
    EXPECT_DOUBLE_EQ(base_time("05 4000 1 1"), 249.0);
    EXPECT_DOUBLE_EQ(base_time("05 0050 1 1"), 1.0);  // prefix "00"
    EXPECT_DOUBLE_EQ(base_time("12 1700 2 2"), 107.9);
    EXPECT_DOUBLE_EQ(base_time("05 1700 2 1"), 102.7);
    EXPECT_DOUBLE_EQ(base_time(""), 1.0);
    EXPECT_DOUBLE_EQ(base_time("05 1"), 1.0);
}

TEST(BaseTime, EveryPrintedRow) {
    const int distances[] = {1000, 1200, 1400, 1500, 1600, 1700, 1800, 2000, 2100,
                             2200, 2300, 2400, 2500, 2600, 3000, 3200, 3600};
    const double nakayama[17][4] = {
        {58.8, 59.4, 58.8, 58.6},     {68.8, 69.7, 70.6, 70.1},     {82.4, 83.4, 83.4, 82.9},
        {88.3, 89.8, 90.7, 90.2},     {94.2, 96.1, 96.8, 96.3},     {100.1, 102.1, 102.8, 102.3},
        {108.5, 110.7, 112.7, 112.2}, {121.0, 124.3, 124.5, 123.5}, {126.9, 129.9, 129.0, 128.0},
        {133.8, 136.9, 136.4, 135.4}, {139.7, 142.8, 143.7, 142.2}, {145.6, 148.7, 156.9, 154.1},
        {153.6, 157.1, 162.8, 160.0}, {162.4, 165.9, 168.7, 165.9}, {186.0, 190.0, 192.2, 189.4},
        {199.3, 203.6, 204.0, 201.2}, {226.8, 231.4, 227.5, 224.7},
    };
    for (int i = 0; i < 17; ++i) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_DOUBLE_EQ(base_time(key("06", distances[i], c)), nakayama[i][c])
                << key("06", distances[i], c);
        }
    }
    struct Row {
        const char* course;
        int distance;
        double v[4];
    } rows[] = {
        {"01", 1200, {70.1, 71.4, 72.3, 71.7}}, {"01", 2400, {145.0, 146.5, 157.1, 155.4}},
        {"02", 1200, {70.0, 72.0, 72.3, 71.6}}, {"02", 2400, {145.0, 147.0, 157.3, 156.1}},
        {"03", 1200, {68.6, 69.6, 73.0, 72.5}}, {"03", 2400, {145.0, 146.5, 157.0, 155.8}},
        {"04", 1200, {68.7, 69.3, 72.5, 71.5}}, {"04", 2400, {142.0, 143.5, 156.0, 155.0}},
        {"05", 1200, {70.6, 70.7, 71.5, 71.0}}, {"05", 2400, {146.4, 148.4, 149.1, 147.6}},
        {"07", 1200, {69.0, 69.6, 72.5, 72.0}}, {"07", 2400, {145.0, 146.0, 158.0, 155.5}},
        {"08", 1200, {68.6, 70.3, 70.8, 70.0}}, {"08", 2400, {145.4, 147.4, 157.4, 156.4}},
        {"09", 1200, {69.5, 70.3, 72.4, 71.7}}, {"09", 2400, {146.6, 148.6, 157.6, 156.6}},
        {"10", 1200, {69.1, 69.8, 72.7, 72.4}}, {"10", 2400, {144.5, 145.5, 158.5, 158.2}},
    };
    for (const auto& row : rows) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_DOUBLE_EQ(base_time(key(row.course, row.distance, c)), row.v[c])
                << key(row.course, row.distance, c);
        }
    }
}

TEST(BaseTime, DerivedValuesFollowTheAnchors) {
    // Below the lowest anchor the ratio at 1200 m holds: 05 turf good
    // 1000 m = floor(70.6 / 68.8 * 58.8 * 10 + 0.5) / 10.
    EXPECT_DOUBLE_EQ(base_time("05 1000 1 1"), 60.3);
    // Above the highest anchor the ratio at 2400 m holds: 01 dirt heavy 3600 m.
    EXPECT_DOUBLE_EQ(base_time("01 3600 2 2"), 226.6);
    // Between the anchors the ratio is linear in the distance: 09 turf good 1800 m.
    EXPECT_DOUBLE_EQ(base_time("09 1800 1 1"), 109.4);
    // Tokyo dirt good has a third anchor at 1700 m: 2000 m lies between 1700 and 2400.
    EXPECT_DOUBLE_EQ(base_time("05 2000 2 1"), 121.8);
    // Every one of the 680 keys is in the main table (none falls back).
    const char* courses[] = {"01", "02", "03", "04", "05", "06", "07", "08", "09", "10"};
    const int distances[] = {1000, 1200, 1400, 1500, 1600, 1700, 1800, 2000, 2100,
                             2200, 2300, 2400, 2500, 2600, 3000, 3200, 3600};
    for (const char* c : courses) {
        for (int d : distances) {
            for (int col = 0; col < 4; ++col) {
                double v = base_time(key(c, d, col));
                EXPECT_GT(v, d * 0.05) << key(c, d, col);
                EXPECT_LT(v, d * 0.07) << key(c, d, col);
            }
        }
    }
}

TEST(BaseTime, KeyLayout) {
    EXPECT_EQ(base_time_key("05", "1700", '2', '1'), "05 1700 2 1");
}

}  // namespace
}  // namespace tolven
