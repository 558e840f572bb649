#include "model/race_header.hpp"

#include <gtest/gtest.h>

#include "store/cp932.hpp"
#include "store/record_builder.hpp"

namespace tolven {
namespace {

struct RaceFields {
    const char* number = "11";
    const char* name = "有馬記念";
    const char* grade = "A";
    const char* type = "13";
    const char* weight = "4";
    const char* c2 = "000";
    const char* c3 = "999";
    const char* c4 = "999";
    const char* c5 = "999";
    const char* distance = "2500";
    const char* track = "17";
    const char* start = "1525";
    const char* entries = "16";
};

std::string race(const RaceFields& f) {
    return RecordBuilder(RecordKind::Race)
        .race(20261227, "06", 5, 8, 11)
        .text(header::race_number, f.number)
        .text(ra::race_name, sj(f.name))
        .text(ra::grade, f.grade)
        .text(ra::race_type, f.type)
        .text(ra::weight_type, f.weight)
        .text(ra::condition_age2, f.c2)
        .text(ra::condition_age3, f.c3)
        .text(ra::condition_age4, f.c4)
        .text(ra::condition_age5up, f.c5)
        .text(ra::distance, f.distance)
        .text(ra::track, f.track)
        .text(ra::start_time, f.start)
        .text(ra::entries, f.entries)
        .str();
}

std::string lines(const RaceHeader& h) {
    return cp932::to_utf8(h.title) + "|\n" + cp932::to_utf8(h.course) + "|\n" +
           cp932::to_utf8(h.condition) + "|\n" + cp932::to_utf8(h.grade) + "|\n";
}

TEST(RaceHeader, AGradedRace) {
    RaceHeader h = race_header(race({}));
    EXPECT_EQ(lines(h), "11R有馬記念" + std::string(52, ' ') + "|\n" +
                            "サラ系3歳以上　　 芝　　右回り            2500ﾒｰﾄﾙ(定量)|\n"
                            "オープン   |\n"
                            "G1                 16頭 15時25分発走|\n");
    EXPECT_EQ(h.colour, kGreen);
}

TEST(RaceHeader, ConditionLines) {
    struct Case {
        const char* what;
        RaceFields fields;
        const char* condition;
    } cases[] = {
        {"3yo and up maiden", {.type = "13", .c3 = "703", .c4 = "703", .c5 = "703"}, "未勝利     "},
        {"3yo and up 1000万下",
         {.type = "13", .c3 = "010", .c4 = "010", .c5 = "010"},
         "3歳1000万下  4歳1000万下  5歳1000万下"},
        {"4yo and up 1億下",
         {.type = "14", .c3 = "000", .c4 = "100", .c5 = "100"},
         "4歳1億下     5歳1億下   "},
        {"2yo 500万下", {.type = "11", .c2 = "005"}, "    500万下"},
        {"2yo debut", {.type = "21", .c2 = "701"}, "新馬       "},
        {"3yo not started", {.type = "12", .c3 = "702"}, "未出走     "},
        {"jump 3yo and up open", {.type = "18", .c3 = "999"}, "オープン   "},
        {"4yo jump 1600万下", {.type = "19", .c4 = "016", .c5 = "016"}, "4歳1600万下  5歳1600万下"},
        {"unknown type", {.type = "31"}, ""},
        {"unknown condition", {.type = "12", .c3 = "500"}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cp932::to_utf8(race_header(race(c.fields)).condition), c.condition) << c.what;
    }
}

TEST(RaceHeader, CourseAndGradeLines) {
    RaceFields nine{.grade = " ", .weight = "1", .track = "25", .start = "0950", .entries = "09"};
    RaceHeader h = race_header(race(nine));
    // Track 25 is not in the table: the track part is empty.
    EXPECT_EQ(cp932::to_utf8(h.course), "サラ系3歳以上　　 2500ﾒｰﾄﾙ(ﾊﾝﾃﾞ)");
    EXPECT_EQ(cp932::to_utf8(h.grade), "一般競争            9頭 09時50分発走");
    EXPECT_EQ(h.colour, kMaroon);
    RaceHeader blank_number = race_header(race({.number = "00"}));
    EXPECT_EQ(blank_number.title.substr(0, 3), "  R");
    EXPECT_EQ(race_header(race({.number = "  "})).title.substr(0, 3), "  R");
    EXPECT_EQ(cp932::to_utf8(race_header(race({.grade = "D"})).grade).substr(0, 27),
              "グレードのない重賞");
    EXPECT_EQ(cp932::to_utf8(race_header(race({.track = "51"})).course),
              "サラ系3歳以上　　 障害　芝　襷            2500ﾒｰﾄﾙ(定量)");
    EXPECT_EQ(header_colour(22), kGreen);
    EXPECT_EQ(header_colour(23), kMaroon);
}

TEST(RaceHeader, BlankRecordGivesOnlySeparators) {
    RaceHeader h = race_header(blank_record(RecordKind::Race));
    EXPECT_EQ(lines(h), "  R" + std::string(60, ' ') + "|\n" + "     ﾒｰﾄﾙ|\n|\n" +
                            "一般競争             頭   時  分発走|\n");
}

TEST(RaceHeader, FixedWidthTables) {
    for (const char* code : {"11", "12", "13", "14", "18", "19", "21", "22", "23", "24"}) {
        EXPECT_EQ(race_type_text(code).size(), 17u) << code;
    }
    for (int code : {10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
                     23, 24, 29, 51, 52, 53, 54, 55, 56, 57, 58, 59}) {
        EXPECT_EQ(track_text(std::to_string(code)).size(), 24u) << code;
    }
    for (const char* code : {"A", "B", "C", "D", "E", " ", "X"}) {
        EXPECT_EQ(grade_text(code).size(), 18u) << code;
    }
    EXPECT_EQ(race_type_text("15"), "");
    EXPECT_EQ(cp932::to_utf8(weight_type_text("3")), "(馬齢)");
    EXPECT_EQ(weight_type_text("5"), "");
    EXPECT_EQ(cp932::to_utf8(condition_text(5, "005")), "5歳 500万下");
    EXPECT_EQ(cp932::to_utf8(condition_text(3, "099")), "3歳9900万下");
}

TEST(RaceCard, EightCells) {
    std::string ra = race({});
    std::string se = RecordBuilder(RecordKind::Runner)
                         .race(20261227, "06", 5, 8, 11)
                         .text(se::bracket, "3")
                         .text(se::horse_number, "05")
                         .text(se::pedigree, "2022104567")
                         .text(se::horse_name, sj("アイネスフウジンノムスコ"))
                         .text(se::sex, "3")
                         .text(se::carried_weight, "575")
                         .text(se::blinker, "1")
                         .text(se::jockey, sj("横山典"))
                         .text(se::apprentice, "9")
                         .str();
    auto cells = card_row(ra, se);
    std::string text;
    for (const auto& c : cells) text += cp932::to_utf8(c) + "|";
    EXPECT_EQ(text, "3| 5|アイネスフウジンノ|横山典  |57.5|ｾﾝ 4|ﾌﾞﾘﾝ|2kg減|");
    auto empty = card_row(ra, blank_record(RecordKind::Runner));
    text.clear();
    for (const auto& c : empty) text += cp932::to_utf8(c) + "|";
    EXPECT_EQ(text, " |  |" + std::string(18, ' ') + "|" + std::string(8, ' ') + "|  . |  | |　|");
}

}  // namespace
}  // namespace tolven
