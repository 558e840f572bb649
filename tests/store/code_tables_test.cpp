#include "store/code_tables.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "store/cp932.hpp"
#include "store/lenient.hpp"

namespace tolven {
namespace {

TEST(LenientInt, ConvertsLikeEveryRecordReader) {
    struct Case {
        const char* text;
        int value;
    } cases[] = {
        {"0012", 12},     {"12 ", 12},
        {"  7", 7},       {"-3", -3},
        {"+7", 7},        {"", 0},
        {"  ", 0},        {"A", 0},
        {"B", 0},         {"1A2", 1},
        {"-", 0},         {"- 3", 0},
        {" -12x", -12},   {"0000", 0},
        {"\t5", 0},       {"99999999999999", INT_MAX},
        {"000000000", 0}, {"123456789", 123456789},
    };
    for (const auto& c : cases) EXPECT_EQ(lenient_int(c.text), c.value) << '"' << c.text << '"';
}

TEST(FindLineBreak, FindsTheFirstCrOrLfAsFindFirstOfDoes) {
    struct Case {
        std::string_view text;
        std::size_t from;
    } cases[] = {
        {"abc\r\ndef", 0}, {"abc\ndef\r", 0}, {"abc\r\ndef\r\n", 5}, {"abc", 0},
        {"", 0},             {"\n", 0},          {"a\rb\nc", 2},         {"a\nb\rc", 2},
        {"abc\r", 4},       {"abc\r", 9},       {"ab\n\r", 3},          {"ab\n\r", 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(find_line_break(c.text, c.from), c.text.find_first_of("\r\n", c.from))
            << '"' << c.text << "\" from " << c.from;
    }
}

TEST(RacecourseName, EveryCodeHasAFourByteName) {
    EXPECT_EQ(racecourse_code_count(), 112);
    struct Case {
        const char* code;
        const char* name;
    } cases[] = {
        {"01", "札幌"},
        {"05", "東京"},
        {"06", "中山"},
        {"10", "小倉"},
        {"30", "門別"},
        {"49", "紀三"},
        {"58", "札幌"},
        {"61", "中京"},
        {"A0", "他外"},
        {"C4", "    "},
        {"C7", "ア首"},
        {"F1", "中国"},
        {"F4", "    "},
        {"G8", "    "},
        {"I4", "チェ"},
        {"I6", "チェ"},
        {"M2", "澳門"},
        {"M6", "約  "},
        {"M8", "華  "},
        {"N2", "バレ"},
        // Not in the table: unknown, lower case, wrong length, blank.
        {"11", "    "},
        {"a0", "    "},
        {"6", "    "},
        {"006", "    "},
        {"  ", "    "},
    };
    for (const auto& c : cases) EXPECT_EQ(racecourse_name(c.code), sj(c.name)) << c.code;

    // Every entry of the table is exactly four bytes.
    const char* alphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    int found = 0;
    for (const char* a = alphabet; *a; ++a) {
        for (const char* b = alphabet; *b; ++b) {
            std::string code{*a, *b};
            EXPECT_EQ(racecourse_name(code).size(), 4u) << code;
            if (code != "C4" && racecourse_name(code) != "    ") ++found;
        }
    }
    EXPECT_EQ(found, 112 - 6);  // six codes of the table have a blank name
}

TEST(CodeTexts, MapCodesToCardTexts) {
    struct Case {
        std::string (*function)(std::string_view);
        const char* code;
        const char* text;
    } cases[] = {
        {weekday_mark, "0", "　"},
        {weekday_mark, "1", "土"},
        {weekday_mark, "2", "日"},
        {weekday_mark, "3", "祝"},
        {weekday_mark, "4", "月"},
        {weekday_mark, "5", "火"},
        {weekday_mark, "6", "水"},
        {weekday_mark, "7", "木"},
        {weekday_mark, "8", "金"},
        {weekday_mark, "9", ""},
        {weekday_mark, " ", ""},
        {weekday_mark, "", ""},
        {sex_text, "1", "牡"},
        {sex_text, "2", "牝"},
        {sex_text, "3", "ｾﾝ"},
        {sex_text, "0", ""},
        {sex_text, " ", ""},
        {blinker_text, "1", "ﾌﾞﾘﾝ"},
        {blinker_text, "0", " "},
        {blinker_text, " ", " "},
        {blinker_text, "2", " "},
        {apprentice_text, "1", "1kg減"},
        {apprentice_text, "2", "2kg減"},
        {apprentice_text, "3", "3kg減"},
        {apprentice_text, "4", "4kg減"},
        {apprentice_text, "9", "2kg減"},
        {apprentice_text, "0", "　"},
        {apprentice_text, "5", "　"},
        {apprentice_text, " ", "　"},
        {right_aligned_number, "0012", "  12"},
        {right_aligned_number, "0000", "    "},
        {right_aligned_number, "   ", "   "},
        {right_aligned_number, "123", "123"},
        {right_aligned_number, "05", " 5"},
        {right_aligned_number, "A1", "  "},
        {combination_text, "36", " 3- 6"},
        {combination_text, "09", "     "},
        {combination_text, "90", "     "},
        {combination_text, "  ", "     "},
        {combination_text, "0412", " 4-12"},
        {combination_text, "1819", "     "},
        {combination_text, "1800", "     "},
        {combination_text, "1018", "10-18"},
        {combination_text, "010203", " 1- 2- 3"},
        {combination_text, "011918", "        "},
        {combination_text, "", ""},
        {combination_text, "123", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.function(c.code), sj(c.text)) << '"' << c.code << '"';
}

TEST(CodeTexts, AgeIsRaceYearMinusBirthYear) {
    EXPECT_EQ(age_text("2026", "2023"), " 3");
    EXPECT_EQ(age_text("2026", "2014"), "12");
    EXPECT_EQ(age_text("2026", "    "), "  ");
    EXPECT_EQ(age_text("    ", "2023"), "  ");
    EXPECT_EQ(age_text("0000", "2023"), "  ");
}

TEST(BracketNumber, MatchesTheOfficialTable) {
    // The whole assignment table, one row per field size.
    const char* table[] = {
        "1",
        "1 2",
        "1 2 3",
        "1 2 3 4",
        "1 2 3 4 5",
        "1 2 3 4 5 6",
        "1 2 3 4 5 6 7",
        "1 2 3 4 5 6 7 8",
        "1 2 3 4 5 6 7 8 8",
        "1 2 3 4 5 6 7 7 8 8",
        "1 2 3 4 5 6 6 7 7 8 8",
        "1 2 3 4 5 5 6 6 7 7 8 8",
        "1 2 3 4 4 5 5 6 6 7 7 8 8",
        "1 2 3 3 4 4 5 5 6 6 7 7 8 8",
        "1 2 2 3 3 4 4 5 5 6 6 7 7 8 8",
        "1 1 2 2 3 3 4 4 5 5 6 6 7 7 8 8",
        "1 1 2 2 3 3 4 4 5 5 6 6 7 7 8 8 8",
        "1 1 2 2 3 3 4 4 5 5 6 6 7 7 7 8 8 8",
    };
    for (int n = 1; n <= 18; ++n) {
        std::ostringstream row;
        for (int h = 1; h <= n; ++h) row << (h > 1 ? " " : "") << bracket_number(n, h);
        EXPECT_EQ(row.str(), table[n - 1]) << n << " entries";
    }
    EXPECT_EQ(bracket_number(18, 15), 7);
    EXPECT_EQ(bracket_number(17, 15), 8);
    // Outside the table there is no bracket.
    EXPECT_EQ(bracket_number(0, 1), 0);
    EXPECT_EQ(bracket_number(19, 1), 0);
    EXPECT_EQ(bracket_number(8, 9), 0);
    EXPECT_EQ(bracket_number(8, 0), 0);
}

TEST(Overwrite, ReplacesFromOneBasedPosition) {
    EXPECT_EQ(overwrite("RA720261205", "000000000", 3), "RA000000000");
    EXPECT_EQ(overwrite("abcdef", "XY", 1), "XYcdef");
    EXPECT_EQ(overwrite("abcdef", "XY", 6), "abcdeXY");  // deletes what there is, then inserts
    EXPECT_EQ(overwrite("abc", "XY", 4), "abcXY");
    EXPECT_EQ(overwrite("abc", "", 2), "abc");
}

TEST(PairText, SmallerNumberFirst) {
    EXPECT_EQ(pair_text(7, 4), " 4- 7");
    EXPECT_EQ(pair_text(4, 7), " 4- 7");
    EXPECT_EQ(pair_text(12, 18), "12-18");
    EXPECT_EQ(pair_text(3, 3), " 3- 3");
}

}  // namespace
}  // namespace tolven
