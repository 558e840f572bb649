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

TEST(Record, LineBreakRemoval) {
    EXPECT_EQ(without_line_break("RA\r\n"), "RA");
    EXPECT_EQ(without_line_break("RA\n"), "RA");
    EXPECT_EQ(without_line_break("RA"), "RA");
}

}  // namespace
}  // namespace tolven
