#include "store/record.hpp"

#include <gtest/gtest.h>

#include "store/cp932.hpp"
#include "store/record_builder.hpp"

namespace tolven {
namespace {

TEST(Record, HeaderKeysAndDate) {
    std::string ra = RecordBuilder(RecordKind::Race)
                         .text(header::category, "7")
                         .race(20261205, "06", 5, 3, 11)
                         .str();
    ASSERT_EQ(ra.size(), kRaceRecordSize);
    EXPECT_EQ(ra.substr(ra.size() - 2), "\r\n");
    EXPECT_EQ(record_kind(ra), RecordKind::Race);
    EXPECT_EQ(store_key(ra), "2026120506050311");
    EXPECT_EQ(race_key(ra), "202612050611");
    EXPECT_EQ(race_date(ra), 20261205);
    EXPECT_EQ(field_int(ra, header::race_number), 11);
    EXPECT_FALSE(is_absent(ra));
}

TEST(Record, BlankSlotReadsAsAbsent) {
    std::string slot = blank_record(RecordKind::Runner);
    ASSERT_EQ(slot.size(), 555u);
    EXPECT_TRUE(is_absent(slot));
    EXPECT_EQ(field_int(slot, se::horse_number), 0);
    EXPECT_EQ(field_int(slot, se::bracket), 0);
    EXPECT_EQ(race_date(slot), 0);
    // A record far too short still reads: missing fields are empty.
    EXPECT_EQ(field_text("SE7", se::horse_name), "");
    EXPECT_EQ(field_int("SE7", se::finish), 0);
    EXPECT_TRUE(is_absent("SE7"));
}

TEST(Record, FieldsReadAtTheirOffsets) {
    std::string se = RecordBuilder(RecordKind::Runner)
                         .race(20261205, "06", 5, 3, 1)
                         .text(se::bracket, " ")
                         .number(se::horse_number, 4)
                         .text(se::pedigree, "2023101234")
                         .text(se::horse_name, sj("サクラバクシンオー"))
                         .number(se::running_time, 1345)
                         .number(se::last_three_furlongs, 345)
                         .text(header::category, "A")
                         .str();
    EXPECT_EQ(field_int(se, se::bracket), 0);  // incomplete runner data
    EXPECT_EQ(field_int(se, se::horse_number), 4);
    EXPECT_EQ(field_trimmed(se, se::horse_name), sj("サクラバクシンオー"));
    EXPECT_EQ(field_int(se, se::running_time), 1345);
    EXPECT_EQ(field_int(se, se::last_three_furlongs), 345);
    EXPECT_EQ(field_int(se, header::category), 0);  // "A" is final data but converts to 0
    EXPECT_EQ(field_text(se, header::category), "A");
}

TEST(Record, PayoutEntriesInUse) {
    RecordBuilder hr(RecordKind::Payout);
    hr.race(20261205, "06", 5, 3, 1);
    hr.text(Field{245, 4}, "0412").number(Field{249, 9}, 1230);  // quinella entry 0
    hr.text(Field{261, 4}, "0405").number(Field{265, 9}, 0);     // entry 1: payout 0
    hr.text(Field{206, 2}, "36").number(Field{208, 9}, 560);     // bracket entry 0
    hr.text(Field{293 + 16 * 6, 4}, "0102").number(Field{297 + 16 * 6, 9}, 310);  // wide 6
    const std::string& r = hr.str();
    ASSERT_EQ(r.size(), kPayoutRecordSize);

    PayoutEntry q0 = payout_entry(r, hr::quinella, 0);
    EXPECT_TRUE(q0.in_use());
    EXPECT_EQ(q0.combination, "0412");
    EXPECT_EQ(q0.payout, 1230);
    EXPECT_FALSE(payout_entry(r, hr::quinella, 1).in_use());  // payout 0
    EXPECT_FALSE(payout_entry(r, hr::quinella, 2).in_use());  // blank
    PayoutEntry b0 = payout_entry(r, hr::bracket_quinella, 0);
    EXPECT_EQ(b0.combination, "36");
    EXPECT_EQ(b0.payout, 560);
    PayoutEntry w6 = payout_entry(r, hr::wide, 6);
    EXPECT_EQ(w6.combination, "0102");
    EXPECT_EQ(w6.payout, 310);
}

// Every field the program reads, at the offset and width of the JV-Data
// layout, written out here as numbers rather than through the constants.
TEST(Record, FieldsSitWhereTheLayoutPutsThem) {
    struct Case {
        const char* name;
        Field field;
        std::size_t offset, width;
    };
    const Case cases[] = {
        {"kind", header::kind, 0, 2},
        {"category", header::category, 2, 1},
        {"created", header::created, 3, 8},
        {"year", header::year, 11, 4},
        {"month-day", header::month_day, 15, 4},
        {"course", header::course, 19, 2},
        {"kai", header::kai, 21, 2},
        {"nichi", header::nichi, 23, 2},
        {"race number", header::race_number, 25, 2},
        {"store key", header::store_key, 11, 16},
        {"stamp", header::stamp, 2, 9},
        {"RA weekday", ra::weekday, 27, 1},
        {"RA race name", ra::race_name, 32, 60},
        {"RA short name", ra::short_name, 592, 12},
        {"RA grade", ra::grade, 614, 1},
        {"RA race type", ra::race_type, 616, 2},
        {"RA weight type", ra::weight_type, 621, 1},
        {"RA condition 2yo", ra::condition_age2, 622, 3},
        {"RA condition 3yo", ra::condition_age3, 625, 3},
        {"RA condition 4yo", ra::condition_age4, 628, 3},
        {"RA condition 5yo up", ra::condition_age5up, 631, 3},
        {"RA condition youngest", ra::condition_youngest, 634, 3},
        {"RA distance", ra::distance, 697, 4},
        {"RA track", ra::track, 705, 2},
        {"RA start time", ra::start_time, 873, 4},
        {"RA entries", ra::entries, 881, 2},
        {"RA turf going", ra::turf_going, 888, 1},
        {"RA dirt going", ra::dirt_going, 889, 1},
        {"SE bracket", se::bracket, 27, 1},
        {"SE horse number", se::horse_number, 28, 2},
        {"SE pedigree", se::pedigree, 30, 10},
        {"SE horse name", se::horse_name, 40, 36},
        {"SE sex", se::sex, 78, 1},
        {"SE age", se::age, 82, 2},
        {"SE carried weight", se::carried_weight, 288, 3},
        {"SE blinker", se::blinker, 294, 1},
        {"SE jockey", se::jockey, 306, 8},
        {"SE apprentice", se::apprentice, 322, 1},
        {"SE finish", se::finish, 334, 2},
        {"SE running time", se::running_time, 338, 4},
        {"SE last three furlongs", se::last_three_furlongs, 390, 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.field.offset, c.offset) << c.name;
        EXPECT_EQ(c.field.width, c.width) << c.name;
    }
    struct GroupCase {
        const char* name;
        PayoutGroup group;
        std::size_t offset;
        int entries;
        std::size_t entry_width, combination_width, payout_offset;
    };
    const GroupCase groups[] = {
        {"HR bracket quinella", hr::bracket_quinella, 206, 3, 13, 2, 2},
        {"HR quinella", hr::quinella, 245, 3, 16, 4, 4},
        {"HR wide", hr::wide, 293, 7, 16, 4, 4},
    };
    for (const GroupCase& g : groups) {
        EXPECT_EQ(g.group.offset, g.offset) << g.name;
        EXPECT_EQ(g.group.entries, g.entries) << g.name;
        EXPECT_EQ(g.group.entry_width, g.entry_width) << g.name;
        EXPECT_EQ(g.group.combination_width, g.combination_width) << g.name;
        EXPECT_EQ(g.group.payout_offset, g.payout_offset) << g.name;
    }
    EXPECT_EQ(kRaceRecordSize, 1272u);
    EXPECT_EQ(kRunnerRecordSize, 555u);
    EXPECT_EQ(kPayoutRecordSize, 719u);
}

TEST(Record, LineBreakRemoval) {
    EXPECT_EQ(without_line_break("RA\r\n"), "RA");
    EXPECT_EQ(without_line_break("RA\n"), "RA");
    EXPECT_EQ(without_line_break("RA"), "RA");
}

}  // namespace
}  // namespace tolven
